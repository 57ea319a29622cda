// Helpers the simulator's tests share: playing a scene into the camera model
// and checking its state.
#pragma once

#include "viscamodel.h"

#include <QtTest>

namespace SimScript {

// A scene for the model, one token at a time: a command text (hex digits,
// as the panel writes them) is fed as bytes, "+N" lets N ms of model time
// pass. Returns the packets the fed bytes completed.
inline QList<ViscaModel::Packet> play(ViscaModel &model, const QString &script)
{
    QList<ViscaModel::Packet> packets;
    for (const QString &token : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (token.startsWith(QLatin1Char('+')))
            model.tick(token.mid(1).toLongLong());
        else
            packets += model.feed(QByteArray::fromHex(token.toLatin1()));
    }
    return packets;
}

// The state at the end of a scene played into a fresh model.
inline ViscaModel::State stateAfter(const QString &script)
{
    ViscaModel model;
    play(model, script);
    return model.state();
}

// Every "key=value" of `expected` (separated by blanks) holds in the state.
inline void verifyState(const ViscaModel::State &state, const QString &expected)
{
    QMap<QString, QString> actual;
    for (const auto &pair : ViscaModel::stateValues(state))
        actual.insert(pair.first, pair.second.toString());
    for (const QString &item : expected.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString key = item.section(QLatin1Char('='), 0, 0);
        QVERIFY2(actual.contains(key), qPrintable(key));
        QCOMPARE(key + QLatin1Char('=') + actual.value(key), item);
    }
}

} // namespace SimScript

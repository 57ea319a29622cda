// Helpers the simulator's tests share: playing a scene into the camera model
// and checking its state and answers.
#pragma once

#include "viscamodel.h"

#include <QtTest>

namespace SimScript {

// What a scene came to: the packets the fed bytes completed, and the
// answers that came later, each after the packets fed before it.
struct Scene
{
    QList<ViscaModel::Packet> packets;
    QList<QPair<int, QByteArray>> later; // packets decoded by then, answer
};

// A scene for the model, one token at a time: a command text (hex digits,
// as the panel writes them) is fed to the serial line as bytes, "nK:text"
// goes to network camera K as one message, "+N" lets N ms of model time pass.
inline Scene run(ViscaModel &model, const QString &script)
{
    Scene scene;
    for (const QString &token : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (token.startsWith(QLatin1Char('+'))) {
            model.tick(token.mid(1).toLongLong());
        } else if (token.startsWith(QLatin1Char('n')) && token.contains(QLatin1Char(':'))) {
            const int k = token.section(QLatin1Char(':'), 0, 0).mid(1).toInt();
            scene.packets += model.receiveNetwork(
                k, QByteArray::fromHex(token.section(QLatin1Char(':'), 1).toLatin1()));
        } else {
            scene.packets += model.feed(QByteArray::fromHex(token.toLatin1()));
        }
        for (const ViscaModel::Answer &answer : model.takeAnswers())
            scene.later << qMakePair(scene.packets.size(), answer.bytes);
    }
    return scene;
}

// The packets a scene's fed bytes completed.
inline QList<ViscaModel::Packet> play(ViscaModel &model, const QString &script)
{
    return run(model, script).packets;
}

// The state at the end of a scene played into a fresh model.
inline ViscaModel::State stateAfter(const QString &script)
{
    ViscaModel model;
    play(model, script);
    return model.state();
}

// The last packet's answers and those that came after it: "90 41 FF 90 51 FF",
// later ones after " / ".
inline QString lastAnswers(const Scene &scene)
{
    QStringList out;
    if (!scene.packets.isEmpty()) {
        for (const QByteArray &reply : scene.packets.last().replies)
            out << ViscaModel::hexBytes(reply);
    }
    for (const auto &later : scene.later) {
        if (later.first == scene.packets.size())
            out << QStringLiteral("/") << ViscaModel::hexBytes(later.second);
    }
    return out.join(QLatin1Char(' '));
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

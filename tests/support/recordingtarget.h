// A remote control target that records what it is asked, for the tests and
// the fuzz target of src/remote while the cameras it stands for live
// elsewhere: each call as a line ("zoom 1 3", "pantilt 2 0.5 -0.25",
// "stop-all"), who sent it, and which axes it was left moving.
#pragma once

#include "remotetarget.h"

#include <QJsonObject>
#include <QSet>
#include <QStringList>

class RecordingTarget : public RemoteTarget
{
public:
    int cameras = 3;
    int selected = 1;
    QStringList calls;
    QStringList clients;
    // Moves are refused with this text while it is set.
    QString refuseMoves;
    // "1 zoom": axes a move left running and no stop has ended yet.
    QSet<QString> moving;

    int cameraCount() const override { return cameras; }
    int selectedCamera() const override { return selected; }

    QString zoom(int camera, int rate, const QString &client) override
    {
        return move(camera, "zoom", rate != 0, QStringLiteral("zoom %1 %2").arg(camera).arg(rate),
                    client);
    }
    QString focus(int camera, int rate, const QString &client) override
    {
        return move(camera, "focus", rate != 0, QStringLiteral("focus %1 %2").arg(camera).arg(rate),
                    client);
    }
    QString panTilt(int camera, double pan, double tilt, const QString &client) override
    {
        return move(camera, "pantilt", pan != 0 || tilt != 0,
                    QStringLiteral("pantilt %1 %2 %3").arg(camera).arg(pan).arg(tilt), client);
    }
    QString setFocusAuto(int camera, bool on, const QString &client) override
    {
        return record(QStringLiteral("focus-auto %1 %2").arg(camera).arg(on ? "on" : "off"),
                      client);
    }
    QString recallPreset(int camera, int preset, const QString &client) override
    {
        return record(QStringLiteral("recall %1 %2").arg(camera).arg(preset), client);
    }
    QString storePreset(int camera, int preset, const QString &client) override
    {
        return record(QStringLiteral("store %1 %2").arg(camera).arg(preset), client);
    }
    QString setTally(int camera, RemoteTally tally, const QString &client) override
    {
        static const char *words[] = {"off", "preview", "program"};
        return record(QStringLiteral("tally %1 %2").arg(camera).arg(words[int(tally)]), client);
    }
    QString select(int camera, const QString &client) override
    {
        selected = camera;
        emit stateChanged();
        return record(QStringLiteral("select %1").arg(camera), client);
    }
    void stopAll(const QString &client) override
    {
        moving.clear();
        record(QStringLiteral("stop-all"), client);
    }
    QJsonObject state() const override
    {
        return {{QStringLiteral("selected"), selected}, {QStringLiteral("cameras"), cameras}};
    }

    void clear()
    {
        calls.clear();
        clients.clear();
    }

private:
    QString record(const QString &call, const QString &client)
    {
        calls << call;
        clients << client;
        return QString();
    }
    QString move(int camera, const char *axis, bool drives, const QString &call,
                 const QString &client)
    {
        if (drives && !refuseMoves.isEmpty())
            return refuseMoves;
        const QString key = QString::number(camera) + QLatin1Char(' ') + QLatin1String(axis);
        if (drives)
            moving.insert(key);
        else
            moving.remove(key);
        return record(call, client);
    }
};

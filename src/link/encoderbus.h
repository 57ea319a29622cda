// One ACTi encoder and the cameras behind its serial port: its connect flow,
// the serial setting of its port, and the cameras' packets, each sent as one
// SERIAL_HEX request. One request is under way at a time; nothing waits for
// it. A packet that comes meanwhile waits in a CommandQueue (one drive per
// axis, stops first, no command older than the request time-out: "camera
// busy"); only when the queue has no room is a packet refused ("encoder
// busy"), and a stop never is. Serial settings wait in line before packets,
// each sent in turn. Every pass-through is judged by its answer: its outcome
// follows as packetAnswered or packetFailed.
#pragma once

#include "actiinfo.h"
#include "commandqueue.h"
#include "packetlink.h"
#include "sendfailure.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QStringList>

class EncoderBus : public PacketLink
{
    Q_OBJECT

public:
    enum class State { NotConnected, Connecting, Connected, Failed };
    using Step = SendFailure::ConnectStep;

    // network: the access manager the encoder's requests go through (null:
    // one of its own).
    EncoderBus(const QHostAddress &address, quint16 port, const QString &user,
               const QString &password, QNetworkAccessManager *network = nullptr,
               QObject *parent = nullptr);

    // The address as the title and status line show it: the port only when
    // it is not 80.
    QString endpointText() const { return info.endpointText(); }
    State state() const { return linkState; }
    const ACTIINFO &encoder() const { return info; }
    // The network error of the request that ended last (0: none).
    int lastError() const { return info.http.error; }

    // The connect flow: the system information, then the serial setting.
    // Its outcome comes as connected() or connectFailed().
    void connectWith(const QString &serialSetting);
    // Sends SERIAL_SETTING=<setting> whatever the state, in its turn.
    void sendSerialSetting(const QString &setting);
    // Gives up the request under way and everything waiting; back to not
    // connected, no more signals about what was under way.
    void close();

    Handover send(const Packet &packet) override;
    bool isUp() const override { return linkState == State::Connected; }
    bool busy() const override;
    void dropWaiting(const QObject *origin) override { queue.removeFrom(origin); }
    const CommandQueue &waitingQueue() const { return queue; }

signals:
    void connected();
    // why: the reason in the operator's words ("connection refused", ...).
    void connectFailed(SendFailure::ConnectStep step, const QString &why);
    // A serial setting was answered after the encoder had stopped answering
    // the cameras' packets.
    void answersAgain();

private:
    enum class Job { None, SystemInfo, ConnectSetting, Setting, Packet };

    void pump();
    void deliver(const CommandQueue::Entry &entry);
    void startSetting(Job job, const QString &setting);
    void onAnswered(bool accepted);
    void finishConnect(bool accepted);
    void failConnect(Step step, const QString &logPrefix, const QString &why);
    void setSilent(bool now);
    void dropExpired();

    ACTIINFO info;
    State linkState = State::NotConnected;
    bool connectPending = false;
    QString connectSetting;
    QStringList settingsWaiting;
    CommandQueue queue;
    QElapsedTimer clock;
    Job job = Job::None;
    CommandQueue::Entry inFlight;
    // The encoder did not answer the last pass-through (refused, time-out,
    // unreachable); cleared by the next request it answers.
    bool silent = false;
};

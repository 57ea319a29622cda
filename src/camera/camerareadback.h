// What a camera's route reads back of it: the zoom and focus positions and
// its power (viscainquiry.h). Asked only where the route answers (a network
// camera; a serial line once it has answered, never one that carries
// commands only; never the encoder, which passes no answers back), and only
// when something happened: the route came to answer (a connect), a zoom or
// focus move ended (its stop sent), the power changed. Nothing is asked while
// the operator does nothing. Its inquiries carry their own words, so their
// answers never show as the operator's last command.
//
// A power command is read back on a bounded schedule (kPowerChecksMs) until
// the camera says what was asked: a camera takes seconds to come out of
// standby, and is "waking" meanwhile. Where the route answers nothing the
// power is taken as sent.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>

class CameraReadback : public QObject
{
    Q_OBJECT

public:
    enum class Power { Unknown, On, Standby, Waking };
    // Sends one inquiry (bytes for the camera's address) tagged with these
    // words; false when it did not leave.
    using Ask = std::function<bool(const QByteArray &inquiry, const QString &words)>;
    // When the power is asked again after a power command, counted from the
    // command and from each check: about 16 s in all.
    static constexpr std::array<int, 6> kPowerChecksMs{250, 500, 1000, 2000, 4000, 8000};

    CameraReadback(Ask ask, std::function<int()> address, QObject *parent = nullptr);

    // Whether the route answers inquiries now. Turning true asks the power
    // and both positions; turning false forgets the positions.
    void setAnswering(bool answering);
    bool answering() const { return answers; }
    // The route was left: nothing is known any more.
    void forget();
    // A zoom or focus stop was sent: its position is asked.
    void zoomStopped();
    void focusStopped();
    // The operator sent power on (true) or standby.
    void powerSent(bool on);

    // Takes the answer to one of its own inquiries (true), by its words.
    bool take(const QString &words, const QByteArray &data);
    static bool isOwn(const QString &words);
    // A power answer another inquiry brought (a keep-alive asks the power).
    void takePower(const QByteArray &data);

    // 0 … FFFFh; -1 while not known.
    int zoomPosition() const { return zoom; }
    int focusPosition() const { return focus; }
    Power power() const { return state; }
    // Moves may be sent: not in standby, not while waking.
    bool drivable() const { return state != Power::Standby && state != Power::Waking; }
    // "on", "standby", "waking", "unknown".
    static const char *powerWord(Power power);

signals:
    // A position or the power changed.
    void changed();
    void powerChanged(CameraReadback::Power before);

private:
    struct Inquiry
    {
        QByteArray bytes;
        QString words;
    };
    void ask(const QByteArray &inquiry, const QString &words);
    void sendPending();
    void askPositions();
    void setPower(Power power);
    void checkPower();

    Ask send;
    std::function<int()> address;
    bool answers = false;
    int zoom = -1;
    int focus = -1;
    Power state = Power::Unknown;
    Power wish = Power::Unknown; // a power command not yet read back
    int checks = 0;
    QTimer powerCheck;
    QList<Inquiry> pending; // asked, not yet sent
    QTimer flush;
};

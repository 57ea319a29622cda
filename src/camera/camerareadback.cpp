#include "camerareadback.h"

#include "logcategories.h"
#include "viscainquiry.h"

#include <utility>

namespace {

const QString zoomWords = QStringLiteral("zoom position");
const QString focusWords = QStringLiteral("focus position");
const QString powerWords = QStringLiteral("power inquiry");

} // namespace

CameraReadback::CameraReadback(Ask ask, std::function<int()> address, QObject *parent)
    : QObject(parent)
    , send(std::move(ask))
    , address(std::move(address))
{
    powerCheck.setSingleShot(true);
    flush.setSingleShot(true);
    flush.setInterval(0);
    connect(&flush, &QTimer::timeout, this, &CameraReadback::sendPending);
    connect(&powerCheck, &QTimer::timeout, this, &CameraReadback::checkPower);
}

// Asked once the event loop has run: never from inside the route's own
// handling of an answer, and one inquiry of each kind however often it was
// wanted meanwhile.
void CameraReadback::ask(const QByteArray &inquiry, const QString &words)
{
    if (!answers)
        return;
    for (const Inquiry &waiting : qAsConst(pending)) {
        if (waiting.words == words)
            return;
    }
    pending.append({inquiry, words});
    flush.start();
}

void CameraReadback::sendPending()
{
    const QList<Inquiry> now = std::exchange(pending, {});
    for (const Inquiry &inquiry : now) {
        if (answers && !send(inquiry.bytes, inquiry.words))
            qCDebug(lcCamera).noquote() << inquiry.words << "not asked";
    }
}

void CameraReadback::askPositions()
{
    ask(ViscaInquiry::zoomPositionInquiry(address()), zoomWords);
    ask(ViscaInquiry::focusPositionInquiry(address()), focusWords);
}

void CameraReadback::setAnswering(bool answering)
{
    if (answering == answers)
        return;
    answers = answering;
    if (answers) {
        ask(ViscaInquiry::powerInquiry(address()), powerWords);
        askPositions();
        return;
    }
    pending.clear();
    zoom = -1;
    focus = -1;
    emit changed();
}

void CameraReadback::forget()
{
    powerCheck.stop();
    pending.clear();
    wish = Power::Unknown;
    answers = false;
    zoom = -1;
    focus = -1;
    setPower(Power::Unknown);
    emit changed();
}

void CameraReadback::zoomStopped()
{
    ask(ViscaInquiry::zoomPositionInquiry(address()), zoomWords);
}

void CameraReadback::focusStopped()
{
    ask(ViscaInquiry::focusPositionInquiry(address()), focusWords);
}

void CameraReadback::powerSent(bool on)
{
    if (!answers) {
        // Nothing will say otherwise: the camera is taken to do as told.
        powerCheck.stop();
        wish = Power::Unknown;
        setPower(on ? Power::On : Power::Standby);
        return;
    }
    wish = on ? Power::On : Power::Standby;
    checks = 0;
    powerCheck.start(kPowerChecksMs.front());
    // Standby is taken at once (moves are held back from now on); a camera
    // coming up is waking until it says it is on.
    setPower(on ? (state == Power::On ? Power::On : Power::Waking) : Power::Standby);
}

void CameraReadback::checkPower()
{
    ask(ViscaInquiry::powerInquiry(address()), powerWords);
    if (++checks < int(kPowerChecksMs.size()))
        powerCheck.start(kPowerChecksMs.at(size_t(checks)));
}

bool CameraReadback::isOwn(const QString &words)
{
    return words == zoomWords || words == focusWords || words == powerWords;
}

void CameraReadback::takePower(const QByteArray &data)
{
    take(powerWords, data);
}

bool CameraReadback::take(const QString &words, const QByteArray &data)
{
    if (words == zoomWords || words == focusWords) {
        int &position = words == zoomWords ? zoom : focus;
        const int read = ViscaInquiry::positionOf(data);
        if (read < 0)
            qCInfo(lcCamera).noquote() << words << "answer not understood:" << data.toHex(' ');
        else if (read != position) {
            position = read;
            emit changed();
        }
        return true;
    }
    if (words != powerWords)
        return false;
    const ViscaInquiry::Power read = ViscaInquiry::powerOf(data);
    if (read == ViscaInquiry::Power::Unknown) {
        qCInfo(lcCamera).noquote() << "power answer not understood:" << data.toHex(' ');
        return true;
    }
    const Power now = read == ViscaInquiry::Power::On ? Power::On : Power::Standby;
    if (wish != Power::Unknown && now != wish) {
        if (powerCheck.isActive())
            return true; // still on its way
        qCWarning(lcCamera).noquote() << "the camera did not go" << powerWord(wish)
                                      << "after" << checks << "checks; it is"
                                      << powerWord(now);
    }
    if (now == wish || !powerCheck.isActive()) {
        wish = Power::Unknown;
        powerCheck.stop();
    }
    setPower(now);
    return true;
}

void CameraReadback::setPower(Power power)
{
    if (power == state)
        return;
    const Power before = state;
    state = power;
    // Out of standby the lens may stand elsewhere.
    if (power == Power::On && (before == Power::Waking || before == Power::Standby))
        askPositions();
    emit powerChanged(before);
    emit changed();
}

const char *CameraReadback::powerWord(Power power)
{
    switch (power) {
    case Power::On:
        return "on";
    case Power::Standby:
        return "standby";
    case Power::Waking:
        return "waking";
    case Power::Unknown:
        break;
    }
    return "unknown";
}

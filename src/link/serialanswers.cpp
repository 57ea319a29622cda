#include "serialanswers.h"

#include "viscaipframing.h"

namespace {

// The device a packet goes to: 1 ... 7, or 0 for a broadcast or no packet.
int addressOf(const QByteArray &packet)
{
    if (packet.size() < 3)
        return 0;
    const int header = quint8(packet.at(0));
    const int address = header - 0x80;
    return address >= 1 && address <= SerialAnswers::kAddresses ? address : 0;
}

} // namespace

QString SerialAnswers::sendingOnlyWords()
{
    return QStringLiteral("sending only (no answers on this line)");
}

int SerialAnswers::senderOf(const QByteArray &packet)
{
    if (packet.size() < 3)
        return 0;
    const int header = quint8(packet.at(0));
    if ((header & 0x0F) != 0)
        return 0;
    const int address = (header >> 4) - 8;
    return address >= 1 && address <= kAddresses ? address : 0;
}

void SerialAnswers::sent(const QByteArray &packet, const PacketTag &tag, qint64 now)
{
    const int address = addressOf(packet);
    if (address == 0)
        return;
    Address &to = addresses[size_t(address)];
    if (to.waiting.size() >= kWaitingKept)
        to.waiting.removeFirst();
    to.waiting.append({tag, now + kAnswerWaitMs});
}

void SerialAnswers::setHearing(Address &at, int address, Hearing hearing, QList<Change> *changes)
{
    if (at.hearing == hearing)
        return;
    at.hearing = hearing;
    if (changes)
        changes->append({address, hearing});
}

void SerialAnswers::noteAnswer(Address &from, int address, QList<Change> *changes)
{
    from.answeredEver = true;
    from.misses = 0;
    setHearing(from, address, Hearing::Answers, changes);
}

SerialAnswers::Heard SerialAnswers::heard(const QByteArray &packet, QList<Change> *changes)
{
    Heard heard;
    const int size = int(packet.size());
    if (size == 4 && packet.startsWith(QByteArray::fromHex("8830")) && quint8(packet.at(3)) == 0xFF) {
        heard.kind = Heard::Numbered;
        heard.count = qBound(0, int(quint8(packet.at(2))) - 1, kAddresses);
        return heard;
    }
    if (packet == QByteArray::fromHex("88010001FF")) {
        heard.kind = Heard::Cleared;
        return heard;
    }
    const int address = senderOf(packet);
    if (address == 0)
        return heard;
    heard.address = address;
    Address &from = addresses[size_t(address)];
    if (size == 3 && quint8(packet.at(1)) == 0x38 && quint8(packet.at(2)) == 0xFF) {
        noteAnswer(from, address, changes);
        heard.kind = Heard::PowerUp;
        return heard;
    }
    const ViscaIp::Answer answer = ViscaIp::readAnswer(packet);
    if (answer.kind == ViscaIp::Answer::Other)
        return heard;
    noteAnswer(from, address, changes);
    const size_t socket = size_t(answer.socket & 0x0F);
    // The completion or refusal of a packet acknowledged earlier.
    if (answer.kind != ViscaIp::Answer::Ack && socket != 0 && from.running[socket]) {
        from.running[socket] = false;
        heard.tag = from.executing[socket];
        heard.kind = answer.kind == ViscaIp::Answer::Error ? Heard::Refused : Heard::Nothing;
        if (heard.kind == Heard::Refused)
            heard.reason = ViscaIp::refusalReason(answer.error);
        return heard;
    }
    if (from.waiting.isEmpty())
        return heard; // a late answer, or one to a packet of somebody else
    const Waiting first = from.waiting.takeFirst();
    heard.tag = first.tag;
    switch (answer.kind) {
    case ViscaIp::Answer::Ack:
        if (socket != 0) {
            from.running[socket] = true;
            from.executing[socket] = first.tag;
        }
        heard.kind = Heard::Answered;
        break;
    case ViscaIp::Answer::Completion:
        heard.kind = answer.data.isEmpty() ? Heard::Answered : Heard::Inquiry;
        heard.data = answer.data;
        break;
    case ViscaIp::Answer::Error:
        heard.kind = Heard::Refused;
        heard.reason = ViscaIp::refusalReason(answer.error);
        break;
    case ViscaIp::Answer::Other:
        break;
    }
    return heard;
}

QList<SerialAnswers::Change> SerialAnswers::expire(qint64 now)
{
    QList<Change> changes;
    for (int address = 1; address <= kAddresses; ++address) {
        Address &at = addresses[size_t(address)];
        int missed = 0;
        while (!at.waiting.isEmpty() && at.waiting.constFirst().due <= now) {
            at.waiting.removeFirst();
            ++missed;
        }
        if (missed == 0)
            continue;
        if (!at.answeredEver) {
            setHearing(at, address, Hearing::SendingOnly, &changes);
            continue;
        }
        at.misses += missed;
        if (at.misses >= kMissesToSilence)
            setHearing(at, address, Hearing::Silent, &changes);
    }
    return changes;
}

qint64 SerialAnswers::nextDue() const
{
    qint64 due = -1;
    for (const Address &at : addresses) {
        if (!at.waiting.isEmpty() && (due < 0 || at.waiting.constFirst().due < due))
            due = at.waiting.constFirst().due;
    }
    return due;
}

SerialAnswers::Hearing SerialAnswers::hearing(int address) const
{
    return address >= 1 && address <= kAddresses ? addresses[size_t(address)].hearing
                                                  : Hearing::Unknown;
}

void SerialAnswers::reset()
{
    addresses = {};
}

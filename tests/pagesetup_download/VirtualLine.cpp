#include "VirtualLine.h"

#include "AddressCode.h"

QString readable(const QByteArray &bytes)
{
    QString text;
    for (char c : bytes) {
        const auto b = uint8_t(c);
        if (b >= 0x20 && b < 0x7F && c != '<' && c != '{' && c != '[')
            text += QLatin1Char(c);
        else
            text += QStringLiteral("<%1>").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

void VirtualClock::at(qint64 ns, std::function<void()> event)
{
    m_events.emplace(ns, std::move(event));
}

qint64 VirtualClock::next() const
{
    return m_events.empty() ? -1 : m_events.begin()->first;
}

void VirtualClock::advanceTo(qint64 ns)
{
    while (!m_events.empty() && m_events.begin()->first <= ns) {
        auto event = std::move(m_events.begin()->second);
        m_now = std::max(m_now, m_events.begin()->first);
        m_events.erase(m_events.begin());
        event();
    }
    m_now = std::max(m_now, ns);
}

void ScriptedLine::arrive(int afterMs, const QByteArray &bytes)
{
    arriveAt(m_clock.now() + afterMs * VirtualClock::Ms, bytes);
}

void ScriptedLine::arriveAt(qint64 ns, const QByteArray &bytes)
{
    m_clock.at(ns, [this, bytes] {
        if (open)
            received += bytes;
    });
}

QByteArray ScriptedLine::sentBytes() const
{
    QByteArray bytes;
    for (const SentByte &b : sent)
        bytes += char(b.byte);
    return bytes;
}

int32_t ScriptedLine::IsPortAvailable(int32_t)
{
    calls << QStringLiteral("IsPortAvailable");
    return open ? 0 : closedAvailability;
}

int32_t ScriptedLine::InitializePort(int32_t, int32_t index, int32_t a, int32_t b, int32_t c, int32_t d,
                                     int32_t rxSize, int32_t txSize, int32_t e)
{
    calls << QStringLiteral("InitializePort %1 %2 %3 %4 %5 %6 %7 %8")
                 .arg(index).arg(a).arg(b).arg(c).arg(d).arg(rxSize).arg(txSize).arg(e);
    if (initResult == 0) {
        open = true;
        ++opens;
        received.clear();
    }
    return initResult;
}

int32_t ScriptedLine::SetPortCharacteristics(int32_t, int32_t baudCode, int32_t parity, int32_t dataBits,
                                             int32_t stopBits, int32_t flow)
{
    calls << QStringLiteral("SetPortCharacteristics %1 %2 %3 %4 %5")
                 .arg(baudCode).arg(parity).arg(dataBits).arg(stopBits).arg(flow);
    return characteristicsResult;
}

int32_t ScriptedLine::CdrvSetTimerResolution(int32_t, int32_t)
{
    calls << QStringLiteral("CdrvSetTimerResolution");
    return 0;
}

int32_t ScriptedLine::CdrvDelay(int32_t, int32_t ticks)
{
    m_clock.advanceTo(m_clock.now() + ticks * VirtualClock::Ms);
    return 0;
}

int32_t ScriptedLine::RtsOn(int32_t)
{
    calls << QStringLiteral("RtsOn");
    return 0;
}

int32_t ScriptedLine::FlushReceiveBuffer(int32_t)
{
    received.clear();
    trace += QStringLiteral("(flush in)");
    return 0;
}

int32_t ScriptedLine::FlushTransmitBuffer(int32_t)
{
    trace += QStringLiteral("(flush out)");
    return 0;
}

int32_t ScriptedLine::PutByte(int32_t, int32_t byte)
{
    if (!open)
        return CdrvNotOpen;
    sent.append({m_clock.now(), uint8_t(byte)});
    idleAtNs = std::max(idleAtNs, m_clock.now()) + byteNs;
    trace += readable(QByteArray(1, char(byte)));
    if (onPut)
        onPut(uint8_t(byte));
    return 0;
}

int32_t ScriptedLine::PutPacket(int32_t port, int32_t count, const char *buffer)
{
    for (int32_t i = 0; i < count; ++i) {
        if (const int32_t r = PutByte(port, uint8_t(buffer[i])))
            return r;
    }
    return 0;
}

int32_t ScriptedLine::GetPacket(int32_t, int32_t count, char *buffer)
{
    if (count > received.size())
        return CdrvBadArgument;
    std::copy_n(received.constData(), count, buffer);
    received.remove(0, count);
    return 0;
}

int32_t ScriptedLine::CdrvTransmitTimeLeft(int32_t)
{
    return int32_t((std::max<qint64>(0, idleAtNs - m_clock.now()) + 999) / 1000);
}

int32_t ScriptedLine::UnInitializePort(int32_t)
{
    calls << QStringLiteral("UnInitializePort");
    timeLeftAtClose = CdrvTransmitTimeLeft(0);
    open = false;
    return 0;
}

VirtualWaits::VirtualWaits(VirtualClock &clock, ScriptedLine &line, SetupState &state)
    : m_clock(clock), m_line(line), m_state(state)
{
}

void VirtualWaits::pause(int ms)
{
    pauses.append(ms);
    m_line.trace += QStringLiteral("{%1}").arg(ms);
    const qint64 deadline = m_clock.now() + ms * VirtualClock::Ms;
    while (step(deadline)) {
    }
}

bool VirtualWaits::step(qint64 deadline)
{
    if (m_aborted)
        return false;
    const qint64 next = m_clock.next();
    if (next < 0 || next >= deadline) {
        m_clock.advanceTo(deadline);
        m_state.TimerExpired = -1;
        return false;
    }
    m_clock.advanceTo(next);
    return !m_aborted;
}

QByteArray VirtualWaits::waitForBytes(int k)
{
    m_state.TimerExpired = 0;
    const qint64 deadline = m_clock.now() + m_interval * VirtualClock::Ms;
    QByteArray area(k, ' ');
    do {
        if (m_line.BytesInReceiveBuffer(0) >= k) {
            m_line.GetPacket(0, k, area.data());
            break;
        }
    } while (step(deadline));
    return area;
}

char VirtualWaits::waitForByte(char wanted)
{
    m_state.TimerExpired = 0;
    const qint64 deadline = m_clock.now() + m_interval * VirtualClock::Ms;
    char last = ' ';
    do {
        while (last != wanted && m_line.BytesInReceiveBuffer(0) >= 1)
            m_line.GetPacket(0, 1, &last);
    } while (last != wanted && step(deadline));
    return last;
}

char VirtualWaits::waitUntilSent(char wanted)
{
    if (onSentWait)
        onSentWait();
    const auto leftNs = [this] { return qint64(m_line.CdrvTransmitTimeLeft(0)) * 1000; };
    const qint64 givenUp = m_clock.now() + leftNs() + RestInterval * VirtualClock::Ms;
    char last = ' ';
    while (!m_aborted) {
        while (last != wanted && m_line.BytesInReceiveBuffer(0) >= 1)
            m_line.GetPacket(0, 1, &last);
        if (last == wanted || leftNs() <= 0 || m_clock.now() >= givenUp)
            break;
        const qint64 until = std::min(m_clock.now() + leftNs(), givenUp);
        const qint64 next = m_clock.next();
        m_clock.advanceTo(next >= 0 && next < until ? next : until);
    }
    return last;
}

void RecordingView::setConnectinfo(const QString &text, Colour colour)
{
    connectText = text;
    connectColour = colour;
    log << QStringLiteral("Connectinfo %1%2").arg(text, colour == Colour::Failure ? QStringLiteral(" (red)") : QString());
}

void RecordingView::setConnectinfoVisible(bool visible)
{
    connectVisible = visible;
    log << (visible ? QStringLiteral("Connectinfo shown") : QStringLiteral("Connectinfo hidden"));
}

void RecordingView::setSendinfo(const QString &text)
{
    sendText = text;
    if (trace)
        *trace += QLatin1Char('[') + text + QLatin1Char(']');
    log << QStringLiteral("Sendinfo ") + text;
}

void RecordingView::setSendinfoVisible(bool visible)
{
    sendVisible = visible;
    log << (visible ? QStringLiteral("Sendinfo shown") : QStringLiteral("Sendinfo hidden"));
}

void RecordingView::showMessage(const QString &text, const QString &reason)
{
    messages << (reason.isEmpty() ? text : text + QLatin1Char('|') + reason);
    log << QStringLiteral("Message ") + messages.last();
}

ScriptedStation::ScriptedStation(ScriptedLine &line, VirtualWaits &waits, int station)
    : callAnswers{QByteArray::number(station).rightJustified(2, '0') + "OK"}, m_line(line), m_code(addressCode(station))
{
    line.onPut = [this](uint8_t byte) { take(byte); };
    waits.onSentWait = [this, &clock = m_line.clock()] {
        m_streaming = false;
        const qint64 from = fromStreamEnd ? clock.now() : std::max(clock.now(), m_line.idleAtNs);
        for (const auto &[ms, bytes] : finalAnswer)
            m_line.arriveAt(from + ms * VirtualClock::Ms, bytes);
    };
}

QByteArray ScriptedStation::pick(const QList<QByteArray> &answers, int index)
{
    return answers.isEmpty() ? QByteArray() : answers.at(std::min<qsizetype>(index, answers.size() - 1));
}

void ScriptedStation::take(uint8_t byte)
{
    if (m_streaming) {
        stream += char(byte);
        streamBytes.append(m_line.sent.last());
        return;
    }
    if (byte == m_code) {
        m_recent.clear();
        const QByteArray answer = pick(callAnswers, calls++);
        if (!answer.isEmpty())
            m_line.arrive(20, answer);
        return;
    }
    m_recent = (m_recent + char(byte)).right(4);
    if (m_recent == "APG\r") {
        m_recent.clear();
        const QByteArray answer = pick(clearAnswers, clearRequests++);
        if (!answer.isEmpty())
            m_line.arrive(50, answer);
        m_streaming = answer == "\x06";
    }
}

#include "VirtualSetupWaits.h"

#include <algorithm>

VirtualSetupWaits::VirtualSetupWaits(ScriptedLine &line, SetupState &state)
    : m_clock(line.clock()), m_line(line), m_state(state)
{
}

void VirtualSetupWaits::pause(int ms)
{
    pauses.append(ms);
    m_line.trace += QStringLiteral("{%1}").arg(ms);
    const qint64 deadline = m_clock.now() + ms * VirtualClock::Ms;
    while (step(deadline)) {
    }
}

bool VirtualSetupWaits::step(qint64 deadline)
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

QByteArray VirtualSetupWaits::waitForBytes(int k)
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

char VirtualSetupWaits::waitForByte(char wanted)
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

char VirtualSetupWaits::waitUntilSent(char wanted)
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

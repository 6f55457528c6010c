#include "VirtualLogonWaits.h"

bool VirtualLogonWaits::TimedWait(int ms)
{
    pauses.append({m_clock.now(), ms});
    m_clock.advanceTo(m_clock.now() + ms * VirtualClock::Ms);
    return !m_ending;
}

bool VirtualLogonWaits::waitUntil(const std::function<bool()> &ready)
{
    const qint64 limit = m_clock.now() + RestInterval * VirtualClock::Ms;
    while (!ready()) {
        const qint64 next = m_clock.next();
        if (next < 0 || next > limit) {
            m_clock.advanceTo(limit);
            return false;
        }
        m_clock.advanceTo(next);
    }
    return !m_ending;
}

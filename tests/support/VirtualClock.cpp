#include "VirtualClock.h"

#include <algorithm>

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

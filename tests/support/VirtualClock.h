#pragma once

#include <QtGlobal>
#include <functional>
#include <map>

// Time that moves only when a test's waits move it: events run in order of their time, so
// a limit of seconds costs nothing and every moment is exact.
class VirtualClock
{
public:
    static constexpr qint64 Ms = 1000000;

    qint64 now() const { return m_now; }
    void at(qint64 ns, std::function<void()> event);
    void after(int ms, std::function<void()> event) { at(m_now + ms * Ms, std::move(event)); }
    // -1 when nothing is scheduled.
    qint64 next() const;
    // Runs the events due up to `ns` in order, then stands at `ns`.
    void advanceTo(qint64 ns);

private:
    qint64 m_now = 0;
    std::multimap<qint64, std::function<void()>> m_events;
};

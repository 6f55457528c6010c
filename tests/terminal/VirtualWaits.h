#pragma once

#include "LogonWaits.h"
#include "ScriptedLine.h"

#include <QList>
#include <map>

// The log-on's waits on a virtual clock: bytes scheduled for the line arrive at their
// time, a pause only moves the clock, and a wait for bytes ends at once when they are
// there or when errtimer's 8000 ms have passed.
class VirtualWaits : public LogonWaits
{
public:
    explicit VirtualWaits(ScriptedLine &line)
        : m_line(line)
    {
        m_line.clock = [this] { return now; };
    }

    void deliverAt(qint64 at, const QByteArray &bytes) { m_schedule.emplace(at, bytes); }

    bool TimedWait(int ms) override
    {
        pauses.append({now, ms});
        advanceTo(now + ms);
        return !m_ending;
    }

    bool waitUntil(const std::function<bool()> &ready) override
    {
        const qint64 limit = now + RestInterval;
        while (!ready()) {
            if (m_schedule.empty() || m_schedule.begin()->first > limit) {
                advanceTo(limit);
                return false;
            }
            advanceTo(m_schedule.begin()->first);
        }
        return !m_ending;
    }

    bool ending() const override { return m_ending; }
    void end() { m_ending = true; }

    struct Pause
    {
        qint64 start;
        int ms;
    };
    QList<Pause> pauses;
    qint64 now = 0;

private:
    void advanceTo(qint64 t)
    {
        while (!m_schedule.empty() && m_schedule.begin()->first <= t) {
            now = m_schedule.begin()->first;
            m_line.receive(m_schedule.begin()->second);
            m_schedule.erase(m_schedule.begin());
        }
        now = t;
    }

    ScriptedLine &m_line;
    std::multimap<qint64, QByteArray> m_schedule;
    bool m_ending = false;
};

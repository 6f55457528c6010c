#pragma once

#include "LogonWaits.h"
#include "ScriptedLine.h"

#include <QList>

// The log-on's waits on the line's virtual clock: a pause only moves the clock (bytes
// scheduled for the line arrive on the way), and a wait for bytes ends as soon as they are
// there or once errtimer's 8000 ms have passed.
class VirtualLogonWaits : public LogonWaits
{
public:
    explicit VirtualLogonWaits(ScriptedLine &line) : m_clock(line.clock()) {}

    bool TimedWait(int ms) override;
    bool waitUntil(const std::function<bool()> &ready) override;
    bool ending() const override { return m_ending; }
    // The program ends: this wait and every later one return at once.
    void end() { m_ending = true; }

    struct Pause
    {
        qint64 startNs;
        int ms;
    };
    QList<Pause> pauses;

private:
    VirtualClock &m_clock;
    bool m_ending = false;
};

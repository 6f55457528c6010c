#pragma once

#include "PagerConfig.h"
#include "ScriptedLine.h"
#include "Waits.h"

#include <QList>
#include <functional>

// The download's waits on the line's virtual clock: a wait jumps the clock to the next
// event or to its limit, so a 12 s limit costs nothing. Every pause is noted, and put in
// the line's trace as {ms} where it started.
class VirtualSetupWaits : public Waits
{
public:
    VirtualSetupWaits(ScriptedLine &line, SetupState &state);

    QList<int> pauses; // ms each
    // Called as the wait for the line to carry the stream begins (the station's final answer
    // is timed from it).
    std::function<void()> onSentWait;

    void Delay() override { pause(100); }
    void Delay10() override { pause(10); }
    void setInterval(int ms) override { m_interval = ms; }
    int interval() const override { return m_interval; }
    QByteArray waitForBytes(int k) override;
    char waitForByte(char wanted) override;
    char waitUntilSent(char wanted) override;
    void abort() override { m_aborted = true; }
    bool aborted() const override { return m_aborted; }
    void rearm() override { m_aborted = false; }

private:
    void pause(int ms);
    // Runs the clock to the next event or the deadline; false at the deadline or abort.
    bool step(qint64 deadline);

    VirtualClock &m_clock;
    ScriptedLine &m_line;
    SetupState &m_state;
    int m_interval = RestInterval;
    bool m_aborted = false;
};

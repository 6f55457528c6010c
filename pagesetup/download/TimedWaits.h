#pragma once

#include "DeadlineWake.h"
#include "KeptResult.h"
#include "PagerConfig.h"
#include "Waits.h"

#include <QTimer>
#include <chrono>
#include <memory>

class SerialLine;
class PortWatcher;

// The waits on the window's thread: errtimer bounds the pauses and the limited waits (not
// the wait for the line to carry what was written, which the line's own clock bounds), and
// its tick only sets TimerExpired. While waiting, the window's events keep being processed (so it repaints,
// its other handlers run and nested waits work), but the thread sleeps in between: the
// timer's tick, bytes arriving on the port or any other event wake it.
// A pause ends on the steady clock at its nominal length, which counts as errtimer's tick
// arriving on time: a kernel timer wakes the thread a little before that moment, and the
// last stretch only takes the events already pending while it watches the clock.
class TimedWaits : public Waits
{
public:
    TimedWaits(SetupState &state, SerialLine &line);
    ~TimedWaits() override;

    void Delay() override;
    void Delay10() override;
    void setInterval(int ms) override;
    int interval() const override;
    QByteArray waitForBytes(int k) override;
    char waitForByte(char wanted) override;
    char waitUntilSent(char wanted) override;
    void whilePausing(const std::function<void()> &work) override;
    void abort() override;
    bool aborted() const override;
    void rearm() override;

    const QTimer &errtimer() const { return m_errtimer; }

    // How long before a pause's end the thread stops sleeping: covers the wake-up's usual
    // delay (up to a few hundred microseconds when the machine idles), so a pause rarely
    // ends late, at the cost of at most this much CPU per pause.
    static constexpr std::chrono::microseconds FinalStretch{400};
    // The last microseconds are watched on the clock alone: one pass over the pending
    // events costs 5 to 20 microseconds here, which would otherwise be added to every pause.
    static constexpr std::chrono::microseconds LastMicroseconds{40};

private:
    void pause(int ms);
    void errtimer_Timer();
    bool waiting() const;
    void readArrived(char wanted, char &last);
    void runPendingWork();
    static void processEvents(bool mayWait);

    SetupState &m_state;
    KeptResult m_keep{m_state.PortResult};
    SerialLine &m_line;
    QTimer m_errtimer;
    // Alive for the port id, so bytes arriving wake the sleeping wait.
    std::unique_ptr<PortWatcher> m_watcher;
    DeadlineWake m_wake;
    bool m_aborted = false;
    std::function<void()> m_pendingWork;
};

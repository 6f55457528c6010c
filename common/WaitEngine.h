#pragma once

#include "DeadlineWake.h"

#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

class PortWatcher;

// How both programs wait while their window stays alive. errtimer bounds the limited waits
// and its tick only marks the program's TimerExpired. While a wait lasts, the thread's
// events keep being processed (the window repaints, its other handlers run, a handler may
// wait in turn), and the thread sleeps in between: errtimer's tick, a moment on the steady
// clock, bytes arriving or any other event wake it. Nothing polls.
class WaitEngine
{
public:
    using Clock = DeadlineWake::Clock;

    // `markExpired` sets the program's TimerExpired: false as a wait starts, true when its
    // limit has passed. `restInterval` is errtimer's interval between waits.
    WaitEngine(std::function<void(bool)> markExpired, int restInterval);
    ~WaitEngine();
    WaitEngine(const WaitEngine &) = delete;
    WaitEngine &operator=(const WaitEngine &) = delete;

    // Bytes arriving on this port wake a wait, for a program with no watcher of its own.
    void watchPort(int32_t port);
    // Something a wait must look at has happened (bytes arrived): ends the thread's sleep.
    static void wake();

    // errtimer's interval: the limit of the next limited wait.
    void setInterval(int ms) { m_errtimer.setInterval(ms); }
    int interval() const { return m_errtimer.interval(); }
    const QTimer &errtimer() const { return m_errtimer; }

    // A pause of `ms`. It ends on the steady clock at its nominal length, which counts as
    // errtimer's tick arriving on time: a kernel timer wakes the thread a little before that
    // moment, and the last stretch only takes the events already pending while it watches
    // the clock. False when the waits have ended.
    bool pause(int ms);
    // Waits up to errtimer's interval until `ready` holds; it is asked once the events
    // already pending have run, and after every wake-up. Gives whether it held and the
    // waits have not ended.
    bool waitUntil(const std::function<bool()> &ready);
    // Waits until `ready` holds or the steady clock reaches `limit()`, both asked at the
    // start and after every wake-up; errtimer plays no part.
    bool waitUntil(const std::function<bool()> &ready, const std::function<Clock::time_point()> &limit);

    // Work that need not hold up the next wait: it runs once the next pause has started its
    // clock, so it costs the pause no time, or at the start of the next limited wait.
    void whilePausing(const std::function<void()> &work);

    // Ends the wait under way and every later one at once, and drops work handed over;
    // rearm() lets waits run again.
    void end();
    bool ended() const { return m_ended; }
    void rearm() { m_ended = false; }

    // How long before a pause's end the thread stops sleeping: covers the wake-up's usual
    // delay (up to a few hundred microseconds when the machine idles), so a pause rarely
    // ends late, at the cost of at most this much CPU per pause.
    static constexpr std::chrono::microseconds FinalStretch{400};
    // The last microseconds are watched on the clock alone: one pass over the pending
    // events costs 5 to 20 microseconds here, which would otherwise be added to every pause.
    static constexpr std::chrono::microseconds LastMicroseconds{40};

private:
    void expire();
    void startLimit();
    bool waiting() const { return !m_expired && !m_ended; }
    void runPendingWork();
    static void processEvents(bool mayWait);

    std::function<void(bool)> m_markExpired;
    const int m_restInterval;
    bool m_expired = false;
    bool m_ended = false;
    QTimer m_errtimer;
    DeadlineWake m_wake;
    std::unique_ptr<PortWatcher> m_watcher;
    std::function<void()> m_pendingWork;
};

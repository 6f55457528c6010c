#pragma once

#include <QSocketNotifier>
#include <chrono>
#include <memory>

// Wakes the sleeping event loop of its thread at a moment of the steady clock, to the
// microsecond. Qt's timers count whole milliseconds and the event loop's sleep adds up to
// one more, which would make every pause 0.1 to 0.6 ms long; a kernel timer on the absolute
// moment, watched by the event loop like a port, does not. Without a kernel timer it does
// nothing, and the caller's millisecond timer alone bounds the sleep.
class DeadlineWake
{
public:
    using Clock = std::chrono::steady_clock;

    DeadlineWake();
    ~DeadlineWake();
    DeadlineWake(const DeadlineWake &) = delete;
    DeadlineWake &operator=(const DeadlineWake &) = delete;

    // One wake-up at `at`; replaces the one armed before.
    void arm(Clock::time_point at);
    void disarm();

private:
    void set(Clock::duration fromEpoch);
    void drain();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

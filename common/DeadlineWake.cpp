#include "DeadlineWake.h"

#include <sys/timerfd.h>
#include <unistd.h>

// The steady clock is CLOCK_MONOTONIC here, so its time points are the kernel timer's.
static_assert(DeadlineWake::Clock::is_steady);

DeadlineWake::DeadlineWake() : m_fd(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
{
    if (m_fd < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { drain(); });
}

DeadlineWake::~DeadlineWake()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void DeadlineWake::arm(Clock::time_point at)
{
    // Zero would disarm the timer; a moment already past fires at once.
    set(std::max(at.time_since_epoch(), Clock::duration(1)));
}

void DeadlineWake::disarm()
{
    set(Clock::duration::zero());
    drain();
}

void DeadlineWake::set(Clock::duration fromEpoch)
{
    if (m_fd < 0)
        return;
    using namespace std::chrono;
    const auto s = duration_cast<seconds>(fromEpoch);
    itimerspec when{};
    when.it_value.tv_sec = s.count();
    when.it_value.tv_nsec = duration_cast<nanoseconds>(fromEpoch - s).count();
    ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &when, nullptr);
}

// Its only job was to end the sleep; reading the expiry count keeps the descriptor from
// staying readable.
void DeadlineWake::drain()
{
    uint64_t expiries = 0;
    while (::read(m_fd, &expiries, sizeof expiries) > 0) {
    }
}

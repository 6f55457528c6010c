#include "TimedWaits.h"

#include "PagerConfig.h"
#include "PortWatcher.h"
#include "SerialLine.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <utility>

TimedWaits::TimedWaits(SetupState &state, SerialLine &line)
    : m_state(state), m_line(line), m_watcher(std::make_unique<PortWatcher>(state.PortId))
{
    // A coarse timer may fire early; a pause shorter than asked can overrun a pager interface.
    m_errtimer.setTimerType(Qt::PreciseTimer);
    m_errtimer.setInterval(RestInterval);
    QObject::connect(&m_errtimer, &QTimer::timeout, &m_errtimer, [this] { errtimer_Timer(); });
}

TimedWaits::~TimedWaits() = default;

void TimedWaits::errtimer_Timer()
{
    m_state.TimerExpired = -1;
}

void TimedWaits::Delay()
{
    pause(100);
}

void TimedWaits::Delay10()
{
    pause(10);
}

void TimedWaits::setInterval(int ms)
{
    m_errtimer.setInterval(ms);
}

int TimedWaits::interval() const
{
    return m_errtimer.interval();
}

void TimedWaits::pause(int ms)
{
    using Clock = DeadlineWake::Clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    m_errtimer.setInterval(ms);
    m_state.TimerExpired = 0;
    m_errtimer.start();
    m_wake.arm(end - FinalStretch);
    runPendingWork();
    while (waiting()) {
        const Clock::duration left = end - Clock::now();
        if (left <= Clock::duration::zero())
            m_state.TimerExpired = -1;
        else if (left > LastMicroseconds)
            processEvents(left > FinalStretch);
    }
    // A pause that ran its course has seen its wake-up fire; the notifier takes the expiry
    // in the next wait instead of costing two system calls here, after the pause's end.
    if (m_aborted)
        m_wake.disarm();
    m_errtimer.stop();
    m_errtimer.setInterval(RestInterval);
}

QByteArray TimedWaits::waitForBytes(int k)
{
    runPendingWork();
    m_state.TimerExpired = 0;
    m_errtimer.start();
    QByteArray area(k, ' ');
    // Bytes already waiting are taken at once, before the first sleep.
    bool mayWait = false;
    while (waiting()) {
        processEvents(mayWait);
        mayWait = true;
        if (m_keep(m_line.BytesInReceiveBuffer(m_state.PortId)) >= k) {
            m_keep(m_line.GetPacket(m_state.PortId, k, area.data()));
            break;
        }
    }
    m_errtimer.stop();
    return area;
}

char TimedWaits::waitForByte(char wanted)
{
    runPendingWork();
    m_state.TimerExpired = 0;
    m_errtimer.start();
    char last = ' ';
    bool mayWait = false;
    while (waiting() && last != wanted) {
        processEvents(mayWait);
        mayWait = true;
        readArrived(wanted, last);
    }
    m_errtimer.stop();
    return last;
}

char TimedWaits::waitUntilSent(char wanted)
{
    using namespace std::chrono;
    using Clock = DeadlineWake::Clock;
    runPendingWork();
    char last = ' ';
    const auto sendingFor = [this] { return microseconds(m_line.CdrvTransmitTimeLeft(m_state.PortId)); };
    const Clock::time_point givenUp = Clock::now() + sendingFor() + milliseconds(RestInterval);
    readArrived(wanted, last);
    while (!m_aborted && last != wanted) {
        const microseconds left = sendingFor();
        const Clock::time_point now = Clock::now();
        if (left <= microseconds::zero() || now >= givenUp)
            break;
        m_wake.arm(std::min(now + left, givenUp));
        processEvents(true);
        readArrived(wanted, last);
    }
    m_wake.disarm();
    return last;
}

// Only the bytes counted now: on a line that never falls quiet, reading on until it does
// would keep a wait's limit from ever being seen.
void TimedWaits::readArrived(char wanted, char &last)
{
    for (int32_t count = m_keep(m_line.BytesInReceiveBuffer(m_state.PortId)); count > 0 && last != wanted; --count)
        m_keep(m_line.GetPacket(m_state.PortId, 1, &last));
}

void TimedWaits::whilePausing(const std::function<void()> &work)
{
    runPendingWork();
    m_pendingWork = work;
}

void TimedWaits::runPendingWork()
{
    if (auto work = std::exchange(m_pendingWork, nullptr))
        work();
}

void TimedWaits::abort()
{
    m_pendingWork = nullptr;
    m_aborted = true;
    m_errtimer.stop();
    if (auto *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
}

bool TimedWaits::aborted() const
{
    return m_aborted;
}

void TimedWaits::rearm()
{
    m_aborted = false;
}

bool TimedWaits::waiting() const
{
    return m_state.TimerExpired == 0 && !m_aborted;
}

void TimedWaits::processEvents(bool mayWait)
{
    QCoreApplication::processEvents(mayWait ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
}

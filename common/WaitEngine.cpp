#include "WaitEngine.h"

#include "PortWatcher.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <utility>

WaitEngine::WaitEngine(std::function<void(bool)> markExpired, int restInterval)
    : m_markExpired(std::move(markExpired)), m_restInterval(restInterval)
{
    m_errtimer.setObjectName(QStringLiteral("errtimer"));
    // A coarse timer may fire early; a pause shorter than asked can overrun a pager interface.
    m_errtimer.setTimerType(Qt::PreciseTimer);
    m_errtimer.setInterval(m_restInterval);
    QObject::connect(&m_errtimer, &QTimer::timeout, &m_errtimer, [this] { expire(); });
}

WaitEngine::~WaitEngine() = default;

void WaitEngine::watchPort(int32_t port)
{
    m_watcher = std::make_unique<PortWatcher>(port);
}

void WaitEngine::wake()
{
    if (auto *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
}

void WaitEngine::expire()
{
    m_expired = true;
    m_markExpired(true);
}

void WaitEngine::startLimit()
{
    m_expired = false;
    m_markExpired(false);
    m_errtimer.start();
}

bool WaitEngine::pause(int ms)
{
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    m_errtimer.setInterval(ms);
    startLimit();
    m_wake.arm(end - FinalStretch);
    runPendingWork();
    while (waiting()) {
        const Clock::duration left = end - Clock::now();
        if (left <= Clock::duration::zero())
            expire();
        else if (left > LastMicroseconds)
            processEvents(left > FinalStretch);
    }
    // A pause that ran its course has seen its wake-up fire; the notifier takes the expiry
    // in the next wait instead of costing two system calls here, after the pause's end.
    if (m_ended)
        m_wake.disarm();
    m_errtimer.stop();
    m_errtimer.setInterval(m_restInterval);
    return !m_ended;
}

bool WaitEngine::waitUntil(const std::function<bool()> &ready)
{
    runPendingWork();
    startLimit();
    bool held = false;
    // What is already waiting is taken at once, before the first sleep.
    bool mayWait = false;
    while (waiting() && !held) {
        processEvents(mayWait);
        mayWait = true;
        held = ready();
    }
    m_errtimer.stop();
    return held && !m_ended;
}

bool WaitEngine::waitUntil(const std::function<bool()> &ready, const std::function<Clock::time_point()> &limit)
{
    runPendingWork();
    bool held = ready();
    while (!m_ended && !held) {
        const Clock::time_point at = limit();
        if (Clock::now() >= at)
            break;
        m_wake.arm(at);
        processEvents(true);
        held = ready();
    }
    m_wake.disarm();
    return held && !m_ended;
}

void WaitEngine::whilePausing(const std::function<void()> &work)
{
    runPendingWork();
    m_pendingWork = work;
}

void WaitEngine::runPendingWork()
{
    if (auto work = std::exchange(m_pendingWork, nullptr))
        work();
}

void WaitEngine::end()
{
    m_pendingWork = nullptr;
    m_ended = true;
    m_errtimer.stop();
    wake();
}

void WaitEngine::processEvents(bool mayWait)
{
    QCoreApplication::processEvents(mayWait ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
}

#include "TerminalWaits.h"

#include <QEventLoop>

TerminalWaits::TerminalWaits(bool &timerExpired, int restInterval, QObject *parent)
    : QObject(parent)
    , m_timerExpired(timerExpired)
    , m_restInterval(restInterval)
{
    m_errtimer.setObjectName(QStringLiteral("errtimer"));
    m_errtimer.setTimerType(Qt::PreciseTimer);
    m_errtimer.setInterval(m_restInterval);
    connect(&m_errtimer, &QTimer::timeout, this, &TerminalWaits::errtimer_Timer);
}

void TerminalWaits::errtimer_Timer()
{
    m_timerExpired = true;
    if (m_loop)
        m_loop->quit();
}

void TerminalWaits::portActivity()
{
    if (m_loop)
        m_loop->quit();
}

void TerminalWaits::end()
{
    m_ending = true;
    if (m_loop)
        m_loop->quit();
}

void TerminalWaits::sleep()
{
    QEventLoop loop;
    QEventLoop *const outer = m_loop;
    m_loop = &loop;
    loop.exec();
    m_loop = outer;
}

bool TerminalWaits::TimedWait(int ms)
{
    if (m_ending)
        return false;
    const bool changed = ms != m_restInterval;
    if (changed)
        m_errtimer.setInterval(ms);
    m_timerExpired = false;
    m_errtimer.start();
    while (!m_timerExpired && !m_ending)
        sleep();
    m_errtimer.stop();
    if (changed)
        m_errtimer.setInterval(m_restInterval);
    return !m_ending;
}

bool TerminalWaits::waitUntil(const std::function<bool()> &ready)
{
    if (m_ending)
        return false;
    m_timerExpired = false;
    m_errtimer.start();
    bool held = false;
    while (!m_timerExpired && !m_ending) {
        if (ready()) {
            held = true;
            break;
        }
        sleep();
    }
    m_errtimer.stop();
    return held && !m_ending;
}

#include "StationSimThread.h"

#include "StationSim.h"

StationSimThread::StationSimThread() = default;

StationSimThread::~StationSimThread()
{
    stop();
}

bool StationSimThread::start(const SimSettings &settings, const QString &workDir, int comNumber)
{
    stop();
    m_sim = new StationSim;
    m_sim->setSettings(settings);
    m_sim->moveToThread(&m_thread);
    m_thread.start();
    bool ok = false;
    QMetaObject::invokeMethod(m_sim, [&] { ok = m_sim->start(workDir, comNumber); }, Qt::BlockingQueuedConnection);
    m_error = ok ? QString() : m_sim->errorString();
    if (!ok)
        stop();
    return ok;
}

void StationSimThread::stop()
{
    if (!m_sim)
        return;
    QMetaObject::invokeMethod(m_sim, [this] { delete m_sim; }, Qt::BlockingQueuedConnection);
    m_sim = nullptr;
    m_thread.quit();
    m_thread.wait();
}

bool StationSimThread::hangUp()
{
    if (!m_sim)
        return false;
    bool ok = false;
    QMetaObject::invokeMethod(m_sim, [&] { ok = m_sim->hangUp(); }, Qt::BlockingQueuedConnection);
    return ok;
}

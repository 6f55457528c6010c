#include "TerminalWaits.h"

TerminalWaits::TerminalWaits(bool &timerExpired, int restInterval, QObject *parent)
    : QObject(parent)
    , m_engine([&timerExpired](bool expired) { timerExpired = expired; }, restInterval)
{
}

void TerminalWaits::portActivity()
{
    WaitEngine::wake();
}

void TerminalWaits::end()
{
    m_engine.end();
}

bool TerminalWaits::TimedWait(int ms)
{
    return m_engine.pause(ms);
}

bool TerminalWaits::waitUntil(const std::function<bool()> &ready)
{
    return m_engine.waitUntil(ready);
}

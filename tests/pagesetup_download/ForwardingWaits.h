#pragma once

#include "Waits.h"

// Passes every wait on to other waits; a subclass overrides the ones it looks at.
class ForwardingWaits : public Waits
{
public:
    explicit ForwardingWaits(Waits &waits) : m_waits(waits) {}

    void Delay() override { m_waits.Delay(); }
    void Delay10() override { m_waits.Delay10(); }
    void setInterval(int ms) override { m_waits.setInterval(ms); }
    int interval() const override { return m_waits.interval(); }
    QByteArray waitForBytes(int k) override { return m_waits.waitForBytes(k); }
    char waitForByte(char wanted) override { return m_waits.waitForByte(wanted); }
    char waitUntilSent(char wanted) override { return m_waits.waitUntilSent(wanted); }
    void whilePausing(const std::function<void()> &work) override { m_waits.whilePausing(work); }
    void abort() override { m_waits.abort(); }
    bool aborted() const override { return m_waits.aborted(); }
    void rearm() override { m_waits.rearm(); }

protected:
    Waits &m_waits;
};

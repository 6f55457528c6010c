#pragma once

#include "KeptResult.h"
#include "PagerConfig.h"
#include "WaitEngine.h"
#include "Waits.h"

class SerialLine;

// A download's waits on the window's thread, on the wait engine both programs share: its
// errtimer bounds the pauses and the limited waits, and bytes arriving on the port wake them.
class TimedWaits : public Waits
{
public:
    TimedWaits(SetupState &state, SerialLine &line);

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

    const QTimer &errtimer() const { return m_engine.errtimer(); }

private:
    void readArrived(char wanted, char &last);

    SetupState &m_state;
    KeptResult m_keep{m_state.PortResult};
    SerialLine &m_line;
    WaitEngine m_engine;
};

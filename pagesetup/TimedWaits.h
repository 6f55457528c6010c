#pragma once

#include "Waits.h"

#include <QTimer>
#include <memory>

struct SetupState;
class SerialLine;
class PortWatcher;

// The waits on the window's thread: errtimer bounds every wait and its tick only sets
// TimerExpired. While waiting, the window's events keep being processed (so it repaints,
// its other handlers run and nested waits work), but the thread sleeps in between: the
// timer's tick, bytes arriving on the port or any other event wake it.
class TimedWaits : public Waits
{
public:
    TimedWaits(SetupState &state, SerialLine &line);
    ~TimedWaits() override;

    void Delay() override;
    void Delay10() override;
    void setInterval(int ms) override;
    int interval() const override;
    QByteArray waitForBytes(int k) override;
    char waitForByte(char wanted) override;
    void abort() override;
    bool aborted() const override;
    void rearm() override;

    const QTimer &errtimer() const { return m_errtimer; }

private:
    void pause(int ms);
    void errtimer_Timer();
    bool waiting() const;
    static void processEvents(bool mayWait);

    SetupState &m_state;
    SerialLine &m_line;
    QTimer m_errtimer;
    // Alive for the port id, so bytes arriving wake the sleeping wait.
    std::unique_ptr<PortWatcher> m_watcher;
    bool m_aborted = false;
};

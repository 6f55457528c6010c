#pragma once

#include "LogonWaits.h"
#include "WaitEngine.h"

#include <QObject>

// The log-on's waits, on the wait engine both programs share. The window's own port
// watcher wakes them through portActivity.
class TerminalWaits : public QObject, public LogonWaits
{
    Q_OBJECT
public:
    // `timerExpired` is TerminalState::TimerExpired. Tests may choose a shorter rest interval.
    explicit TerminalWaits(bool &timerExpired, int restInterval = RestInterval, QObject *parent = nullptr);

    bool TimedWait(int ms) override;
    bool waitUntil(const std::function<bool()> &ready) override;
    bool ending() const override { return m_engine.ended(); }

    // Exit during a wait: it and every later one return at once.
    void end();
    // Bytes have arrived on the port.
    void portActivity();

    const QTimer &errtimer() const { return m_engine.errtimer(); }

private:
    WaitEngine m_engine;
};

#pragma once

#include "LogonWaits.h"

#include <QObject>
#include <QTimer>

class QEventLoop;

// The log-on's waits on errtimer. Its tick only sets TimerExpired; while a wait lasts the
// window's events keep being processed, and the thread sleeps between them: the tick, bytes
// arriving (portActivity) or any other event wakes it. Nothing polls.
class TerminalWaits : public QObject, public LogonWaits
{
    Q_OBJECT
public:
    // `timerExpired` is TerminalState::TimerExpired. Tests may choose a shorter rest interval.
    explicit TerminalWaits(bool &timerExpired, int restInterval = RestInterval, QObject *parent = nullptr);

    bool TimedWait(int ms) override;
    bool waitUntil(const std::function<bool()> &ready) override;
    bool ending() const override { return m_ending; }

    // Exit during a wait: it and every later one return at once.
    void end();
    // Bytes have arrived on the port.
    void portActivity();

    const QTimer &errtimer() const { return m_errtimer; }

private:
    void errtimer_Timer();
    void sleep();

    bool &m_timerExpired;
    const int m_restInterval;
    QTimer m_errtimer;
    QEventLoop *m_loop = nullptr; // the innermost wait's loop
    bool m_ending = false;
};

#pragma once

#include "ForwardingWaits.h"

#include <QElapsedTimer>
#include <QList>

// Passes every wait on to the real waits and notes how long each pause lasted on the
// steady clock, as the sender saw it (the receiving end's timestamps also carry its own
// scheduling delays).
class TimingWaits : public ForwardingWaits
{
public:
    explicit TimingWaits(Waits &waits) : ForwardingWaits(waits) { m_clock.start(); }

    struct Pause
    {
        int ms;
        qint64 startNs;
        qint64 endNs;
    };
    QList<Pause> pauses;

    // Pauses that ended before their nominal length.
    static QList<Pause> early(const QList<Pause> &pauses)
    {
        QList<Pause> found;
        for (const Pause &p : pauses) {
            if (p.endNs - p.startNs < p.ms * 1000000LL)
                found << p;
        }
        return found;
    }

    void Delay() override { timed(100, [this] { m_waits.Delay(); }); }
    void Delay10() override { timed(10, [this] { m_waits.Delay10(); }); }

private:
    template<typename F>
    void timed(int ms, F pause)
    {
        const qint64 start = m_clock.nsecsElapsed();
        pause();
        pauses.append({ms, start, m_clock.nsecsElapsed()});
    }

    QElapsedTimer m_clock;
};

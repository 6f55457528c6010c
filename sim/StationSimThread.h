#pragma once

#include "SimSettings.h"

#include <QString>
#include <QThread>

class StationSim;

// A StationSim on a thread of its own, so that a program under test on the main thread
// cannot delay its reading (the pacing check measures gaps of 10 ms).
class StationSimThread
{
public:
    StationSimThread();
    ~StationSimThread();   // stops the simulator and the thread

    bool start(const SimSettings &settings, const QString &workDir, int comNumber = 1);
    void stop();
    // Safe from any thread: the records, settings() and the signals (queued to the caller).
    // start(), stop() and hangUp() must go through this class.
    StationSim *sim() const { return m_sim; }
    bool hangUp();
    QString errorString() const { return m_error; }

private:
    QThread m_thread;
    StationSim *m_sim = nullptr;
    QString m_error;
};

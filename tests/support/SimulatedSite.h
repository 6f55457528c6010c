#pragma once

#include "SimSettings.h"
#include "StationSimThread.h"
#include "WorkingDirectory.h"

class StationSim;

// A site folder of the test's own as the working directory, in which only its comN links
// count as ports (a device of the machine is never opened), and the simulated station line
// on one of them. Going away closes port 0 if a program left it open.
class SimulatedSite
{
public:
    SimulatedSite();
    ~SimulatedSite();
    SimulatedSite(const SimulatedSite &) = delete;
    SimulatedSite &operator=(const SimulatedSite &) = delete;

    // Starts the simulator on comN, writing no report files.
    bool start(SimSettings settings = {}, int comNumber = 1);
    StationSimThread &line() { return m_line; }
    StationSim *sim() const { return m_line.sim(); }
    QString errorString() const { return m_line.errorString(); }
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.file(name); }

private:
    WorkingDirectory m_dir;
    StationSimThread m_line;
};

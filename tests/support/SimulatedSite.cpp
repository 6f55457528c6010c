#include "SimulatedSite.h"

#include "commdrv.h"

SimulatedSite::SimulatedSite()
{
    CdrvSetDeviceRoot(qPrintable(m_dir.file(QStringLiteral("no-devices"))));
}

SimulatedSite::~SimulatedSite()
{
    if (IsPortAvailable(0) == 0)
        UnInitializePort(0);
    m_line.stop();
    CdrvSetDeviceRoot("");
}

bool SimulatedSite::start(SimSettings settings, int comNumber)
{
    settings.writeReports = false;
    return m_line.start(settings, m_dir.path(), comNumber);
}

#include "SimSettings.h"

QList<int> SimSettings::allStations()
{
    QList<int> all;
    for (int s = 1; s <= 32; ++s)
        all.append(s);
    return all;
}
bool applyFault(const QString &, SimSettings &, QString *) { return false; }
QString faultHelp() { return {}; }

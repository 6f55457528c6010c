#pragma once

#include <QString>
#include <QStringList>

// The station names of the site file "config.dat" in a folder (its name matched without
// regard to case): entry i is the name of station i, 0 to 32, empty where the file has none.
// A missing or short file gives the names it holds and empty ones for the rest.
QStringList readSiteNames(const QString &dir);

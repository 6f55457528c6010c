#pragma once

#include <QDir>
#include <QString>

struct TerminalState;

// What reading the site file found, for the program to mention; the values themselves
// land in TerminalState.
struct SiteFileResult
{
    bool found = false;
    QString path;    // the file read, whatever the case of its name
    QString problem; // empty when every field the version calls for was read
};

// Finds "config.dat" in a folder without regard to letter case; empty when there is none.
QString findSiteFile(const QDir &folder);

// Fills the station names, port number and baud rate from "config.dat" in the folder.
// A file that ends early or holds a field that is not a number where one belongs keeps
// what was read before that field and the defaults (port 1, 1200 baud) for the rest.
// A file without a baud rate (version 18 or lower) also gives 1200.
SiteFileResult LoadConfig(TerminalState &state, const QDir &folder = QDir::current());

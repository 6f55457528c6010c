#pragma once

#include "PagerConfig.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

// The station's configuration file: one item per line, CR LF line ends, single-byte text.
class ConfigFile
{
public:
    struct LoadResult
    {
        bool found = false;   // false: no file, the record got its defaults
        QStringList problems; // what could not be read as it stood, for the user to be told
    };

    struct SaveResult
    {
        bool ok = false;
        QString error; // names the file and the reason when the save failed
    };

    // Fills the record from the file, or with SetDefaults when there is no such file.
    // Putting the values into the window is the window's part.
    static LoadResult load(PagerConfig &config, const QString &fileName);

    // Load steps after the file is open: reads the record from an open source.
    static LoadResult read(PagerConfig &config, QIODevice &source);

    // Derives the mode code, sets the version tag, compacts the group pagers, aligns the
    // pager texts, then replaces the file. The previous file survives any failure.
    static SaveResult save(PagerConfig &config, const QString &fileName);

    // The bytes a save writes; prepares the record as a save does.
    static QByteArray serialize(PagerConfig &config);

    // The version tag this program writes: major and minor version run together.
    static QString versionTag();
};

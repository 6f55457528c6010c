#include "SiteFile.h"
#include "TerminalState.h"

#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("config.dat")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();
    TerminalState state;
    LoadConfig(state, QDir(folder.path()));
    return 0;
}

#include "ConfigFile.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    PagerConfig config;
    config.SetDefaults();
    ConfigFile::read(config, buffer);
    // Whatever was read must write out and read back without trouble.
    QByteArray written = ConfigFile::serialize(config);
    QBuffer again(&written);
    again.open(QIODevice::ReadOnly);
    PagerConfig reread;
    ConfigFile::read(reread, again);
    return 0;
}

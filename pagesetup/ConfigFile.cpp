#include "ConfigFile.h"

ConfigFile::LoadResult ConfigFile::load(PagerConfig &config, const QString &fileName)
{
    (void)fileName;
    config.SetDefaults();
    return {};
}

ConfigFile::SaveResult ConfigFile::save(PagerConfig &config, const QString &fileName)
{
    (void)config;
    return {false, fileName + QStringLiteral(": not written yet")};
}

QByteArray ConfigFile::serialize(PagerConfig &config)
{
    (void)config;
    return {};
}

QString ConfigFile::versionTag()
{
    return QStringLiteral("13");
}

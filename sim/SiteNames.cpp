#include "SiteNames.h"

#include "ItemReader.h"
#include "NumberText.h"

#include <QDir>
#include <QFile>

namespace {

QString siteFilePath(const QString &dir)
{
    const QStringList found = QDir(dir).entryList({QStringLiteral("config.dat")}, QDir::Files, QDir::Name);
    return found.isEmpty() ? QString() : QDir(dir).filePath(found.first());
}

int numberField(ItemReader &reader)
{
    return NumberText::integerValueOr(reader.readNumber().value_or(QString()), 0);
}

} // namespace

QStringList readSiteNames(const QString &dir)
{
    QStringList names(33);
    const QString path = siteFilePath(dir);
    if (path.isEmpty())
        return names;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return names;
    ItemReader reader(file);
    numberField(reader);                       // version
    const int stationCount = numberField(reader);
    numberField(reader);                       // port
    numberField(reader);
    reader.readText();                         // a value of any kind
    reader.readText();
    const int listLength = numberField(reader);
    numberField(reader);
    for (int i = 0; i < listLength && !reader.failed(); ++i)
        numberField(reader);
    for (int s = 1; s <= stationCount && !reader.failed(); ++s) {
        const std::optional<QString> name = reader.readText();
        if (name && s <= 32)
            names[s] = *name;
    }
    return names;
}

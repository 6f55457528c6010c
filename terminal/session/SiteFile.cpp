#include "SiteFile.h"

#include "ItemReader.h"
#include "NumberText.h"
#include "TerminalState.h"

#include <QFile>
#include <QRegularExpression>
#include <optional>

namespace {

const QString SiteFileName = QStringLiteral("config.dat");

// Reads the fields in order and stops at the first one that is missing or malformed,
// so a damaged file never shifts later values into the wrong fields.
class Fields
{
public:
    explicit Fields(QIODevice &file)
        : m_reader(file)
    {
    }

    std::optional<int16_t> integer(const char *what)
    {
        if (stopped())
            return std::nullopt;
        const std::optional<QString> item = m_reader.readNumber();
        if (!item)
            return stop(what, m_reader.problem());
        const QString text = item->trimmed();
        if (text.isEmpty())
            return int16_t(0); // an empty field reads as 0, as the writing tool's format has it
        static const QRegularExpression number(
            QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
        const std::optional<int16_t> value =
            number.match(text).hasMatch() ? NumberText::integerValue(text) : std::nullopt;
        if (!value)
            return stop(what, QStringLiteral("holds \"%1\" where a whole number belongs").arg(text));
        return value;
    }

    std::optional<QString> text(const char *what)
    {
        if (stopped())
            return std::nullopt;
        std::optional<QString> item = m_reader.readText();
        if (!item)
            return stop(what, m_reader.problem());
        return item;
    }

    bool stopped() const { return !m_problem.isEmpty(); }
    QString problem() const { return m_problem; }

private:
    std::nullopt_t stop(const char *what, const QString &why)
    {
        m_problem = QStringLiteral("%1 (reading the %2)").arg(why, QLatin1String(what));
        return std::nullopt;
    }

    ItemReader m_reader;
    QString m_problem;
};

void readFields(Fields &fields, TerminalState &state, bool &baudRead)
{
    const auto version = fields.integer("version");
    if (!version)
        return;
    state.ConfigVersion = *version;
    const auto count = fields.integer("station count");
    if (!count)
        return;
    state.StationCount = *count;
    const auto port = fields.integer("port number");
    if (!port)
        return;
    state.PortNumber = *port;
    fields.integer("fourth field");
    fields.text("fifth field");
    fields.text("sixth field");
    const auto listLength = fields.integer("list length");
    fields.integer("eighth field");
    for (int i = 0; listLength && i < *listLength && !fields.stopped(); ++i)
        fields.integer("list");
    for (int station = 1; station <= state.StationCount && !fields.stopped(); ++station) {
        const auto name = fields.text("station names");
        if (name && station <= TerminalState::MaxStation)
            state.StationNames[size_t(station)] = *name;
    }
    for (int i = 0; i < state.StationCount && !fields.stopped(); ++i)
        fields.integer("station list");
    fields.integer("twelfth field");
    fields.integer("thirteenth field");
    if (state.ConfigVersion > 18) {
        if (const auto baud = fields.integer("baud rate")) {
            state.BaudRate = *baud;
            baudRead = true;
        }
        fields.integer("fifteenth field");
    }
    if (state.ConfigVersion > 29)
        fields.text("sixteenth field");
}

} // namespace

QString findSiteFile(const QDir &folder)
{
    if (QFileInfo(folder, SiteFileName).isFile())
        return folder.filePath(SiteFileName);
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : names) {
        if (name.compare(SiteFileName, Qt::CaseInsensitive) == 0)
            return folder.filePath(name);
    }
    return {};
}

SiteFileResult LoadConfig(TerminalState &state, const QDir &folder)
{
    state.StationNames.fill(QString());
    state.PortNumber = 1;
    state.BaudRate = 1200;
    SiteFileResult result;
    result.path = findSiteFile(folder);
    if (result.path.isEmpty())
        return result;
    result.found = true;
    QFile file(result.path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.problem = QStringLiteral("cannot be opened: %1").arg(file.errorString());
        return result;
    }
    Fields fields(file);
    bool baudRead = false;
    readFields(fields, state, baudRead);
    if (!baudRead)
        state.BaudRate = 1200;
    result.problem = fields.problem();
    return result;
}

#include "ConfigFile.h"

#include "ItemReader.h"
#include "NumberText.h"
#include "SingleByte.h"
#include "Version.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cmath>
#include <cstdint>

namespace {

constexpr int OldLayoutTag = 10;

QString rightAligned(const QString &text, int width)
{
    return text.size() < width ? QString(width - text.size(), QLatin1Char(' ')) + text : text;
}

QString integerForm(long long value)
{
    return NumberText::displayForm(value) + QLatin1Char(' ');
}

// Reads items in the roles the file gives them. An item that is missing (the file ended)
// reads as an empty one, and the first such shortfall is noted once.
class FieldReader
{
public:
    FieldReader(QIODevice &file, QStringList &problems)
        : m_reader(file)
        , m_problems(problems)
    {
    }

    QString text()
    {
        if (auto item = m_reader.readText())
            return *item;
        noteFailure();
        return QString();
    }

    int16_t integer()
    {
        const QString item = text();
        if (auto value = NumberText::integerValue(item))
            return *value;
        noteOnce(m_rangeNoted, QStringLiteral("A number outside -32768..32767 was read as 0."));
        return 0;
    }

    // An empty item leaves the entry unset.
    std::optional<int16_t> anyValue()
    {
        const QString item = text();
        if (item.isEmpty())
            return std::nullopt;
        if (auto value = NumberText::integerValue(item))
            return value;
        noteOnce(m_rangeNoted, QStringLiteral("A number outside -32768..32767 was read as 0."));
        return int16_t(0);
    }

    bool failed() const { return m_reader.failed(); }

private:
    void noteFailure()
    {
        if (m_failureNoted)
            return;
        m_failureNoted = true;
        const QString why = m_reader.problem() == QLatin1String("ends early")
            ? QStringLiteral("The file ends early; the items missing from it were left empty.")
            : QStringLiteral("The file %1; the items after that point were left empty.").arg(m_reader.problem());
        m_problems.append(why);
    }

    void noteOnce(bool &noted, const QString &why)
    {
        if (!noted)
            m_problems.append(why);
        noted = true;
    }

    ItemReader m_reader;
    QStringList &m_problems;
    bool m_failureNoted = false;
    bool m_rangeNoted = false;
};

// How many input entries each block of the file holds. The count is a 16-bit number; a
// larger one is damage, and reading and dropping three times that many items would hold
// the window for minutes on a large file.
long long fileInputCount(const QString &inputCount)
{
    const double n = std::nearbyint(NumberText::numericValue(inputCount));
    if (!(n > 0))
        return 0;
    return n > INT16_MAX ? INT16_MAX : (long long)n;
}

void readInputBlocks(PagerConfig &config, FieldReader &in, QStringList &problems)
{
    const long long n = fileInputCount(config.InputCount);
    const long long kept = std::min<long long>(n, PagerConfig::MaxInputs);
    if (n > PagerConfig::MaxInputs) {
        problems.append(QStringLiteral("The file lists %1 inputs; only inputs 1 to %2 were kept.")
                            .arg(config.InputCount.trimmed())
                            .arg(PagerConfig::MaxInputs));
        config.InputCount = QString::number(PagerConfig::MaxInputs);
    }
    // Entries beyond the arrays are read and dropped so the items after them stay in place.
    const auto block = [&](auto &&store) {
        for (long long i = 1; i <= n; ++i) {
            if (i <= kept)
                store(int(i));
            else if (in.failed())
                break;
            else
                in.text();
        }
    };
    block([&](int i) { config.InputPagers[i] = in.text(); });
    block([&](int i) { config.InputTexts[i] = rightAligned(in.text(), 8); });
    block([&](int i) { config.InputNormEmer[i] = in.anyValue(); });
}

void readCurrentTail(PagerConfig &config, FieldReader &in, QStringList &problems)
{
    config.EpromVersion = in.integer();
    if (config.EpromVersion != 0 && config.EpromVersion != 1) {
        problems.append(QStringLiteral("The EPROM version %1 is neither 0 nor 1; it was taken as 1 (\"1.1 X\").")
                            .arg(config.EpromVersion));
        config.EpromVersion = 1;
    }
    for (auto &row : config.GroupPagers) {
        for (int s = 1; s <= 3; ++s)
            row[s] = in.text();
    }
    for (auto &dial : config.WideAreaDial)
        dial = in.text();
}

// A text written in text form must not split into two items or open a quoted one when read.
QString unstorableReason(const QString &text, bool quoted)
{
    if (!SingleByte::fits(text))
        return QStringLiteral("holds a character that has no single-byte form");
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')))
        return QStringLiteral("holds a line break");
    if (quoted ? text.contains(QLatin1Char('"')) : text.contains(QLatin1Char(',')))
        return quoted ? QStringLiteral("holds a double quote") : QStringLiteral("holds a comma");
    if (!quoted && text.trimmed().startsWith(QLatin1Char('"')))
        return QStringLiteral("begins with a double quote");
    return QString();
}

QString unstorableField(const PagerConfig &config)
{
    const auto check = [](const QString &text, const QString &name, bool quoted = false) {
        const QString why = unstorableReason(text, quoted);
        return why.isEmpty() ? QString() : name + QLatin1Char(' ') + why;
    };
    QString why;
    const auto first = [&why](const QString &candidate) {
        if (why.isEmpty())
            why = candidate;
    };
    first(check(config.BaudRate, QStringLiteral("The baud rate")));
    first(check(config.InputCount, QStringLiteral("The number of inputs")));
    first(check(config.ModeCode, QStringLiteral("The pager mode")));
    first(check(config.RecallMinutes, QStringLiteral("The recall time")));
    first(check(config.AlternatePager, QStringLiteral("The alternate pager number")));
    first(check(config.ManagerPager, QStringLiteral("The manager pager number")));
    const int n = config.inputCountN();
    for (int i = 1; i <= n; ++i) {
        first(check(config.InputPagers[i], QStringLiteral("The pager number of input %1").arg(i)));
        first(check(config.InputTexts[i], QStringLiteral("The pager text of input %1").arg(i)));
    }
    for (int r = 0; r < PagerConfig::GroupRows; ++r) {
        for (int s = 1; s <= 3; ++s)
            first(check(config.GroupPagers[r][s], QStringLiteral("Pager %1 of group %2").arg(s).arg(900 + r)));
    }
    for (int k = 0; k < PagerConfig::DialEntries; ++k)
        first(check(config.WideAreaDial[k], QStringLiteral("The dial string of wide area pager %1").arg(800 + k), true));
    return why;
}

void prepareForSave(PagerConfig &config)
{
    config.DeriveModeCode();
    config.FileVersion = ConfigFile::versionTag();
    config.CompactGroupPagers();
    if (NumberText::numericValue(config.InputCount) > PagerConfig::MaxInputs)
        config.InputCount = QString::number(PagerConfig::MaxInputs);
}

} // namespace

QString ConfigFile::versionTag()
{
    return QString::number(Version::Major) + QString::number(Version::Minor);
}

namespace {

// The file's lines for a record already prepared for saving; aligns the pager texts.
QByteArray layout(PagerConfig &config)
{
    QStringList lines;
    lines << config.FileVersion << config.BaudRate << integerForm(config.PortNumber)
          << integerForm(config.Reserved1) << integerForm(config.Reserved2) << config.InputCount
          << config.ModeCode << config.RecallMinutes << config.AlternatePager << config.ManagerPager;
    const int n = config.inputCountN();
    for (int i = 1; i <= n; ++i)
        lines << config.InputPagers[i];
    for (int i = 1; i <= n; ++i) {
        config.InputTexts[i] = rightAligned(config.InputTexts[i], 8);
        lines << config.InputTexts[i];
    }
    for (int i = 1; i <= n; ++i) {
        const auto &entry = config.InputNormEmer[i];
        lines << (entry ? integerForm(*entry) : QString());
    }
    lines << integerForm(config.EpromVersion);
    for (const auto &row : config.GroupPagers) {
        for (int s = 1; s <= 3; ++s)
            lines << rightAligned(row[s], 4);
    }
    for (const auto &dial : config.WideAreaDial)
        lines << QLatin1Char('"') + rightAligned(dial, 25) + QLatin1Char('"');
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += SingleByte::toBytes(line) + "\r\n";
    return bytes;
}

} // namespace

QByteArray ConfigFile::serialize(PagerConfig &config)
{
    prepareForSave(config);
    return layout(config);
}

ConfigFile::SaveResult ConfigFile::save(PagerConfig &config, const QString &fileName)
{
    prepareForSave(config);
    if (const QString why = unstorableField(config); !why.isEmpty())
        return {false, QStringLiteral("%1 was not saved: %2.").arg(fileName, why)};
    const QByteArray bytes = layout(config);
    // The old file is replaced only once the new one is complete on disk. Unbuffered, so a
    // short write (full disk, size limit) is seen here: a buffered QSaveFile commits it as done.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {false, QStringLiteral("%1 could not be written: %2").arg(fileName, file.errorString())};
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return {false, QStringLiteral("%1 could not be written: %2").arg(fileName, reason)};
        }
        done += written;
    }
    if (!file.commit())
        return {false, QStringLiteral("%1 could not be written: %2").arg(fileName, file.errorString())};
    return {true, QString()};
}

ConfigFile::LoadResult ConfigFile::load(PagerConfig &config, const QString &fileName)
{
    LoadResult result;
    const QFileInfo info(fileName);
    // Anything but an ordinary file (a folder, a device) counts as no file, as a missing one does.
    if (!info.isFile()) {
        config.SetDefaults();
        return result;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        config.SetDefaults();
        result.problems.append(QStringLiteral("%1 could not be read: %2; the defaults are shown.")
                                   .arg(fileName, file.errorString()));
        return result;
    }
    return read(config, file);
}

ConfigFile::LoadResult ConfigFile::read(PagerConfig &config, QIODevice &source)
{
    LoadResult result;
    result.found = true;
    FieldReader in(source, result.problems);
    const QString first = in.text();
    if (NumberText::numericValue(first) >= 100) {
        config.BaudRate = first;
        config.FileVersion = QString::number(OldLayoutTag);
    } else {
        config.FileVersion = first;
        config.BaudRate = in.text();
    }
    config.PortNumber = in.integer();
    config.Reserved1 = in.integer();
    config.Reserved2 = in.integer();
    config.InputCount = in.text();
    config.ModeCode = in.text();
    config.RecallMinutes = in.text();
    config.AlternatePager = in.text();
    config.ManagerPager = in.text();
    readInputBlocks(config, in, result.problems);
    if (NumberText::numericValue(config.FileVersion) > OldLayoutTag) {
        readCurrentTail(config, in, result.problems);
    } else {
        config.EpromVersion = 1;
        for (auto &row : config.GroupPagers)
            row.fill(QString());
        config.GroupCounts.fill(0);
    }
    return result;
}

#include "DecodedDownload.h"

#include <QDir>
#include <QSaveFile>

#include <algorithm>
#include <map>

namespace {

// Printable bytes as they are, everything else as \xHH, in double quotes.
QString quoted(const QByteArray &bytes)
{
    QString text = QStringLiteral("\"");
    for (const char c : bytes) {
        const auto b = uint8_t(c);
        if (b >= 0x20 && b < 0x7F && c != '"' && c != '\\')
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x") + QString::number(b, 16).rightJustified(2, QLatin1Char('0')).toUpper();
    }
    return text + QLatin1Char('"');
}

QString quotedChar(char c)
{
    return quoted(QByteArray(1, c));
}

QString ms(qint64 ns)
{
    return QString::number(double(ns) / 1e6, 'f', 3);
}

QString hexDump(const QByteArray &raw)
{
    QString text;
    for (qsizetype i = 0; i < raw.size(); i += 16) {
        text += QStringLiteral("  ") + QString::fromLatin1(raw.mid(i, 16).toHex(' ').toUpper()) + QLatin1Char('\n');
    }
    return text;
}

} // namespace

QString StreamUnit::name() const
{
    switch (kind) {
    case Kind::Mode: return QStringLiteral("mode field");
    case Kind::Recall: return QStringLiteral("recall field");
    case Kind::Block: return QStringLiteral("block field");
    case Kind::Alternate: return QStringLiteral("alternate pager");
    case Kind::Manager: return QStringLiteral("manager pager");
    case Kind::PagerNumber: return QStringLiteral("pager number %1").arg(index);
    case Kind::PagerText: return QStringLiteral("pager text %1").arg(index);
    case Kind::NormEmer: return QStringLiteral("norm/emer %1").arg(index);
    case Kind::ListEnd: return QStringLiteral("end-of-list mark");
    case Kind::SectionStart: return QStringLiteral("section-start mark");
    case Kind::GroupValue: return QStringLiteral("group value %1").arg(index);
    case Kind::GroupPager: return QStringLiteral("group pager slot %1").arg(index);
    case Kind::DialString: return QStringLiteral("dial string %1").arg(index);
    }
    return {};
}

QList<DecodedDownload::GapSummary> DecodedDownload::wireGaps() const
{
    std::map<int, QList<qint64>, std::greater<>> byPause;
    for (const StreamUnit &u : units) {
        if (u.requiredPauseMs > 0 && u.wireGapNs >= 0)
            byPause[u.requiredPauseMs].append(u.wireGapNs);
    }
    QList<GapSummary> summary;
    for (auto &[pause, gaps] : byPause) {
        std::sort(gaps.begin(), gaps.end());
        summary.append({pause, int(gaps.size()), double(gaps[gaps.size() / 2]) / 1e6, double(gaps.first()) / 1e6});
    }
    return summary;
}

QString DecodedDownload::toText() const
{
    QString t;
    t += QStringLiteral("Download to station %1\n").arg(station);
    t += QStringLiteral("EPROM version: %1\n")
             .arg(eprom == 0 ? QStringLiteral("1.0 X (tilde marks)")
                  : eprom == 1 ? QStringLiteral("1.1 X (EOT marks)") : QStringLiteral("unknown (no mark)"));
    t += QStringLiteral("Complete: %1\n").arg(complete ? QStringLiteral("yes") : QStringLiteral("no"));
    t += QStringLiteral("Bytes: %1 in %2 ms\n").arg(raw.size()).arg(ms(endNs - startNs));
    t += QStringLiteral("Mode: %1\nRecall: %2\nHighest input block: %3\n")
             .arg(quotedChar(mode), quotedChar(recall), quotedChar(block));
    t += QStringLiteral("Alternate pager: %1\nManager pager: %2\n").arg(quoted(alternate), quoted(manager));
    const qsizetype inputs = std::max({pagerNumbers.size(), pagerTexts.size(), normEmer.size()});
    t += QStringLiteral("Inputs: %1\n").arg(inputs);
    for (qsizetype i = 0; i < inputs; ++i) {
        t += QStringLiteral("  %1  number %2  text %3  norm/emer %4\n")
                 .arg(i + 1, 3)
                 .arg(i < pagerNumbers.size() ? quoted(pagerNumbers[i]) : QStringLiteral("-"),
                      i < pagerTexts.size() ? quoted(pagerTexts[i]) : QStringLiteral("-"),
                      i < normEmer.size() ? quotedChar(normEmer[i]) : QStringLiteral("-"));
    }
    t += QStringLiteral("Group block: %1\n")
             .arg(!groupBlock ? QStringLiteral("none") : groupData ? QStringLiteral("values and pagers") : QStringLiteral("empty"));
    for (qsizetype r = 0; r < groupCounts.size(); ++r) {
        QStringList slotTexts;
        for (qsizetype s = 3 * r; s < std::min(3 * r + 3, groupPagers.size()); ++s)
            slotTexts << quoted(groupPagers[s]);
        t += QStringLiteral("  group %1: value %2  pagers %3\n").arg(900 + r).arg(groupCounts[r]).arg(slotTexts.join(QLatin1Char(' ')));
    }
    t += QStringLiteral("Wide-area block: %1\n").arg(wideBlock ? QStringLiteral("present") : QStringLiteral("none"));
    for (qsizetype k = 0; k < dialStrings.size(); ++k)
        t += QStringLiteral("  %1: %2\n").arg(800 + k).arg(quoted(dialStrings[k]));
    t += QStringLiteral("Pacing violations: %1\n").arg(violations.size());
    for (const PacingViolation &v : violations)
        t += QStringLiteral("  %1 came %2 ms after the record before; the pause is %3 ms\n")
                 .arg(v.what, QString::number(v.measuredMs, 'f', 3)).arg(v.requiredMs);
    t += QStringLiteral("Problems: %1\n").arg(problems.size());
    for (const QString &p : problems)
        t += QStringLiteral("  ") + p + QLatin1Char('\n');
    t += QStringLiteral("Line idle before a record, by the pause owed (as the station saw it, in ms):\n");
    for (const GapSummary &g : wireGaps())
        t += QStringLiteral("  %1 ms pause: %2 records, median %3, least %4\n")
                 .arg(g.pauseMs, 3).arg(g.count).arg(QString::number(g.medianMs, 'f', 3), QString::number(g.minMs, 'f', 3));
    t += QStringLiteral("Records (gap before as sent, line idle before it, owed pause, in ms):\n");
    for (const StreamUnit &u : units)
        t += QStringLiteral("  %1  %2  %3  %4\n")
                 .arg(u.name(), -24)
                 .arg(u.gapNs < 0 ? QStringLiteral("-") : ms(u.gapNs), 10)
                 .arg(u.wireGapNs < 0 ? QStringLiteral("-") : ms(u.wireGapNs), 10)
                 .arg(u.requiredPauseMs, 4);
    t += QStringLiteral("Raw bytes:\n") + hexDump(raw);
    return t;
}

QString DecodedDownload::writeReport(const QString &dir) const
{
    const QString path = QDir(dir).filePath(QStringLiteral("received-station%1.txt").arg(station, 2, 10, QLatin1Char('0')));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(toText().toUtf8());
    return file.commit() ? path : QString();
}

#include "SimSettings.h"

namespace {

// "name" or "name=N"; count stays as given when there is no "=N".
bool splitSpec(const QString &spec, QString &name, int &count, QString *error)
{
    const qsizetype eq = spec.indexOf(QLatin1Char('='));
    name = spec.left(eq).trimmed();
    if (eq < 0)
        return true;
    bool ok = false;
    count = spec.mid(eq + 1).trimmed().toInt(&ok);
    if (!ok || count < 0) {
        if (error)
            *error = QStringLiteral("%1: not a count").arg(spec);
        return false;
    }
    return true;
}

} // namespace

QList<int> SimSettings::allStations()
{
    QList<int> all;
    for (int s = 1; s <= 32; ++s)
        all.append(s);
    return all;
}

bool applyFault(const QString &spec, SimSettings &settings, QString *error)
{
    QString name;
    int count = SimFaults::Always;
    if (!splitSpec(spec, name, count, error))
        return false;
    SimFaults &f = settings.faults;
    const bool counted = spec.contains(QLatin1Char('='));
    if (name == QLatin1String("no-answer") || name == QLatin1String("wrong-answer")
        || name == QLatin1String("short-answer")) {
        f.answer = name.startsWith(QLatin1String("no")) ? SimFaults::Answer::Silent
                   : name.startsWith(QLatin1String("wrong")) ? SimFaults::Answer::Wrong
                                                              : SimFaults::Answer::Short;
        f.answerTimes = count;
    } else if (name == QLatin1String("garbage-on-call") && !counted) {
        f.garbageOnCall = QByteArray::fromHex("FF3F");
    } else if (name == QLatin1String("clear-nak") && counted) {
        f.clearNaks = count;
    } else if (name == QLatin1String("no-clear-answer")) {
        f.clearSilentTimes = count;
    } else if (name == QLatin1String("late-ack") && counted) {
        settings.finalAckDelayMs = count;
    } else if (name == QLatin1String("no-final-ack") && !counted) {
        f.finalAckMissing = true;
    } else if (name == QLatin1String("garbage-before-ack") && !counted) {
        f.garbageBeforeFinalAck = QByteArray::fromHex("253F");
    } else if (name == QLatin1String("hang-up-after") && counted) {
        f.hangUpAfterStreamBytes = count;
    } else if (name == QLatin1String("slow-reader") && counted) {
        f.slowReaderMs = count;
    } else {
        if (error)
            *error = QStringLiteral("%1: unknown fault\n%2").arg(spec, faultHelp());
        return false;
    }
    return true;
}

QString faultHelp()
{
    return QStringLiteral(
        "Faults (TIMES: only the first TIMES occurrences; default every one):\n"
        "  no-answer[=TIMES]        a called station stays silent\n"
        "  wrong-answer[=TIMES]     a called station answers \"50OK\"\n"
        "  short-answer[=TIMES]     a called station sends only 3 of its 4 bytes\n"
        "  garbage-on-call          two stray bytes go out before every answer\n"
        "  clear-nak=N              NAK the memory-clear request N times per call, then ACK\n"
        "  no-clear-answer[=TIMES]  leave the memory-clear request unanswered\n"
        "  late-ack=MS              send the final ACK MS ms after the stream\n"
        "  no-final-ack             never send the final ACK\n"
        "  garbage-before-ack       two stray bytes go out just before the final ACK\n"
        "  hang-up-after=K          drop the line after K bytes of a download\n"
        "  slow-reader=MS           read the line only MS ms after bytes arrive, as a loaded\n"
        "                           far end does (its pacing check then sees late reads)\n");
}

std::optional<QList<int>> parseStationList(const QString &text)
{
    QList<int> stations;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList ends = part.split(QLatin1Char('-'));
        bool okFirst = false, okLast = false;
        const int first = ends.value(0).trimmed().toInt(&okFirst);
        const int last = ends.size() == 2 ? ends.value(1).trimmed().toInt(&okLast) : first;
        if (ends.size() > 2 || !okFirst || (ends.size() == 2 && !okLast) || first < 1 || last > 32 || first > last)
            return std::nullopt;
        for (int s = first; s <= last; ++s)
            if (!stations.contains(s))
                stations.append(s);
    }
    if (stations.isEmpty())
        return std::nullopt;
    return stations;
}

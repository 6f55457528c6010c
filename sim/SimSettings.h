#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <climits>
#include <optional>

// Ways the simulated line misbehaves, for exercising the programs' failure paths.
// A fault with a "times" count hits the first that many occurrences since the settings
// were applied and then the line behaves again; Always never stops.
struct SimFaults
{
    static constexpr int Always = INT_MAX;

    enum class Answer { Normal, Silent, Wrong, Short };
    Answer answer = Answer::Normal;         // how a called station answers its address code
    int answerTimes = Always;
    QByteArray wrongAnswer = "50OK";        // "50" is no station's number
    QByteArray garbageOnCall;               // sent just before every answer to an address code

    int clearNaks = 0;                      // NAKs to the memory-clear request of each call before the ACK
    int clearSilentTimes = 0;               // memory-clear requests left unanswered

    bool finalAckMissing = false;
    QByteArray garbageBeforeFinalAck;       // sent just before the final ACK

    int hangUpAfterStreamBytes = -1;        // drop the line after this many download bytes (-1: never)

    int slowReaderMs = 0;                   // bytes sit on the line this long before they are read
};

struct SimSettings
{
    QList<int> stations = allStations();    // stations present on the line
    int pagerStation = 0;                   // the pager interface; 0: every present station is one
    QByteArray answerTail = "OK";           // the two bytes after the station number in an answer

    int answerDelayMs = 20;                 // address code -> four-byte answer
    int clearDelayMs = 50;                  // "A","P","G",CR -> ACK or NAK
    int finalAckDelayMs = 50;               // end mark of the download -> ACK (a late ACK: e.g. 6000)
    int streamQuietLimitMs = 5000;          // a download silent this long is abandoned
    double pacingToleranceMs = 0.5;         // clock granularity allowed when checking pauses
    bool writeReports = true;               // "received-stationNN.txt" in the working directory
    bool busyReader = false;                // read the line without sleeping (see PtyLine::setBusyRead)
    bool instantLine = false;               // bytes cross at once, with no line time (see PtyLine::setLineTime)

    SimFaults faults;

    static QList<int> allStations();
    bool isPresent(int station) const { return stations.contains(station); }
    bool isPagerInterface(int station) const
    {
        return isPresent(station) && (pagerStation == 0 || pagerStation == station);
    }
};

// One fault as the command line gives it ("no-answer", "wrong-answer=1", "clear-nak=3",
// "late-ack=6000", ...; faultHelp() lists them). False, with the reason in *error, for an
// unknown name or a bad count.
bool applyFault(const QString &spec, SimSettings &settings, QString *error);
QString faultHelp();

// "1-8,12" -> 1..8 and 12; nothing for a malformed list or a station outside 1..32.
std::optional<QList<int>> parseStationList(const QString &text);

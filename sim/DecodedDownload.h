#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <cstdint>

// One byte on the line: when the simulator read it from the sender's side (steady clock,
// nanoseconds), and when it had crossed the wire (the same on a line without line time).
struct TimedByte
{
    uint8_t byte = 0;
    qint64 ns = 0;
    qint64 arrivedNs = 0;
};

// When a byte was on the wire: from its start bit to the end of its stop bit.
struct WireTime
{
    qint64 startNs = -1;
    qint64 endNs = -1;
};

// One field, record or mark of a download stream as it arrived.
struct StreamUnit
{
    enum class Kind {
        Mode, Recall, Block, Alternate, Manager,
        PagerNumber, PagerText, NormEmer,
        ListEnd, SectionStart,
        GroupValue, GroupPager, DialString
    };
    Kind kind = Kind::Mode;
    int index = 0;            // 1-based place within its list; 0 outside lists
    qint64 firstNs = 0;       // first and last byte
    qint64 lastNs = 0;
    qint64 gapNs = -1;        // since the last byte of the unit before (or the clear ACK); -1: nothing before
    qint64 wireGapNs = -1;    // the line idle between the two units, as the station saw it
    int requiredPauseMs = 0;  // pause the sender owed before this unit

    QString name() const;     // "pager number 3", "end-of-list mark", ...
};

struct PacingViolation
{
    int unit = 0;             // index into DecodedDownload::units
    QString what;             // StreamUnit::name() of the early unit
    int requiredMs = 0;
    double measuredMs = 0;
};

// What a pager interface made of one download stream.
struct DecodedDownload
{
    int station = 0;
    int eprom = -1;                  // 0: "1.0 X" (tilde marks), 1: "1.1 X" (EOT marks), -1: no mark seen
    char mode = 0, recall = 0, block = 0;   // the three character fields, 0x00 for an empty one
    QByteArray alternate, manager;
    QList<QByteArray> pagerNumbers;  // exact bytes of each record, CR removed
    QList<QByteArray> pagerTexts;
    QByteArray normEmer;             // one character per input ('0', '1', or 0x00 when unset)
    bool groupBlock = false;         // a section-start mark opened the group block
    bool groupData = false;          // ... and it carried the value and pager lists
    bool wideBlock = false;
    QList<int> groupCounts;          // 32 when groupData, else empty
    QList<QByteArray> groupPagers;   // 96 when groupData (row r slot s at 3r + s - 1)
    QList<QByteArray> dialStrings;   // 16 when wideBlock

    bool complete = false;           // the closing mark arrived
    QStringList problems;            // anything a correct sender would not have sent
    QByteArray raw;
    qint64 startNs = 0, endNs = 0;   // first and last byte
    QList<StreamUnit> units;
    QList<PacingViolation> violations;

    // The idle line before the units that were owed a pause, by the pause owed.
    struct GapSummary { int pauseMs = 0; int count = 0; double medianMs = 0, minMs = 0; };
    QList<GapSummary> wireGaps() const;

    QString toText() const;
    // Writes toText() to dir/"received-stationNN.txt"; returns the path, or empty on failure.
    QString writeReport(const QString &dir) const;
};

Q_DECLARE_METATYPE(DecodedDownload)

#pragma once

#include "DecodedDownload.h"

// Reads a pager configuration download stream byte by byte, splitting it by its marks into
// the configuration it carries and checking the pauses between its records. Takes any bytes
// without crashing or growing without bound: an implausible stream ends in Failed.
class StreamDecoder
{
public:
    enum class State { Running, Complete, Failed };

    static constexpr int MaxInputs = 512;
    static constexpr qsizetype MaxRecordLength = 1024;
    static constexpr qsizetype MaxStreamBytes = 256 * 1024;

    // clearAckNs: when the ACK to the memory-clear request went out (-1: unknown), which the
    // first field must follow by a full pause.
    explicit StreamDecoder(qint64 clearAckNs = -1, double toleranceMs = 0.5);

    // ns: when the sender's byte was read, which the pauses are checked against; wire: when
    // it crossed the line, for the gaps the station saw (by default the same moment).
    State feed(uint8_t byte, qint64 ns, WireTime wire = {});
    State state() const { return m_state; }
    const DecodedDownload &result() const { return m_result; }
    void reset(qint64 clearAckNs = -1);

private:
    enum class Step {
        Mode, Recall, Block, Alternate, Manager,
        PagerNumbers, PagerTexts, NormEmer,
        GroupStart, GroupValues, GroupPagers, AfterGroups, DialStrings, Finished
    };

    void takeRecord(qint64 ns);
    void addUnit(StreamUnit::Kind kind, int index, qint64 lastNs);
    void takeInputRecord(const QByteArray &record, qint64 ns);
    void takeTailRecord(const QByteArray &record, qint64 ns);
    void finish();
    void fail(const QString &why);
    void checkInputCounts();

    State m_state = State::Running;
    Step m_step = Step::Mode;
    DecodedDownload m_result;
    QByteArray m_record;
    qint64 m_recordStartNs = -1;
    qint64 m_previousEndNs = -1;
    qint64 m_recordWireStartNs = -1;
    qint64 m_wireEndNs = -1;
    qint64 m_previousWireEndNs = -1;
    int m_pauseOwedMs = 100;
    bool m_emptyGroupBlock = false;
    double m_toleranceMs = 0.5;
};

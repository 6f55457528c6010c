#include "StreamDecoder.h"

namespace {

constexpr uint8_t Cr = 0x0D;
const QByteArray TildeEnd("~");
const QByteArray EotEnd("\x04");
const QByteArray SectionStart("\x05");

bool isListEnd(const QByteArray &record)
{
    return record == TildeEnd || record == EotEnd;
}

// The sender's pause after each kind of unit: 100 ms after header fields and input
// records, 10 ms after group and dial records, none after marks.
int pauseAfter(StreamUnit::Kind kind)
{
    using K = StreamUnit::Kind;
    switch (kind) {
    case K::ListEnd:
    case K::SectionStart:
        return 0;
    case K::GroupValue:
    case K::GroupPager:
    case K::DialString:
        return 10;
    default:
        return 100;
    }
}

// The first character of the block field the sender derives from its input count.
char expectedBlockField(int n)
{
    int q = n / 8;
    if (n % 8 > 0)
        ++q;
    q = std::min(q - 1, 9);
    return QByteArray::number(q).at(0);
}

} // namespace

StreamDecoder::StreamDecoder(qint64 clearAckNs, double toleranceMs)
    : m_toleranceMs(toleranceMs)
{
    reset(clearAckNs);
}

void StreamDecoder::reset(qint64 clearAckNs)
{
    m_state = State::Running;
    m_step = Step::Mode;
    m_result = DecodedDownload();
    m_record.clear();
    m_recordStartNs = -1;
    m_previousEndNs = clearAckNs;
    m_recordWireStartNs = -1;
    m_wireEndNs = -1;
    m_previousWireEndNs = clearAckNs;
    m_pauseOwedMs = 100;
    m_emptyGroupBlock = false;
}

StreamDecoder::State StreamDecoder::feed(uint8_t byte, qint64 ns, WireTime wire)
{
    if (m_state != State::Running)
        return m_state;
    if (m_result.raw.size() >= MaxStreamBytes) {
        fail(QStringLiteral("stream longer than %1 bytes").arg(MaxStreamBytes));
        return m_state;
    }
    if (m_result.raw.isEmpty())
        m_result.startNs = ns;
    m_result.raw.append(char(byte));
    m_result.endNs = ns;
    if (m_recordStartNs < 0) {
        m_recordStartNs = ns;
        m_recordWireStartNs = wire.startNs < 0 ? ns : wire.startNs;
    }
    m_wireEndNs = wire.endNs < 0 ? ns : wire.endNs;

    switch (m_step) {
    case Step::Mode:
        m_result.mode = char(byte);
        addUnit(StreamUnit::Kind::Mode, 0, ns);
        m_step = Step::Recall;
        return m_state;
    case Step::Recall:
        m_result.recall = char(byte);
        addUnit(StreamUnit::Kind::Recall, 0, ns);
        m_step = Step::Block;
        return m_state;
    case Step::Block:
        m_result.block = char(byte);
        addUnit(StreamUnit::Kind::Block, 0, ns);
        m_step = Step::Alternate;
        return m_state;
    default:
        break;
    }
    if (byte == Cr) {
        takeRecord(ns);
    } else if (m_record.size() >= MaxRecordLength) {
        fail(QStringLiteral("record longer than %1 bytes").arg(MaxRecordLength));
    } else {
        m_record.append(char(byte));
    }
    return m_state;
}

void StreamDecoder::addUnit(StreamUnit::Kind kind, int index, qint64 lastNs)
{
    StreamUnit unit;
    unit.kind = kind;
    unit.index = index;
    unit.firstNs = m_recordStartNs;
    unit.lastNs = lastNs;
    unit.requiredPauseMs = m_pauseOwedMs;
    if (m_previousWireEndNs >= 0)
        unit.wireGapNs = m_recordWireStartNs - m_previousWireEndNs;
    if (m_previousEndNs >= 0) {
        unit.gapNs = unit.firstNs - m_previousEndNs;
        const double gapMs = double(unit.gapNs) / 1e6;
        if (gapMs < unit.requiredPauseMs - m_toleranceMs)
            m_result.violations.append({int(m_result.units.size()), unit.name(), unit.requiredPauseMs, gapMs});
    }
    m_result.units.append(unit);

    m_pauseOwedMs = pauseAfter(kind);
    // The one mark with a pause after it: the end of an empty group block.
    if (kind == StreamUnit::Kind::ListEnd && m_step == Step::GroupStart)
        m_pauseOwedMs = 10;
    m_previousEndNs = lastNs;
    m_previousWireEndNs = m_wireEndNs;
    m_recordStartNs = -1;
}

void StreamDecoder::takeRecord(qint64 ns)
{
    const QByteArray record = m_record;
    m_record.clear();
    switch (m_step) {
    case Step::Alternate:
        m_result.alternate = record;
        addUnit(StreamUnit::Kind::Alternate, 0, ns);
        m_step = Step::Manager;
        break;
    case Step::Manager:
        m_result.manager = record;
        addUnit(StreamUnit::Kind::Manager, 0, ns);
        m_step = Step::PagerNumbers;
        break;
    case Step::PagerNumbers:
    case Step::PagerTexts:
    case Step::NormEmer:
        takeInputRecord(record, ns);
        break;
    default:
        takeTailRecord(record, ns);
        break;
    }
}

void StreamDecoder::takeInputRecord(const QByteArray &record, qint64 ns)
{
    using K = StreamUnit::Kind;
    if (isListEnd(record)) {
        const int version = record == TildeEnd ? 0 : 1;
        if (m_result.eprom < 0)
            m_result.eprom = version;
        else if (m_result.eprom != version)
            m_result.problems << QStringLiteral("tilde and EOT end-of-list marks mixed");
        addUnit(K::ListEnd, 0, ns);
        if (m_step == Step::PagerNumbers) {
            m_step = Step::PagerTexts;
        } else if (m_step == Step::PagerTexts) {
            m_step = Step::NormEmer;
        } else {
            checkInputCounts();
            finish();
        }
        return;
    }
    if (record == SectionStart && m_step == Step::NormEmer) {
        if (m_result.eprom == 0)
            m_result.problems << QStringLiteral("section-start mark in a stream with tilde marks");
        addUnit(K::SectionStart, 0, ns);
        checkInputCounts();
        m_result.groupBlock = true;
        m_step = Step::GroupStart;
        return;
    }

    QList<QByteArray> *list = nullptr;
    K kind = K::NormEmer;
    qsizetype count = m_result.normEmer.size();
    if (m_step == Step::PagerNumbers) {
        list = &m_result.pagerNumbers;
        kind = K::PagerNumber;
    } else if (m_step == Step::PagerTexts) {
        list = &m_result.pagerTexts;
        kind = K::PagerText;
    }
    if (list)
        count = list->size();
    if (count >= MaxInputs) {
        fail(QStringLiteral("more than %1 records in an input list").arg(MaxInputs));
        return;
    }
    if (record == SectionStart)
        m_result.problems << QStringLiteral("section-start mark inside an input list");
    if (list) {
        list->append(record);
    } else {
        if (record.size() != 1)
            m_result.problems << QStringLiteral("norm/emer record %1 is not one character").arg(count + 1);
        m_result.normEmer.append(record.isEmpty() ? '\0' : record.at(0));
    }
    addUnit(kind, int(count + 1), ns);
}

void StreamDecoder::takeTailRecord(const QByteArray &record, qint64 ns)
{
    using K = StreamUnit::Kind;
    switch (m_step) {
    case Step::GroupStart:
        if (isListEnd(record)) {
            m_emptyGroupBlock = true;
            addUnit(K::ListEnd, 0, ns);
            m_step = Step::AfterGroups;
            return;
        }
        m_result.groupData = true;
        m_step = Step::GroupValues;
        [[fallthrough]];
    case Step::GroupValues:
        if (isListEnd(record)) {
            if (m_result.groupCounts.size() != 32)
                m_result.problems << QStringLiteral("%1 group values instead of 32").arg(m_result.groupCounts.size());
            addUnit(K::ListEnd, 0, ns);
            m_step = Step::GroupPagers;
            return;
        }
        if (m_result.groupCounts.size() >= 32) {
            fail(QStringLiteral("more than 32 group values"));
            return;
        }
        if (record.size() == 1 && record.at(0) >= '0' && record.at(0) <= '3') {
            m_result.groupCounts.append(record.at(0) - '0');
        } else {
            m_result.problems << QStringLiteral("group value %1 is not a digit 0 to 3").arg(m_result.groupCounts.size() + 1);
            m_result.groupCounts.append(-1);
        }
        addUnit(K::GroupValue, int(m_result.groupCounts.size()), ns);
        return;
    case Step::GroupPagers:
        if (isListEnd(record) || record == SectionStart) {
            m_result.problems << QStringLiteral("group pager list ended after %1 of 96 slots").arg(m_result.groupPagers.size());
            m_step = Step::AfterGroups;
            takeTailRecord(record, ns);
            return;
        }
        m_result.groupPagers.append(record);
        addUnit(K::GroupPager, int(m_result.groupPagers.size()), ns);
        if (m_result.groupPagers.size() == 96)
            m_step = Step::AfterGroups;
        return;
    case Step::AfterGroups:
        if (record == SectionStart) {
            m_result.wideBlock = true;
            addUnit(K::SectionStart, 0, ns);
            m_step = Step::DialStrings;
        } else if (record == EotEnd) {
            if (m_emptyGroupBlock)
                m_result.problems << QStringLiteral("empty group block without a wide-area block");
            addUnit(K::ListEnd, 0, ns);
            finish();
        } else {
            fail(QStringLiteral("neither a section-start nor an end mark after the group block"));
        }
        return;
    case Step::DialStrings:
        if (record == EotEnd) {
            if (m_result.dialStrings.size() != 16)
                m_result.problems << QStringLiteral("%1 dial strings instead of 16").arg(m_result.dialStrings.size());
            addUnit(K::ListEnd, 0, ns);
            finish();
        } else if (m_result.dialStrings.size() >= 16) {
            fail(QStringLiteral("no end mark after the 16 dial strings"));
        } else {
            m_result.dialStrings.append(record);
            addUnit(K::DialString, int(m_result.dialStrings.size()), ns);
        }
        return;
    default:
        return;
    }
}

void StreamDecoder::checkInputCounts()
{
    const qsizetype n = m_result.pagerNumbers.size();
    if (m_result.pagerTexts.size() != n || m_result.normEmer.size() != n)
        m_result.problems << QStringLiteral("input lists differ in length: %1 numbers, %2 texts, %3 norm/emer")
                                 .arg(n).arg(m_result.pagerTexts.size()).arg(m_result.normEmer.size());
    const char expected = expectedBlockField(int(n));
    if (m_result.block != expected)
        m_result.problems << QStringLiteral("block field '%1' does not fit %2 inputs (expected '%3')")
                                 .arg(QLatin1Char(m_result.block)).arg(n).arg(QLatin1Char(expected));
}

void StreamDecoder::finish()
{
    m_result.complete = true;
    m_state = State::Complete;
    m_step = Step::Finished;
}

void StreamDecoder::fail(const QString &why)
{
    m_result.problems << why;
    m_state = State::Failed;
}

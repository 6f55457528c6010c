#include "StreamDecoder.h"
#include "StreamSamples.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace StreamSamples;

namespace {

constexpr qint64 Ms = 1000000;
constexpr qint64 AckNs = 1000 * Ms;

// Feeds a stream with its pauses; pauseOverride changes one piece's pause (index -1: the
// pause between the clear ACK and the first piece).
StreamDecoder decode(const Stream &stream, int overrideIndex = -2, double overrideMs = 0)
{
    StreamDecoder decoder(AckNs);
    qint64 t = AckNs + (overrideIndex == -1 ? qint64(overrideMs * Ms) : 100 * Ms);
    for (qsizetype i = 0; i < stream.size(); ++i) {
        for (const char c : stream[i].bytes)
            decoder.feed(uint8_t(c), t);
        t += i == overrideIndex ? qint64(overrideMs * Ms) : stream[i].pauseMs * Ms;
    }
    return decoder;
}

QStringList violationNames(const DecodedDownload &d)
{
    QStringList names;
    for (const PacingViolation &v : d.violations)
        names << v.what;
    return names;
}

} // namespace

class TestStreamDecoder : public QObject
{
    Q_OBJECT
private slots:
    void decodesExamples_data();
    void decodesExamples();
    void defaultStreamBytes();
    void groupAndDialContents();
    void pacing_data();
    void pacing();
    void lineTimeShortensWhatTheStationSees();
    void reportsWhatASenderGotWrong();
    void survivesGarbage();
    void boundedOnEndlessInput();
};

void TestStreamDecoder::decodesExamples_data()
{
    QTest::addColumn<Stream>("stream");
    QTest::addColumn<int>("eprom");
    QTest::addColumn<char>("block");
    QTest::addColumn<int>("inputs");
    QTest::addColumn<QString>("blocks");   // g: group block, d: group data, w: wide-area block

    QTest::newRow("defaults, EOT marks") << defaults(1) << 1 << '0' << 1 << "";
    QTest::newRow("defaults, tilde marks") << defaults(0) << 0 << '0' << 1 << "";
    QTest::newRow("no inputs, block field minus") << noInputs() << 1 << '-' << 0 << "";
    QTest::newRow("12 inputs, block 1") << manyInputs(12, '1') << 1 << '1' << 12 << "";
    QTest::newRow("80 inputs, block 9") << manyInputs(80, '9') << 1 << '9' << 80 << "";
    QTest::newRow("81 inputs, block 9") << manyInputs(81, '9') << 1 << '9' << 81 << "";
    QTest::newRow("one group 12 and 34") << oneGroup() << 1 << '0' << 1 << "gd";
    QTest::newRow("dial strings only") << dialOnly() << 1 << '0' << 1 << "gw";
}

void TestStreamDecoder::decodesExamples()
{
    QFETCH(Stream, stream);
    QFETCH(int, eprom);
    QFETCH(char, block);
    QFETCH(int, inputs);
    QFETCH(QString, blocks);

    const StreamDecoder decoder = decode(stream);
    const DecodedDownload &d = decoder.result();
    QCOMPARE(decoder.state(), StreamDecoder::State::Complete);
    QVERIFY(d.complete);
    QCOMPARE(d.problems, QStringList());
    QCOMPARE(violationNames(d), QStringList());
    QCOMPARE(d.raw, joined(stream));
    QCOMPARE(d.eprom, eprom);
    QCOMPARE(d.mode, '0');
    QCOMPARE(d.recall, '4');
    QCOMPARE(d.block, block);
    QCOMPARE(d.pagerNumbers.size(), inputs);
    QCOMPARE(d.pagerTexts.size(), inputs);
    QCOMPARE(d.normEmer.size(), inputs);
    QCOMPARE(d.groupBlock, blocks.contains('g'));
    QCOMPARE(d.groupData, blocks.contains('d'));
    QCOMPARE(d.wideBlock, blocks.contains('w'));
    QCOMPARE(d.groupCounts.size(), blocks.contains('d') ? 32 : 0);
    QCOMPARE(d.groupPagers.size(), blocks.contains('d') ? 96 : 0);
    QCOMPARE(d.dialStrings.size(), blocks.contains('w') ? 16 : 0);
    if (inputs == 12) {
        QCOMPARE(d.pagerNumbers.last(), QByteArray("112"));
        QCOMPARE(d.pagerTexts.last(), QByteArray("    IN12"));
        QCOMPARE(d.normEmer, QByteArray("101010101010"));
    }
}

void TestStreamDecoder::defaultStreamBytes()
{
    const QByteArray eot = QByteArray::fromHex("303430" "0D0D0D" "040D" "2020202020202020" "0D" "040D" "310D" "040D");
    QCOMPARE(eot.size(), 23);
    QByteArray tilde = eot;
    tilde.replace('\x04', '~');
    for (const QByteArray &bytes : {eot, tilde}) {
        StreamDecoder decoder;
        for (const char c : bytes)
            decoder.feed(uint8_t(c), 0);
        QCOMPARE(decoder.state(), StreamDecoder::State::Complete);
        QCOMPARE(decoder.result().eprom, bytes == eot ? 1 : 0);
        QCOMPARE(decoder.result().pagerTexts, QList<QByteArray>{"        "});
        QCOMPARE(decoder.result().normEmer, QByteArray("1"));
        QCOMPARE(decoder.result().problems, QStringList());
    }
}

void TestStreamDecoder::groupAndDialContents()
{
    const DecodedDownload group = decode(oneGroup()).result();
    QCOMPARE(group.groupCounts.first(), 2);
    QCOMPARE(group.groupCounts.count(0), 31);
    QCOMPARE(group.groupPagers.mid(0, 3), (QList<QByteArray>{"12", "34", ""}));
    QCOMPARE(group.groupPagers.count(QByteArray()), 94);

    const DecodedDownload dial = decode(dialOnly()).result();
    QCOMPARE(dial.dialStrings.first(), QByteArray("5551234,,9"));
    QCOMPARE(dial.dialStrings.count(QByteArray()), 15);

    // Both survive the report without losing a byte.
    QVERIFY(group.toText().contains("group 900: value 2  pagers \"12\" \"34\" \"\""));
    QVERIFY(dial.toText().contains("800: \"5551234,,9\""));
}

void TestStreamDecoder::pacing_data()
{
    QTest::addColumn<Stream>("stream");
    QTest::addColumn<int>("piece");
    QTest::addColumn<double>("pauseMs");
    QTest::addColumn<QStringList>("violations");

    QTest::newRow("paced") << defaults(1) << -2 << 0.0 << QStringList();
    QTest::newRow("first field too soon after the ACK") << defaults(1) << -1 << 20.0 << QStringList{"mode field"};
    QTest::newRow("header field after 50 ms") << defaults(1) << 0 << 50.0 << QStringList{"recall field"};
    QTest::newRow("within the tolerance") << defaults(1) << 1 << 99.6 << QStringList();
    QTest::newRow("beyond the tolerance") << defaults(1) << 1 << 99.4 << QStringList{"block field"};
    QTest::newRow("norm/emer record before the end mark") << defaults(0) << 9 << 0.0 << QStringList{"end-of-list mark"};
    QTest::newRow("group value after 9 ms") << oneGroup() << 15 << 9.0 << QStringList{"group value 6"};
    QTest::newRow("group slot after 9.6 ms") << oneGroup() << 50 << 9.6 << QStringList();
    QTest::newRow("empty group block needs its pause") << dialOnly() << 11 << 0.0 << QStringList{"section-start mark"};
    QTest::newRow("dial string after 5 ms") << dialOnly() << 13 << 5.0 << QStringList{"dial string 2"};
}

void TestStreamDecoder::pacing()
{
    QFETCH(Stream, stream);
    QFETCH(int, piece);
    QFETCH(double, pauseMs);
    QFETCH(QStringList, violations);

    const DecodedDownload d = decode(stream, piece, pauseMs).result();
    QVERIFY(d.complete);
    QCOMPARE(violationNames(d), violations);
    for (const PacingViolation &v : d.violations)
        QVERIFY(v.measuredMs < v.requiredMs);

    // Sent all at once, every record that owed a pause is reported: in the default stream
    // all but the two records that follow a mark.
    StreamDecoder burst(AckNs);
    for (const char c : joined(defaults(1)))
        burst.feed(uint8_t(c), AckNs);
    QCOMPARE(burst.result().violations.size(), 9);
}

// Each record is queued as its pause begins, so on a 1200-baud wire the station sees a
// pause shortened by the record's own line time, down to none where records outlast their
// 10 ms pauses; the pacing is still judged on the sender's side.
void TestStreamDecoder::lineTimeShortensWhatTheStationSees()
{
    constexpr qint64 byteNs = 1'000'000'000 / 120;
    StreamDecoder decoder(AckNs);
    qint64 t = AckNs + 100 * Ms, idle = 0;
    for (const Piece &piece : oneGroup()) {
        for (const char c : piece.bytes) {
            const qint64 start = std::max(t, idle);
            idle = start + byteNs;
            decoder.feed(uint8_t(c), t, {start, idle});
        }
        t += piece.pauseMs * Ms;
    }
    const DecodedDownload d = decoder.result();
    QVERIFY(d.complete);
    QVERIFY(d.violations.isEmpty());
    const StreamUnit recall = d.units.at(1);
    QCOMPARE(recall.gapNs, 100 * Ms);
    QCOMPARE(recall.wireGapNs, 100 * Ms - byteNs);
    const QList<DecodedDownload::GapSummary> gaps = d.wireGaps();
    QCOMPARE(gaps.size(), 2);
    QCOMPARE(gaps[0].pauseMs, 100);
    QCOMPARE(gaps[1].pauseMs, 10);
    QCOMPARE(gaps[1].minMs, 0.0);
    QVERIFY(d.toText().contains(QStringLiteral("10 ms pause: %1 records").arg(gaps[1].count)));
}

void TestStreamDecoder::reportsWhatASenderGotWrong()
{
    // Three inputs sent under the block field of 9 to 16 inputs.
    Stream wrongBlock = manyInputs(3, '1');
    QVERIFY(decode(wrongBlock).result().problems.join(' ').contains("block field '1' does not fit 3 inputs"));

    // One text missing from its list.
    Stream shortTexts = manyInputs(2, '0');
    shortTexts.removeAt(8);
    const DecodedDownload d = decode(shortTexts).result();
    QVERIFY(d.complete);
    QVERIFY(d.problems.join(' ').contains("input lists differ in length"));

    // A stream cut short is still running, not complete; bytes after the end are ignored.
    Stream cut = oneGroup();
    cut.resize(60);
    QCOMPARE(decode(cut).state(), StreamDecoder::State::Running);
    StreamDecoder done = decode(defaults(1));
    QCOMPARE(done.feed('x', 0), StreamDecoder::State::Complete);
    QCOMPARE(done.result().raw.size(), 23);
}

void TestStreamDecoder::survivesGarbage()
{
    QRandomGenerator random(20240611);
    const QByteArray alphabet("\r\r\r\x04\x05~0123 ABC\xff");
    const QByteArray valid = joined(oneGroup()) + joined(dialOnly());
    for (int run = 0; run < 2000; ++run) {
        QByteArray bytes;
        if (run % 2) {
            bytes = valid;
            for (int flips = random.bounded(1, 8); flips > 0; --flips)
                bytes[random.bounded(qsizetype(bytes.size()))] = alphabet[random.bounded(qsizetype(alphabet.size()))];
            bytes.insert(random.bounded(qsizetype(bytes.size())), alphabet.mid(random.bounded(10), 3));
        } else {
            for (int i = random.bounded(1, 3000); i > 0; --i)
                bytes += run % 4 ? alphabet[random.bounded(qsizetype(alphabet.size()))] : char(random.bounded(256));
        }
        StreamDecoder decoder;
        qint64 t = 0;
        for (const char c : bytes)
            decoder.feed(uint8_t(c), t += random.bounded(20 * Ms));
        const DecodedDownload &d = decoder.result();
        QVERIFY(d.raw.size() <= bytes.size());
        QVERIFY(d.units.size() <= d.raw.size());
        QVERIFY(d.pagerNumbers.size() <= StreamDecoder::MaxInputs);
        QVERIFY(d.groupPagers.size() <= 96 && d.dialStrings.size() <= 16 && d.groupCounts.size() <= 32);
        QVERIFY(!d.toText().isEmpty());
    }
}

void TestStreamDecoder::boundedOnEndlessInput()
{
    // A record without end, an endless list, and endless bytes each stop the decoder.
    const QList<QByteArray> patterns{"A", "1\r", "\r"};
    for (const QByteArray &pattern : patterns) {
        StreamDecoder decoder;
        for (int i = 0; i < 200000 && decoder.state() == StreamDecoder::State::Running; ++i)
            for (const char c : pattern)
                decoder.feed(uint8_t(c), i);
        QCOMPARE(decoder.state(), StreamDecoder::State::Failed);
        QVERIFY(decoder.result().raw.size() <= StreamDecoder::MaxStreamBytes);
    }
}

QTEST_GUILESS_MAIN(TestStreamDecoder)
#include "tst_streamdecoder.moc"

// The download stream byte by byte, with its pauses and progress texts, on virtual time;
// the larger streams are also read back by the simulated pager interface's decoder.

#include "DownloadStream.h"
#include "ExampleConfigs.h"
#include "RecordingSendView.h"
#include "StreamDecoder.h"
#include "VirtualSetupWaits.h"

#include <QTest>

namespace {

const QString Numbers = QStringLiteral(" Pager numbers sent to pager interface");
const QString Texts = QStringLiteral(" Pager texts sent to pager interface");
const QString NormEmer = QStringLiteral(" N / E status sent to pager interface");
const QString GroupValues = QStringLiteral(" Group values sent to pager interface");
const QString GroupPagers = QStringLiteral(" Group pagers sent to pager interface");
const QString Dials = QStringLiteral(" Wide Area dial strings sent to pager interface");

struct StreamRun
{
    VirtualClock clock;
    ScriptedLine line{clock};
    SetupState state;
    VirtualSetupWaits waits{line, state};
    RecordingSendView view;

    explicit StreamRun(PagerConfig config, int abortAtMs = -1)
    {
        line.open = true;
        if (abortAtMs >= 0)
            clock.after(abortAtMs, [this] { waits.abort(); });
        view.trace = &line.trace;
        const int groups = config.CountGroupPagers();
        DownloadStream(state, line, waits, view).send(config, groups, DownloadStream::WideAreaTotal(config));
    }

    QByteArray bytes() const { return line.sentBytes(); }

    DecodedDownload decoded() const
    {
        StreamDecoder decoder(0);
        for (const SentByte &b : line.sent)
            decoder.feed(b.byte, b.ns);
        return decoder.result();
    }

    QStringList progress(const QString &message) const
    {
        QStringList texts;
        for (const QString &entry : view.log) {
            if (entry.endsWith(message))
                texts << entry.mid(QStringLiteral("Sendinfo ").size());
        }
        return texts;
    }

    int pausesOf(int ms) const { return int(waits.pauses.count(ms)); }
};

QStringList numbered(int from, int to, const QString &message)
{
    QStringList texts;
    for (int i = from; i <= to; ++i)
        texts << QStringLiteral(" %1").arg(i) + message;
    return texts;
}

// The pauses a stream owes, as the pager interface counts them.
qint64 minimumNs(int n, int tenMsPauses)
{
    return (6 + 3 * qint64(std::max(n, 0))) * 100 * VirtualClock::Ms + tenMsPauses * 10 * VirtualClock::Ms;
}

const QString DefaultTrace = QStringLiteral(
    "{100}0{100}4{100}0{100}<0D>{100}<0D>{100}"
    "<0D>{100}[ 1 Pager numbers sent to pager interface]<04><0D>"
    "        <0D>{100}[ 1 Pager texts sent to pager interface]<04><0D>"
    "1<0D>{100}[ 1 N / E status sent to pager interface]<04><0D>");

} // namespace

class TestDownloadStream : public QObject
{
    Q_OBJECT

private slots:
    void defaultStream()
    {
        StreamRun run(ExampleConfigs::savedDefaults());
        QCOMPARE(run.line.trace, DefaultTrace);
        QCOMPARE(run.bytes(), QByteArray::fromHex("3034300d0d0d040d20202020202020200d040d310d040d"));
        QCOMPARE(run.bytes().size(), 23);
        const DecodedDownload d = run.decoded();
        QVERIFY2(d.complete, qPrintable(d.problems.join(u'\n')));
        QCOMPARE(d.eprom, 1);
        QVERIFY(d.violations.isEmpty());
    }

    // Version "1.0 X" knows neither groups nor dial strings: tildes close the lists and
    // the stream, and nothing of the tail is sent even when it is filled in.
    void oldEpromSendsTildesOnly()
    {
        PagerConfig config = ExampleConfigs::savedDefaults();
        config.EpromVersion = 0;
        config.GroupPagers[3][1] = QStringLiteral("12");
        config.WideAreaDial[2] = QStringLiteral("9,123");
        StreamRun run(config);
        QString expected = DefaultTrace;
        expected.replace(QStringLiteral("<04>"), QStringLiteral("~"));
        QCOMPARE(run.line.trace, expected);
        QVERIFY(!run.bytes().contains('\x05'));
        const DecodedDownload d = run.decoded();
        QVERIFY(d.complete);
        QCOMPARE(d.eprom, 0);
        QVERIFY(!d.groupBlock && !d.wideBlock);
    }

    void inputCount_data()
    {
        QTest::addColumn<QString>("count");
        QTest::addColumn<char>("block");
        QTest::addColumn<int>("n");
        QTest::newRow("0: minus sign, empty lists") << "0" << '-' << 0;
        QTest::newRow("negative") << "-3" << '-' << 0;
        QTest::newRow("not a number") << "A12" << '-' << 0;
        QTest::newRow("1") << "1" << '0' << 1;
        QTest::newRow("8") << "8" << '0' << 8;
        QTest::newRow("9") << "9" << '1' << 9;
        QTest::newRow("12") << "12" << '1' << 12;
        QTest::newRow("1 2 reads as 12") << "1 2" << '1' << 12;
        QTest::newRow("17") << "17" << '2' << 17;
        QTest::newRow("72") << "72" << '8' << 72;
        QTest::newRow("73") << "73" << '9' << 73;
        QTest::newRow("80") << "80" << '9' << 80;
        QTest::newRow("81") << "81" << '9' << 81;
        QTest::newRow("512") << "512" << '9' << 512;
    }

    void inputCount()
    {
        QFETCH(QString, count);
        QFETCH(char, block);
        QFETCH(int, n);
        PagerConfig config = ExampleConfigs::full(std::max(n, 1));
        config.InputCount = count;
        config.GroupPagers = {};
        config.WideAreaDial = {};
        StreamRun run(config);
        QCOMPARE(run.bytes().at(2), block);
        QCOMPARE(run.progress(Numbers), numbered(1, n, Numbers));
        QCOMPARE(run.progress(Texts), numbered(1, n, Texts));
        QCOMPARE(run.progress(NormEmer), numbered(1, n, NormEmer));
        QCOMPARE(run.clock.now(), minimumNs(n, 0));
        const DecodedDownload d = run.decoded();
        QVERIFY2(d.complete, qPrintable(d.problems.join(u'\n')));
        QCOMPARE(d.pagerNumbers.size(), n);
        QCOMPARE(d.pagerTexts.size(), n);
        QCOMPARE(d.normEmer.size(), n);
        if (n == 0)
            QVERIFY(run.line.trace.endsWith(QStringLiteral("<0D>{100}<04><0D><04><0D><04><0D>")));
    }

    void characterFields_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("recall");
        QTest::addColumn<QByteArray>("fields");
        QTest::newRow("defaults") << "0" << "4" << QByteArray("04");
        QTest::newRow("recall 15 sends its first digit") << "0" << "15" << QByteArray("01");
        QTest::newRow("blanks around") << " 3 " << " 9" << QByteArray("39");
        QTest::newRow("empty texts send zero bytes") << "" << " " << QByteArray(2, '\0');
    }

    void characterFields()
    {
        QFETCH(QString, mode);
        QFETCH(QString, recall);
        QFETCH(QByteArray, fields);
        PagerConfig config = ExampleConfigs::savedDefaults();
        config.ModeCode = mode;
        config.RecallMinutes = recall;
        StreamRun run(config);
        QCOMPARE(run.bytes().left(2), fields);
        QCOMPARE(run.bytes().size(), 23);
    }

    // Numbers go out without their outer blanks, texts exactly as the save aligned them.
    void recordsAndTrimming()
    {
        PagerConfig config = ExampleConfigs::savedDefaults();
        config.InputCount = QStringLiteral("2");
        config.AlternatePager = QStringLiteral(" 77 ");
        config.ManagerPager = QStringLiteral("");
        config.InputPagers[1] = QStringLiteral(" 123 ");
        config.InputPagers[2] = QStringLiteral("4\t5");
        config.InputTexts[1] = QStringLiteral("      AB");
        config.InputTexts[2] = QStringLiteral("LONGER TEXT ");
        config.InputNormEmer[2] = 0;
        StreamRun run(config);
        QVERIFY(run.line.trace.startsWith(QStringLiteral(
            "{100}0{100}4{100}0{100}77<0D>{100}<0D>{100}"
            "123<0D>{100}[ 1 Pager numbers sent to pager interface]"
            "4<09>5<0D>{100}[ 2 Pager numbers sent to pager interface]<04><0D>"
            "      AB<0D>{100}[ 1 Pager texts sent to pager interface]"
            "LONGER TEXT <0D>{100}[ 2 Pager texts sent to pager interface]<04><0D>")));
    }

    void normEmer_data()
    {
        QTest::addColumn<int>("entry"); // -1: unset
        QTest::addColumn<QString>("record");
        QTest::newRow("unset") << -1 << "<00><0D>";
        QTest::newRow("cleared") << 0 << "0<0D>";
        QTest::newRow("ticked") << 1 << "1<0D>";
    }

    void normEmer()
    {
        QFETCH(int, entry);
        QFETCH(QString, record);
        PagerConfig config = ExampleConfigs::savedDefaults();
        config.InputNormEmer[1] = entry < 0 ? std::nullopt : std::optional<int16_t>(int16_t(entry));
        StreamRun run(config);
        QVERIFY(run.line.trace.endsWith(QStringLiteral("<04><0D>") + record
                                        + QStringLiteral("{100}[ 1 N / E status sent to pager interface]<04><0D>")));
    }

    // One group holding 12 and 34, no dial strings: one section start, the 32 values
    // (that group's is 2), the end mark, all 96 slots, the closing mark.
    void oneGroup()
    {
        PagerConfig config = ExampleConfigs::savedDefaults();
        config.GroupPagers[5] = {QString(), QStringLiteral("12"), QStringLiteral("34"), QStringLiteral(" ")};
        StreamRun run(config);

        QString tail = QStringLiteral("<05><0D>");
        for (int r = 0; r < 32; ++r)
            tail += QStringLiteral("%1<0D>{10}[ %2 Group values sent to pager interface]").arg(r == 5 ? 2 : 0).arg(r + 1);
        tail += QStringLiteral("<04><0D>");
        for (int r = 0; r < 32; ++r) {
            tail += r == 5 ? QStringLiteral("12<0D>{10}34<0D>{10}<0D>{10}") : QStringLiteral("<0D>{10}<0D>{10}<0D>{10}");
            tail += QStringLiteral("[ %1 Group pagers sent to pager interface]").arg(r + 1);
        }
        tail += QStringLiteral("<04><0D>");
        QVERIFY(run.line.trace.endsWith(QStringLiteral("[ 1 N / E status sent to pager interface]") + tail));
        QCOMPARE(run.bytes().count('\x05'), 1);
        QCOMPARE(run.pausesOf(10), 128);

        const DecodedDownload d = run.decoded();
        QVERIFY2(d.complete, qPrintable(d.problems.join(u'\n')));
        QVERIFY(d.groupData && !d.wideBlock);
        QCOMPARE(d.groupCounts.value(5), 2);
        QCOMPARE(d.groupCounts.count(0), 31);
        QCOMPARE(d.groupPagers.size(), 96);
        QCOMPARE(d.groupPagers.mid(15, 3), (QList<QByteArray>{"12", "34", ""}));
    }

    // Only dial strings: an empty group block, then all 16 strings, commas kept.
    void onlyDialStrings()
    {
        PagerConfig config = ExampleConfigs::savedDefaults();
        config.WideAreaDial[0] = QStringLiteral("  9,,5551234  ");
        config.WideAreaDial[15] = QStringLiteral("0,1");
        config.WideAreaDial[7] = QStringLiteral("    ");
        StreamRun run(config);
        QString tail = QStringLiteral("<05><0D><04><0D>{10}<05><0D>");
        for (int k = 0; k < 16; ++k) {
            const QString dial = k == 0 ? QStringLiteral("9,,5551234") : k == 15 ? QStringLiteral("0,1") : QString();
            tail += dial + QStringLiteral("<0D>{10}[ %1 Wide Area dial strings sent to pager interface]").arg(k + 1);
        }
        tail += QStringLiteral("<04><0D>");
        QVERIFY(run.line.trace.endsWith(QStringLiteral("[ 1 N / E status sent to pager interface]") + tail));
        QCOMPARE(run.pausesOf(10), 17);

        const DecodedDownload d = run.decoded();
        QVERIFY2(d.complete, qPrintable(d.problems.join(u'\n')));
        QVERIFY(d.groupBlock && !d.groupData && d.wideBlock);
        QCOMPARE(d.dialStrings.value(0), QByteArray("9,,5551234"));
    }

    // Everything filled: each record's pause, and nothing more, as the pager interface
    // measures it.
    void fullStreamPacing()
    {
        StreamRun run(ExampleConfigs::full(64));
        QCOMPARE(run.clock.now(), minimumNs(64, 144));
        QCOMPARE(run.pausesOf(100), 6 + 3 * 64);
        const DecodedDownload d = run.decoded();
        QVERIFY2(d.complete, qPrintable(d.problems.join(u'\n')));
        QVERIFY(d.violations.isEmpty());
        QCOMPARE(d.groupCounts.count(3), 32);
        QCOMPARE(d.dialStrings.size(), 16);
        QCOMPARE(d.pagerTexts.value(63), QByteArray("    IN64"));
        QCOMPARE(run.view.sendText, QStringLiteral(" 16") + Dials);
    }

    // Exit during any pause ends the stream there: nothing more goes out. Times are the
    // middle of a pause in each part of the stream of two inputs.
    void exitEndsTheStream_data()
    {
        QTest::addColumn<bool>("groups");
        QTest::addColumn<int>("atMs");
        for (const int ms : {50, 150, 250, 350, 450, 550})
            QTest::addRow("header, %d ms", ms) << true << ms;
        QTest::newRow("pager numbers") << true << 650;
        QTest::newRow("pager texts") << true << 850;
        QTest::newRow("N / E status") << true << 1050;
        QTest::newRow("group values") << true << 1205;
        QTest::newRow("group pagers") << true << 1525;
        QTest::newRow("dial strings") << true << 2485;
        QTest::newRow("no groups, their end mark") << false << 1205;
    }

    void exitEndsTheStream()
    {
        QFETCH(bool, groups);
        QFETCH(int, atMs);
        PagerConfig config = ExampleConfigs::full(2);
        if (!groups) {
            for (auto &row : config.GroupPagers)
                row.fill(QStringLiteral(" "));
        }
        const StreamRun whole(config);
        const StreamRun ended(config, atMs);
        for (const SentByte &b : ended.line.sent)
            QCOMPARE_LT(b.ns, atMs * VirtualClock::Ms);
        QVERIFY(whole.bytes().startsWith(ended.bytes()));
        QCOMPARE_LT(ended.bytes().size(), whole.bytes().size());
    }
};

QTEST_GUILESS_MAIN(TestDownloadStream)
#include "tst_downloadstream.moc"

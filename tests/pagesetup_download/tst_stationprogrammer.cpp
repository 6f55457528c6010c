// Send Data from click to closed port on virtual time: every branch of the connection,
// the memory-clear and the final acknowledgement, the opening failures, the save, and
// Exit during a send.

#include "ExampleConfigs.h"
#include "RecordingSendView.h"
#include "ScriptedStation.h"
#include "StationProgrammer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Outcome = StationProgrammer::Outcome;
using Answers = QList<QByteArray>;
using FinalAnswer = QList<QPair<int, QByteArray>>;
Q_DECLARE_METATYPE(Outcome)

namespace {

const QByteArray ACK("\x06");
const QByteArray NAK("\x15");
constexpr qint64 Ms = VirtualClock::Ms;

struct SendRun
{
    VirtualClock clock;
    ScriptedLine line{clock};
    SetupState state;
    PagerConfig config = ExampleConfigs::savedDefaults();
    VirtualSetupWaits waits{line, state};
    RecordingSendView view;
    ScriptedStation station;
    StationProgrammer programmer{config, state, line, waits, view};
    QStringList saved;

    explicit SendRun(int stationNumber = 5) : station(line, waits, stationNumber)
    {
        state.SetStation(int16_t(stationNumber));
        state.BaudCode = 4;
        state.PortIndex = 2;
        line.lastError = "/dev/ttyUSB0: no such device";
        programmer.setSaver([this](PagerConfig &c, const QString &fileName) {
            saved << fileName;
            c.DeriveModeCode();
            return ConfigFile::SaveResult{true, {}};
        });
    }

    // What the program sent before the stream: address codes, NAKs, clear requests.
    QString handshake() const
    {
        const QByteArray all = line.sentBytes();
        return readable(all.left(all.size() - station.stream.size()));
    }

    qint64 timeOfByte(uint8_t byte, int occurrence = 0) const
    {
        for (const SentByte &b : line.sent) {
            if (b.byte == byte && occurrence-- == 0)
                return b.ns;
        }
        return -1;
    }
};

} // namespace

class TestStationProgrammer : public QObject
{
    Q_OBJECT

private slots:
    void successfulSend()
    {
        SendRun run;
        QCOMPARE(run.programmer.sendData(), Outcome::Sent);
        QCOMPARE(run.saved, QStringList{QStringLiteral("pagcfg05.dat")});
        QCOMPARE(run.line.portCalls(), (QStringList{
            QStringLiteral("IsPortAvailable(0)"),
            QStringLiteral("InitializePort(0,2,0,0,9,0,1280,512,0)"),
            QStringLiteral("SetPortCharacteristics(0,4,0,3,0,4)"),
            QStringLiteral("CdrvSetTimerResolution(0,0)"),
            QStringLiteral("RtsOn(0)"),
            QStringLiteral("IsPortAvailable(0)"),
            QStringLiteral("UnInitializePort(0)"),
        }));
        QVERIFY(!run.line.open);
        QCOMPARE(run.handshake(), QStringLiteral("<5B>APG<0D>"));
        QCOMPARE(run.station.stream.size(), 23);

        QCOMPARE(run.view.log.first(), QStringLiteral("Connectinfo hidden"));
        QCOMPARE(run.view.log.mid(1, 4), (QStringList{
            QStringLiteral("Connectinfo Connection established with pager station 5"),
            QStringLiteral("Connectinfo shown"),
            QStringLiteral("Sendinfo Waiting for pager to clear its memory"),
            QStringLiteral("Sendinfo shown"),
        }));
        QCOMPARE(run.view.log.mid(run.view.log.size() - 2), (QStringList{
            QStringLiteral("Connectinfo Page data sent to pager interface"),
            QStringLiteral("Sendinfo  "),
        }));
        QCOMPARE(run.view.connectColour, SendView::Colour::Normal);
        QVERIFY(run.view.messages.isEmpty());
        QCOMPARE(run.waits.interval(), 5000);
        QVERIFY(!run.programmer.running());
    }

    void stationCodes_data()
    {
        QTest::addColumn<int>("station");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("connected");
        QTest::newRow("1") << 1 << "<7B>" << " 1";
        QTest::newRow("4") << 4 << "~" << " 4";
        QTest::newRow("5") << 5 << "<5B>" << " 5";
        QTest::newRow("10") << 10 << "`" << " 10";
        QTest::newRow("32") << 32 << "v" << " 32";
    }

    void stationCodes()
    {
        QFETCH(int, station);
        QFETCH(QString, code);
        QFETCH(QString, connected);
        SendRun run(station);
        QCOMPARE(run.programmer.sendData(), Outcome::Sent);
        QCOMPARE(run.handshake(), code + QStringLiteral("APG<0D>"));
        QVERIFY(run.view.log.contains(QStringLiteral("Connectinfo Connection established with pager station") + connected));
        QCOMPARE(run.saved.value(0), configFileName(station));
    }

    // Failed attempts of the call and of the memory-clear share one counter of two; a
    // NAK to the clear request only repeats it.
    void connection_data()
    {
        QTest::addColumn<Answers>("calls");
        QTest::addColumn<Answers>("clears");
        QTest::addColumn<QString>("handshake");
        QTest::addColumn<Outcome>("outcome");
        const QString request = QStringLiteral("APG<0D>");
        QTest::newRow("answer 05") << Answers{"05OK"} << Answers{ACK} << "<5B>" + request << Outcome::Sent;
        QTest::newRow("answer blank 5") << Answers{" 5\x01\x02"} << Answers{ACK} << "<5B>" + request << Outcome::Sent;
        QTest::newRow("answer 5x") << Answers{"5xOK"} << Answers{ACK} << "<5B>" + request << Outcome::Sent;
        QTest::newRow("answer 50 twice") << Answers{"50OK"} << Answers{ACK} << "<5B><15><5B><15>" << Outcome::NoConnection;
        QTest::newRow("no answer twice") << Answers{""} << Answers{ACK} << "<5B><15><5B><15>" << Outcome::NoConnection;
        QTest::newRow("three bytes only") << Answers{"05O"} << Answers{ACK} << "<5B><15><5B><15>" << Outcome::NoConnection;
        QTest::newRow("wrong, then right") << Answers{"50OK", "05OK"} << Answers{ACK} << "<5B><15><5B>" + request << Outcome::Sent;
        QTest::newRow("NAK three times, then ACK")
            << Answers{"05OK"} << Answers{NAK, NAK, NAK, ACK} << "<5B>" + request.repeated(4) << Outcome::Sent;
        QTest::newRow("NAKs are no attempts")
            << Answers{"05OK"} << Answers{NAK, NAK, NAK, ""} << "<5B>" + request.repeated(4) + "<5B>" + request
            << Outcome::NoConnection;
        QTest::newRow("clear unanswered twice") << Answers{"05OK"} << Answers{""} << ("<5B>" + request).repeated(2)
                                                << Outcome::NoConnection;
        QTest::newRow("clear answered otherwise, then ACK")
            << Answers{"05OK"} << Answers{"x", ACK} << ("<5B>" + request).repeated(2) << Outcome::Sent;
        QTest::newRow("wrong answer, then clear unanswered")
            << Answers{"50OK", "05OK"} << Answers{""} << "<5B><15><5B>" + request << Outcome::NoConnection;
    }

    void connection()
    {
        QFETCH(Answers, calls);
        QFETCH(Answers, clears);
        QFETCH(QString, handshake);
        QFETCH(Outcome, outcome);
        SendRun run;
        run.station.callAnswers = calls;
        run.station.clearAnswers = clears;
        QCOMPARE(run.programmer.sendData(), outcome);
        QCOMPARE(run.handshake(), handshake);
        // Every call of the station goes out on a line cleared both ways.
        QCOMPARE(run.line.trace.count(QStringLiteral("(flush in)(flush out)<5B>")), handshake.count(QStringLiteral("<5B>")));
        QVERIFY(!run.line.open);
        QCOMPARE(run.waits.interval(), 5000);
        if (outcome == Outcome::NoConnection) {
            QCOMPARE(run.view.connectText, QStringLiteral("Failure communicating with station 5"));
            QCOMPARE(run.view.connectColour, SendView::Colour::Failure);
            QVERIFY(run.view.connectVisible);
            QVERIFY(run.station.stream.isEmpty());
        }
    }

    // The address code 2 ticks after the flushes; "A" a pause after the answer, then "P",
    // "G", CR a pause apart; 5 s for the station's answer, 12 s for the clear's, and
    // Sendinfo keeps its text when the second 12 s run out.
    void timing()
    {
        SendRun run;
        run.station.clearAnswers = {""};
        run.programmer.sendData();
        const qint64 call = run.timeOfByte(0x5B);
        QCOMPARE(call, 2 * Ms);
        QCOMPARE(run.timeOfByte('A'), call + 120 * Ms);
        QCOMPARE(run.timeOfByte('P'), call + 220 * Ms);
        QCOMPARE(run.timeOfByte('G'), call + 320 * Ms);
        QCOMPARE(run.timeOfByte(0x0D), call + 420 * Ms);
        QCOMPARE(run.timeOfByte(0x5B, 1) - run.timeOfByte(0x0D, 0), 12000 * Ms + 2 * Ms);
        QCOMPARE(run.clock.now() - run.timeOfByte(0x0D, 1), 12000 * Ms);
        QCOMPARE(run.view.sendText, QStringLiteral("Waiting for pager to clear its memory"));

        SendRun silent;
        silent.station.callAnswers = {""};
        silent.programmer.sendData();
        QCOMPARE(silent.timeOfByte(0x15, 0) - silent.timeOfByte(0x5B, 0), 5001 * Ms);
        QCOMPARE(silent.timeOfByte(0x15, 1) - silent.timeOfByte(0x5B, 1), 5001 * Ms);
        QVERIFY(!silent.view.sendVisible);
    }

    // The final ACK is awaited for 5 s from the moment the end mark has crossed the wire;
    // whatever comes before it is dropped. On a 1200-baud line the longest stream's tail is
    // still queued for seconds when its last write returns; an ACK that comes sooner (a fast
    // station on a line with no line time) ends the wait at once.
    void finalAcknowledgement_data()
    {
        QTest::addColumn<FinalAnswer>("answer");
        QTest::addColumn<bool>("strayAckInStream");
        QTest::addColumn<bool>("slowLine");
        QTest::addColumn<bool>("fromStreamEnd");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("ACK") << FinalAnswer{{50, ACK}} << false << false << false << Outcome::Sent;
        QTest::newRow("two other bytes, then ACK")
            << FinalAnswer{{100, "a"}, {200, "\x15"}, {300, ACK}} << false << false << false << Outcome::Sent;
        QTest::newRow("ACK just inside 5 s") << FinalAnswer{{4990, ACK}} << false << false << false << Outcome::Sent;
        QTest::newRow("others keep coming, ACK after 5 s")
            << FinalAnswer{{1000, "x"}, {3000, "y"}, {4900, "z"}, {5100, ACK}} << false << false << false
            << Outcome::NotAcknowledged;
        QTest::newRow("ACK after 6 s") << FinalAnswer{{6000, ACK}} << false << false << false << Outcome::NotAcknowledged;
        QTest::newRow("no answer") << FinalAnswer{} << false << false << false << Outcome::NotAcknowledged;
        QTest::newRow("ACK during the stream is flushed") << FinalAnswer{} << true << false << false << Outcome::NotAcknowledged;
        QTest::newRow("1200 baud: ACK 4.9 s after the end mark crossed")
            << FinalAnswer{{4900, ACK}} << false << true << false << Outcome::Sent;
        QTest::newRow("1200 baud: no answer") << FinalAnswer{} << false << true << false << Outcome::NotAcknowledged;
        QTest::newRow("1200 baud: ACK while the end mark is still queued")
            << FinalAnswer{{300, "x"}, {400, ACK}} << false << true << true << Outcome::Sent;
    }

    void finalAcknowledgement()
    {
        QFETCH(FinalAnswer, answer);
        QFETCH(bool, strayAckInStream);
        QFETCH(bool, slowLine);
        QFETCH(bool, fromStreamEnd);
        QFETCH(Outcome, outcome);
        SendRun run;
        run.station.finalAnswer = answer;
        run.station.fromStreamEnd = fromStreamEnd;
        if (slowLine) {
            run.config = ExampleConfigs::longest(8);
            run.line.byteNs = 8'333'000; // 1200 baud, to the microsecond the library counts in
        }
        if (strayAckInStream)
            run.clock.at(1000 * Ms, [&run] { run.line.received += ACK; });
        QCOMPARE(run.programmer.sendData(), outcome);
        const bool sent = outcome == Outcome::Sent;
        QCOMPARE(run.view.connectText, sent ? QStringLiteral("Page data sent to pager interface")
                                            : QStringLiteral("Error in sending data"));
        QCOMPARE(run.view.connectColour, sent ? SendView::Colour::Normal : SendView::Colour::Failure);
        QCOMPARE(run.view.sendText, QStringLiteral(" "));
        QVERIFY(!run.line.open);
        const qint64 streamEnd = run.station.streamBytes.last().ns;
        if (slowLine)
            QVERIFY2(run.line.idleAtNs - streamEnd > 5000 * Ms, "the tail must outlast the limit");
        if (!sent)
            QCOMPARE(run.clock.now() - std::max(streamEnd, run.line.idleAtNs), 5000 * Ms);
        if (fromStreamEnd)
            QCOMPARE(run.clock.now() - streamEnd, answer.last().first * Ms);
        else
            QCOMPARE(run.line.timeLeftAtClose, 0); // nothing queued at the close
    }

    void openFailures_data()
    {
        QTest::addColumn<int>("init");
        QTest::addColumn<int>("characteristics");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("closes");
        QTest::newRow("no device") << 7 << 0 << "COMM-DRV Init port error" << false;
        QTest::newRow("port in use") << 9 << 0 << "COMM-DRV Init port error 9" << false;
        QTest::newRow("negative code") << -2 << 0 << "COMM-DRV Init port error -2" << false;
        QTest::newRow("speed refused") << 0 << 4 << "Error programming port 4" << true;
    }

    // The message as written, the library's reason under it; no status line, nothing
    // sent, nothing left open, and the file saved all the same.
    void openFailures()
    {
        QFETCH(int, init);
        QFETCH(int, characteristics);
        QFETCH(QString, message);
        QFETCH(bool, closes);
        SendRun run;
        run.line.setResult(QStringLiteral("InitializePort"), init);
        run.line.setResult(QStringLiteral("SetPortCharacteristics"), characteristics);
        QCOMPARE(run.programmer.sendData(), Outcome::OpenFailed);
        QCOMPARE(run.view.messages, QStringList{message + QStringLiteral("|/dev/ttyUSB0: no such device")});
        QCOMPARE(run.view.log.filter(QStringLiteral("Connectinfo")), QStringList{QStringLiteral("Connectinfo hidden")});
        QVERIFY(run.line.sent.isEmpty());
        QVERIFY(!run.line.open);
        QCOMPARE(!run.line.callsOf(QStringLiteral("UnInitializePort")).isEmpty(), closes);
        QCOMPARE(run.saved.size(), 1);
        QCOMPARE(run.state.PortResult, int32_t(closes ? 0 : 1));
    }

    // A port open already is used as it is and closed at the end.
    void portOpenAlready()
    {
        SendRun run;
        run.line.open = true;
        QCOMPARE(run.programmer.sendData(), Outcome::Sent);
        QVERIFY(run.line.callsOf(QStringLiteral("InitializePort")).isEmpty());
        QVERIFY(!run.line.open);
    }

    void secondSendOpensAgain()
    {
        SendRun run;
        QCOMPARE(run.programmer.sendData(), Outcome::Sent);
        QCOMPARE(run.programmer.sendData(), Outcome::Sent);
        QCOMPARE(run.line.opens, 2);
        QCOMPARE(run.line.callsOf(QStringLiteral("UnInitializePort")).size(), 2);
        QVERIFY(!run.line.open);
    }

    void failedSaveStopsTheSend()
    {
        SendRun run;
        run.programmer.setSaver([](PagerConfig &, const QString &fileName) {
            return ConfigFile::SaveResult{false, fileName + QStringLiteral(": Read-only file system")};
        });
        QCOMPARE(run.programmer.sendData(), Outcome::SaveFailed);
        QCOMPARE(run.view.messages, QStringList{QStringLiteral(
            "Configuration not saved; nothing was sent|pagcfg05.dat: Read-only file system")});
        QVERIFY(run.line.calls.isEmpty());
        QCOMPARE(run.view.log.size(), 1);
    }

    // The stream carries the record as saved: the save's own changes are in it, edits
    // made while the send waits are not.
    void sendsTheSavedCopy()
    {
        SendRun run;
        run.config.ModeFlags = {0, 1, 1, 1};
        run.clock.at(200 * Ms, [&run] {
            run.config.InputCount = QStringLiteral("3");
            run.config.InputPagers[1] = QStringLiteral("999");
            run.config.ModeCode = QStringLiteral("5");
        });
        QCOMPARE(run.programmer.sendData(), Outcome::Sent);
        QCOMPARE(run.station.stream.size(), 23);
        QCOMPARE(run.station.stream.at(0), '3');
        QCOMPARE(run.config.InputPagers[1], QStringLiteral("999"));
    }

    // While a send runs, another is refused and running() says why.
    void noSecondSendWhileRunning()
    {
        SendRun run;
        Outcome second = Outcome::Sent;
        bool runningDuring = false;
        run.clock.at(300 * Ms, [&run, &second, &runningDuring] {
            runningDuring = run.programmer.running();
            second = run.programmer.sendData();
        });
        QCOMPARE(run.programmer.sendData(), Outcome::Sent);
        QCOMPARE(second, Outcome::Refused);
        QVERIFY(runningDuring);
        QVERIFY(!run.programmer.running());
        QCOMPARE(run.line.opens, 1);
    }

    // Exit or the close box during a send: the port closes at that moment, nothing more
    // goes out and the status lines are left alone.
    void exitDuringSend_data()
    {
        QTest::addColumn<int>("atMs");
        QTest::newRow("waiting for the answer") << 10;
        QTest::newRow("in the clear request") << 250;
        QTest::newRow("waiting for the clear") << 450;
        QTest::newRow("in the stream") << 1000;
        QTest::newRow("waiting for the final ACK") << 1400;
    }

    void exitDuringSend()
    {
        QFETCH(int, atMs);
        SendRun run;
        run.station.finalAnswer = {{1000, ACK}};
        int closesAtExit = -1;
        QStringList logAtExit;
        run.clock.at(atMs * Ms, [&] {
            run.programmer.closePort();
            closesAtExit = int(run.line.callsOf(QStringLiteral("UnInitializePort")).size());
            logAtExit = run.view.log;
        });
        QCOMPARE(run.programmer.sendData(), Outcome::Aborted);
        QCOMPARE(closesAtExit, 1);
        QCOMPARE(run.line.callsOf(QStringLiteral("UnInitializePort")).size(), 1);
        QVERIFY(!run.line.open);
        QVERIFY(run.line.sent.last().ns <= atMs * Ms);
        QCOMPARE(run.view.log, logAtExit);
        QCOMPARE(run.clock.now(), atMs * Ms);
    }

    // Exit with no send running closes an open port and leaves a closed one alone.
    void exitWhenIdle()
    {
        SendRun run;
        run.programmer.closePort();
        QCOMPARE(run.line.portCalls(), QStringList{QStringLiteral("IsPortAvailable(0)")});
        run.line.open = true;
        run.programmer.closePort();
        QVERIFY(!run.line.open);
        QCOMPARE(run.programmer.sendData(), Outcome::Sent);
    }

    // With the real save: the file is written even when the port cannot be opened, and a
    // file that cannot be written stops the send with its name and reason.
    void realSave()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        SendRun run;
        run.programmer.setSaver(&ConfigFile::save);
        run.state.ConfigFileName = dir.filePath(QStringLiteral("pagcfg05.dat"));
        run.line.setResult(QStringLiteral("InitializePort"), 7);
        QCOMPARE(run.programmer.sendData(), Outcome::OpenFailed);
        QVERIFY(QFile::exists(run.state.ConfigFileName));

        run.state.ConfigFileName = dir.filePath(QStringLiteral("missing/pagcfg05.dat"));
        QCOMPARE(run.programmer.sendData(), Outcome::SaveFailed);
        QCOMPARE(run.view.messages.size(), 2);
        QVERIFY2(run.view.messages.last().contains(QStringLiteral("pagcfg05.dat")), qPrintable(run.view.messages.last()));
    }
};

QTEST_GUILESS_MAIN(TestStationProgrammer)
#include "tst_stationprogrammer.moc"

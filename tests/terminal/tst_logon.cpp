#include "Logon.h"
#include "RecordingLogonView.h"
#include "ScriptedLine.h"
#include "TerminalState.h"
#include "TerminalWaits.h"
#include "VirtualLogonWaits.h"

#include <QElapsedTimer>
#include <QtTest>
#include <ctime>

Q_DECLARE_METATYPE(QList<QByteArray>)

namespace {

constexpr char Nak = 21;

constexpr qint64 Ms = VirtualClock::Ms;

// When each byte was put, in virtual ms.
QList<qint64> sentAtMs(const ScriptedLine &line)
{
    QList<qint64> times;
    for (const SentByte &b : line.sent)
        times.append(b.ns % Ms == 0 ? b.ns / Ms : -1);
    return times;
}

// A log-on with a station that answers each call of its address code with the next of
// `answers` (an empty one: silence), 20 ms after the call.
struct Rig
{
    explicit Rig(int station, QList<QByteArray> answers = {})
        : waits(line)
        , view(line.clock())
        , logon(state, line, waits, view)
    {
        state.StationNumber = int16_t(station);
        state.AddressCode = int16_t(station + 122 <= 126 ? station + 122 : station + 86);
        line.open = true;
        line.onPut = [this, answers](uint8_t byte) mutable {
            if (byte == uint8_t(state.AddressCode) && !answers.isEmpty()) {
                const QByteArray answer = answers.takeFirst();
                if (!answer.isEmpty())
                    line.arrive(20, answer);
            }
        };
    }

    TerminalState state;
    ScriptedLine line;
    VirtualLogonWaits waits;
    RecordingLogonView view;
    Logon logon;
};

QByteArray bytes(std::initializer_list<char> list)
{
    return QByteArray(list.begin(), qsizetype(list.size()));
}

QByteArray opening(char code)
{
    return QByteArray(1, code) + "END\r";
}

} // namespace

class TestLogon : public QObject
{
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void shortAnswerIsFlushedByTheNextAttempt();
    void failureComesAfterTheSecondNakAndPause();
    void silentStationTakesBothLimits();
    void openingSequenceIsPaced();
    void flushFailuresAreShown();
    void endingStopsAtOnce_data();
    void endingStopsAtOnce();

    void errtimerPauseAndRest();
    void errtimerWaitWokenByBytes();
    void errtimerWaitGivesUpAtItsLimit();
    void errtimerEndReleasesAWait();
};

void TestLogon::answers_data()
{
    QTest::addColumn<int>("station");
    QTest::addColumn<QList<QByteArray>>("answers");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<bool>("connected");

    const char code12 = char(12 + 86);
    const char code5 = char(5 + 86);
    QTest::newRow("12 on 31 32 41 42") << 12 << QList<QByteArray>{"\x31\x32\x41\x42"} << opening(code12) << true;
    QTest::newRow("12 refused on 32 21 41 42")
        << 12 << QList<QByteArray>{"\x32\x31\x41\x42", "\x32\x31\x41\x42"}
        << bytes({code12, Nak, code12, Nak}) << false;
    QTest::newRow("12 refused on 31 20 41 42")
        << 12 << QList<QByteArray>{"\x31\x20\x41\x42", "\x31\x20\x41\x42"}
        << bytes({code12, Nak, code12, Nak}) << false;
    QTest::newRow("5 on 20 35") << 5 << QList<QByteArray>{"\x20\x35OK"} << opening(code5) << true;
    QTest::newRow("5 on 30 35") << 5 << QList<QByteArray>{"\x30\x35OK"} << opening(code5) << true;
    QTest::newRow("5 on 35 and a non-digit") << 5 << QList<QByteArray>{"5xOK"} << opening(code5) << true;
    QTest::newRow("second attempt connects")
        << 5 << QList<QByteArray>{"50OK", "05OK"} << bytes({code5, Nak}) + opening(code5) << true;
    QTest::newRow("station 1 on its code 123") << 1 << QList<QByteArray>{"01OK"} << opening(char(123)) << true;
}

void TestLogon::answers()
{
    QFETCH(int, station);
    QFETCH(QList<QByteArray>, answers);
    QFETCH(QByteArray, sent);
    QFETCH(bool, connected);

    Rig rig(station, answers);
    rig.logon.run();
    QCOMPARE(rig.line.sentBytes(), sent);
    QCOMPARE(rig.view.red, !connected);
    QVERIFY(rig.view.visible);
    QCOMPARE(rig.view.events.first(), QStringLiteral("hide"));
    QCOMPARE(rig.view.events.last(), QStringLiteral("focus"));
    QVERIFY(rig.view.messages.isEmpty());
    // Every call of the station follows a flush of both buffers.
    const QStringList names = rig.line.names();
    for (qsizetype i = 0; i < names.size(); ++i) {
        const auto &call = rig.line.calls[i];
        if (call.name == "PutByte" && call.args[1] == uchar(rig.state.AddressCode)) {
            QCOMPARE(names.value(i - 2), QStringLiteral("FlushReceiveBuffer"));
            QCOMPARE(names.value(i - 1), QStringLiteral("FlushTransmitBuffer"));
        }
    }
}

void TestLogon::shortAnswerIsFlushedByTheNextAttempt()
{
    // Three bytes of garbage: were they still waiting, the next answer would read "XYZ0".
    Rig rig(5, {"XYZ", "05OK"});
    rig.logon.run();
    QCOMPARE(rig.line.sentBytes(), QByteArray(bytes({char(91), Nak}) + opening(char(91))));
    QVERIFY(!rig.view.red);
    QCOMPARE(sentAtMs(rig.line)[1], qint64(8000)); // the NAK once the limit passed
    QVERIFY(rig.line.received.isEmpty());
}

void TestLogon::failureComesAfterTheSecondNakAndPause()
{
    Rig rig(12, {"21AB", "21AB"});
    rig.logon.run();
    QCOMPARE(rig.line.sentBytes(), bytes({char(98), Nak, char(98), Nak}));
    const qint64 secondNak = rig.line.sent[3].ns;
    QCOMPARE(rig.view.shownAtNs - secondNak, Logon::PauseAfterRefusal * Ms);
    QVERIFY(rig.view.red);
    QCOMPARE(rig.view.caption, QStringLiteral("Failure communicating with station 12 "));
}

void TestLogon::silentStationTakesBothLimits()
{
    Rig rig(7);
    rig.logon.run();
    QCOMPARE(rig.line.sentBytes(), bytes({char(93), Nak, char(93), Nak}));
    QCOMPARE(sentAtMs(rig.line), (QList<qint64>{0, 8000, 10500, 18500}));
    QCOMPARE(rig.view.shownAtNs, 21000 * Ms);
    QVERIFY(rig.view.red);
}

void TestLogon::openingSequenceIsPaced()
{
    Rig rig(3, {"03OK"});
    rig.logon.run();
    QCOMPARE(rig.line.sentBytes(), opening(char(125)));
    QCOMPARE(sentAtMs(rig.line), (QList<qint64>{0, 220, 420, 620, 820}));
    // The answer came at 20 ms; the receive buffer is flushed just before "E".
    const QStringList names = rig.line.names();
    const qsizetype e = names.lastIndexOf("PutByte", names.size() - 4);
    QCOMPARE(names.value(e - 1), QStringLiteral("FlushReceiveBuffer"));
    QCOMPARE(rig.line.calls[e - 1].ns, 220 * Ms);
    for (const VirtualLogonWaits::Pause &pause : rig.waits.pauses)
        QCOMPARE(pause.ms, 200);
    // No name for station 3: the caption ends in the blank before it.
    QCOMPARE(rig.view.caption, QStringLiteral("Connection established with station 3 "));
}

void TestLogon::flushFailuresAreShown()
{
    Rig rig(5);
    rig.line.open = false;
    rig.line.setResult("FlushReceiveBuffer", 3);
    rig.line.setResult("FlushTransmitBuffer", -2);
    rig.line.setResult("PutByte", 1);
    rig.logon.run();
    QCOMPARE(rig.view.messages,
             (QStringList{"COMM-DRV Rec buffer error 3", "COMM-DRV Xmit buffer error-2",
                          "COMM-DRV Rec buffer error 3", "COMM-DRV Xmit buffer error-2"}));
    QVERIFY(rig.view.red);
    QCOMPARE(rig.line.callsOf("PutByte").size(), 4); // two calls and two NAKs, all failing quietly
}

void TestLogon::endingStopsAtOnce_data()
{
    QTest::addColumn<int>("puts");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("at the call") << 1 << QByteArray("\x5B") << QStringList{"hide"};
    QTest::newRow("in the opening") << 2 << QByteArray("\x5B" "E") << QStringList{"hide", "show"};
    QTest::newRow("before the line end") << 4 << QByteArray("\x5B" "END") << QStringList{"hide", "show"};
}

// The window ends after the given number of bytes put: nothing more goes out, and the
// terminal is not given the focus.
void TestLogon::endingStopsAtOnce()
{
    QFETCH(int, puts);
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, events);
    Rig rig(5);
    rig.line.onPut = [&](uint8_t byte) {
        if (byte == 91)
            rig.line.arrive(20, "05OK");
        if (--puts == 0)
            rig.waits.end();
    };
    rig.logon.run();
    QCOMPARE(rig.line.sentBytes(), sent);
    QCOMPARE(rig.view.events, events);
}

namespace {
qint64 cpuMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}
} // namespace

void TestLogon::errtimerPauseAndRest()
{
    bool expired = false;
    TerminalWaits waits(expired);
    QElapsedTimer clock;
    clock.start();
    const qint64 cpu = cpuMicroseconds();
    QVERIFY(waits.TimedWait(300));
    const qint64 elapsed = clock.nsecsElapsed();
    QVERIFY2(elapsed >= 300000000, qPrintable(QString::number(elapsed)));
    // Sleeping, not polling: a spinning wait would use the whole 300 ms.
    QVERIFY2(cpuMicroseconds() - cpu < 60000, "the pause used the processor");
    QVERIFY(expired);
    QVERIFY(!waits.errtimer().isActive());
    QCOMPARE(waits.errtimer().interval(), LogonWaits::RestInterval);
    QCOMPARE(waits.errtimer().timerType(), Qt::PreciseTimer);
}

void TestLogon::errtimerWaitWokenByBytes()
{
    bool expired = false;
    TerminalWaits waits(expired);
    int bytes = 0;
    QTimer::singleShot(30, &waits, [&] {
        bytes = 3;
        waits.portActivity();
    });
    QTimer::singleShot(60, &waits, [&] {
        bytes = 4;
        waits.portActivity();
    });
    QElapsedTimer clock;
    clock.start();
    QVERIFY(waits.waitUntil([&] { return bytes >= 4; }));
    QVERIFY(clock.elapsed() < 4000);
    QVERIFY(!waits.errtimer().isActive());
}

void TestLogon::errtimerWaitGivesUpAtItsLimit()
{
    bool expired = false;
    TerminalWaits waits(expired, 150);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!waits.waitUntil([] { return false; }));
    QVERIFY(clock.elapsed() >= 149);
    QVERIFY(expired);
}

void TestLogon::errtimerEndReleasesAWait()
{
    bool expired = false;
    TerminalWaits waits(expired);
    QTimer::singleShot(20, &waits, [&] { waits.end(); });
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!waits.TimedWait(5000));
    QVERIFY(clock.elapsed() < 2000);
    QVERIFY(!waits.TimedWait(5000));
    QVERIFY(!waits.waitUntil([] { return true; }));
}

QTEST_GUILESS_MAIN(TestLogon)
#include "tst_logon.moc"

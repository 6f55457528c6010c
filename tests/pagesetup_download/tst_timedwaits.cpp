// The waits on the real timer and event loop: never early, the window's events keep
// running, bytes already waiting are taken at once, and an abort ends everything.

#include "PagerConfig.h"
#include "ScriptedLine.h"
#include "TimedWaits.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

namespace {

// A line still carrying bytes until a moment of the real clock.
struct BusyLine : ScriptedLine
{
    using ScriptedLine::ScriptedLine;
    QDeadlineTimer busyUntil;
    int32_t CdrvTransmitTimeLeft(int32_t) override { return int32_t(busyUntil.remainingTimeNSecs() / 1000); }
};

struct Fixture
{
    BusyLine line;
    SetupState state;
    TimedWaits waits{state, line};

    Fixture() { line.open = true; }
    void arriveAfter(int ms, const QByteArray &bytes)
    {
        QTimer::singleShot(ms, Qt::PreciseTimer, [this, bytes] { line.received += bytes; });
    }
};

qint64 elapsedMs(const std::function<void()> &action)
{
    QElapsedTimer clock;
    clock.start();
    action();
    return clock.elapsed();
}

} // namespace

class TestTimedWaits : public QObject
{
    Q_OBJECT

private slots:
    void errtimerAtRest()
    {
        Fixture f;
        QVERIFY(!f.waits.errtimer().isActive());
        QVERIFY(!f.waits.errtimer().isSingleShot());
        QCOMPARE(f.waits.errtimer().timerType(), Qt::PreciseTimer);
        QCOMPARE(f.waits.interval(), 5000);
    }

    void pause_data()
    {
        QTest::addColumn<int>("ms");
        QTest::newRow("Delay") << 100;
        QTest::newRow("Delay10") << 10;
    }

    // Never early, errtimer left stopped at 5000 ms, and the thread asleep through the
    // pause but for its end, and after it: nothing left armed keeps waking it.
    void pause()
    {
        QFETCH(int, ms);
        Fixture f;
        int wakeUps = 0;
        QObject counting;
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, &counting, [&] { ++wakeUps; });
        QElapsedTimer clock;
        clock.start();
        ms == 100 ? f.waits.Delay() : f.waits.Delay10();
        const qint64 ns = clock.nsecsElapsed();
        QVERIFY2(ns >= ms * 1000000LL, qPrintable(QString::number(ns)));
        QVERIFY2(ns < (ms + 500) * 1000000LL, qPrintable(QString::number(ns)));
        QCOMPARE(f.state.TimerExpired, int16_t(-1));
        QVERIFY(!f.waits.errtimer().isActive());
        QCOMPARE(f.waits.interval(), 5000);
        QVERIFY2(wakeUps < 500, qPrintable(QString::number(wakeUps)));
        wakeUps = 0;
        QEventLoop idle;
        QTimer::singleShot(50, &idle, &QEventLoop::quit);
        idle.exec();
        QVERIFY2(wakeUps < 20, qPrintable(QString::number(wakeUps)));
    }

    void whilePausing_data()
    {
        QTest::addColumn<QString>("next");
        QTest::addColumn<int>("runs");
        QTest::newRow("pause") << "pause" << 1;
        QTest::newRow("limited wait") << "wait" << 1;
        QTest::newRow("abort") << "abort" << 0;
    }

    // Work handed over between two records runs once, in the next wait: in a pause only
    // after its clock has started. An abort drops it.
    void whilePausing()
    {
        QFETCH(QString, next);
        QFETCH(int, runs);
        Fixture f;
        int ran = 0;
        bool inPause = false;
        f.waits.whilePausing([&] {
            ++ran;
            inPause = f.waits.errtimer().isActive() && f.waits.interval() == 10;
        });
        QCOMPARE(ran, 0);
        if (next == "abort") {
            f.waits.abort();
            f.waits.rearm();
        }
        if (next == "wait") {
            f.waits.setInterval(20);
            f.waits.waitForBytes(1);
            f.waits.setInterval(Waits::RestInterval);
        }
        f.waits.Delay10();
        f.waits.Delay10();
        QCOMPARE(ran, runs);
        QCOMPARE(inPause, next == "pause");
    }

    // The window's other timers and handlers keep running during a pause.
    void pauseKeepsEventsRunning()
    {
        Fixture f;
        int ticks = 0;
        QTimer other;
        other.setInterval(10);
        connect(&other, &QTimer::timeout, &other, [&ticks] { ++ticks; });
        other.start();
        f.waits.Delay();
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    }

    void threeOfFourBytes()
    {
        Fixture f;
        f.waits.setInterval(200);
        f.arriveAfter(20, "abc");
        QByteArray area;
        const qint64 ms = elapsedMs([&] { area = f.waits.waitForBytes(4); });
        QCOMPARE(area, QByteArray("    "));
        QVERIFY(ms >= 200);
        QCOMPARE(f.line.received, QByteArray("abc"));
        QVERIFY(!f.waits.errtimer().isActive());
        QCOMPARE(f.state.TimerExpired, int16_t(-1));
    }

    void fiveWaitingGiveTheOldestAtOnce()
    {
        Fixture f;
        f.line.received = "vwxyz";
        QByteArray area;
        const qint64 ms = elapsedMs([&] { area = f.waits.waitForBytes(1); });
        QCOMPARE(area, QByteArray("v"));
        QVERIFY2(ms < 1000, qPrintable(QString::number(ms)));
        QCOMPARE(f.line.received, QByteArray("wxyz"));
        QVERIFY(!f.waits.errtimer().isActive());
        QCOMPARE(f.state.TimerExpired, int16_t(0));
    }

    void bytesArrivingEndTheWait()
    {
        Fixture f;
        f.arriveAfter(30, "05");
        f.arriveAfter(60, "OK!");
        QByteArray area;
        const qint64 ms = elapsedMs([&] { area = f.waits.waitForBytes(4); });
        QCOMPARE(area, QByteArray("05OK"));
        QVERIFY2(ms >= 60 && ms < 2500, qPrintable(QString::number(ms)));
        QCOMPARE(f.line.received, QByteArray("!"));
    }

    void waitForByte_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("afterMs");
        QTest::addColumn<char>("last");
        QTest::addColumn<QByteArray>("left");
        QTest::newRow("others first, then ACK") << QByteArray("xy\x06z") << 30 << '\x06' << QByteArray("z");
        QTest::newRow("too late") << QByteArray("\x06") << 1000 << ' ' << QByteArray();
        QTest::newRow("only others") << QByteArray("pq") << 30 << 'q' << QByteArray();
    }

    void waitForByte()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, afterMs);
        QFETCH(char, last);
        QFETCH(QByteArray, left);
        Fixture f;
        f.waits.setInterval(200);
        f.arriveAfter(afterMs, bytes);
        QCOMPARE(f.waits.waitForByte('\x06'), last);
        QVERIFY(!f.waits.errtimer().isActive());
        QTRY_COMPARE_WITH_TIMEOUT(f.line.received.isEmpty(), left.isEmpty() && afterMs < 200, 2000);
        if (!left.isEmpty())
            QCOMPARE(f.line.received, left);
    }

    // The wait for the line to carry what was written ends when it has, at once when the
    // wanted byte comes sooner, or at Exit; errtimer plays no part.
    void waitUntilSent_data()
    {
        QTest::addColumn<int>("busyMs");
        QTest::addColumn<int>("ackAfterMs");
        QTest::addColumn<int>("abortAfterMs");
        QTest::addColumn<char>("last");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        QTest::newRow("idle line") << 0 << -1 << -1 << ' ' << 0 << 50;
        QTest::newRow("until the line is clear") << 150 << -1 << -1 << ' ' << 150 << 1000;
        QTest::newRow("an ACK ends it") << 3000 << 30 << -1 << '\x06' << 30 << 1000;
        QTest::newRow("an ACK already in") << 0 << 0 << -1 << '\x06' << 0 << 50;
        QTest::newRow("Exit ends it") << 3000 << -1 << 50 << ' ' << 50 << 1000;
    }

    void waitUntilSent()
    {
        QFETCH(int, busyMs);
        QFETCH(int, ackAfterMs);
        QFETCH(int, abortAfterMs);
        QFETCH(char, last);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        Fixture f;
        f.line.busyUntil.setRemainingTime(busyMs, Qt::PreciseTimer);
        if (ackAfterMs == 0)
            f.line.received += "x\x06";
        else if (ackAfterMs > 0)
            f.arriveAfter(ackAfterMs, "x\x06");
        if (abortAfterMs >= 0)
            QTimer::singleShot(abortAfterMs, Qt::PreciseTimer, [&] { f.waits.abort(); });
        char got = 0;
        const qint64 ms = elapsedMs([&] { got = f.waits.waitUntilSent('\x06'); });
        QCOMPARE(got, last);
        QVERIFY2(ms >= minMs && ms < maxMs, qPrintable(QString::number(ms)));
        QVERIFY(!f.waits.errtimer().isActive());
    }

    // A handler that pauses in the middle of a limited wait gets its full pause. The two
    // share errtimer and TimerExpired, so the inner tick also ends the outer wait, and
    // nothing is left running.
    void nestedWaits()
    {
        Fixture f;
        qint64 innerMs = -1;
        QTimer::singleShot(20, Qt::PreciseTimer, [&] { innerMs = elapsedMs([&] { f.waits.Delay(); }); });
        f.arriveAfter(2000, "Z");
        QByteArray area;
        const qint64 outerMs = elapsedMs([&] { area = f.waits.waitForBytes(1); });
        QVERIFY(innerMs >= 100);
        QVERIFY2(outerMs >= 120 && outerMs < 1500, qPrintable(QString::number(outerMs)));
        QCOMPARE(area, QByteArray(" "));
        QVERIFY(!f.waits.errtimer().isActive());
        QCOMPARE(f.waits.interval(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(f.line.received, QByteArray("Z"), 3000);
    }

    // Exit during a wait: this wait and every later one end at once, until rearmed.
    void abortEndsAllWaits()
    {
        Fixture f;
        QTimer::singleShot(50, Qt::PreciseTimer, [&] { f.waits.abort(); });
        QByteArray area;
        const qint64 ms = elapsedMs([&] { area = f.waits.waitForBytes(4); });
        QVERIFY2(ms < 1000, qPrintable(QString::number(ms)));
        QCOMPARE(area, QByteArray("    "));
        QVERIFY(f.waits.aborted());
        f.waits.Delay();
        QCOMPARE(f.state.TimerExpired, int16_t(0)); // ended without a tick
        QVERIFY(!f.waits.errtimer().isActive());
        QCOMPARE(f.waits.interval(), 5000);
        f.waits.rearm();
        QVERIFY(elapsedMs([&] { f.waits.Delay10(); }) >= 10);
    }
};

QTEST_GUILESS_MAIN(TestTimedWaits)
#include "tst_timedwaits.moc"

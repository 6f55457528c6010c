#include "KeyBytes.h"
#include "Receiver.h"
#include "ScriptedLine.h"
#include "TerminalExchange.h"
#include "TerminalState.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

namespace {

// The quiet timer on a virtual clock: each piece shown is noted with its time.
struct VirtualScreen : TerminalExchange::Output
{
    void appendText(const QString &piece) override { shown.append(QStringLiteral("%1:%2").arg(now).arg(piece)); }
    void restartQuietTimer() override { deadline = now + TerminalExchange::QuietInterval; }
    void stopQuietTimer() override { deadline = -1; }

    qint64 now = 0;
    qint64 deadline = -1;
    QStringList shown;
};

} // namespace

class TestExchange : public QObject
{
    Q_OBJECT
private slots:
    void pieces_data();
    void pieces();
    void keys_data();
    void keys();

    void receiverShowsPieceAfterQuiet();
    void receiverKeepsOrderOverManyTurns();
    void receiverWaitsOutALogon();
};

void TestExchange::pieces_data()
{
    QTest::addColumn<QList<int>>("times");
    QTest::addColumn<QList<QByteArray>>("bytes");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("OK CR at once") << QList<int>{0} << QList<QByteArray>{"OK\r"} << QStringList{"0:OK\r\n"};
    QTest::newRow("OK alone after 100 ms") << QList<int>{0} << QList<QByteArray>{"OK"} << QStringList{"100:OK"};
    QTest::newRow("O, K 30 ms later") << QList<int>{0, 30} << QList<QByteArray>{"O", "K"} << QStringList{"130:OK"};
    QTest::newRow("A, B 50 ms later, together") << QList<int>{0, 50} << QList<QByteArray>{"A", "B"}
                                                << QStringList{"150:AB"};
    QTest::newRow("A, B 150 ms later, apart") << QList<int>{0, 150} << QList<QByteArray>{"A", "B"}
                                              << QStringList{"100:A", "250:B"};
    QTest::newRow("CR LF") << QList<int>{0} << QList<QByteArray>{"\r\n"} << QStringList{"0:\r\n", "100:\n"};
    QTest::newRow("CR, LF 10 ms later") << QList<int>{0, 10} << QList<QByteArray>{"\r", "\n"}
                                        << QStringList{"0:\r\n", "110:\n"};
    QTest::newRow("piece then CR") << QList<int>{0, 40} << QList<QByteArray>{"OK", "\r"} << QStringList{"40:OK\r\n"};
    QTest::newRow("two lines in one read") << QList<int>{0} << QList<QByteArray>{"one\rtwo\r"}
                                           << QStringList{"0:one\r\ntwo\r\n"};
    QTest::newRow("line and a start") << QList<int>{0} << QList<QByteArray>{"one\rtw"}
                                      << QStringList{"0:one\r\n", "100:tw"};
    const QByteArray endless(TerminalExchange::MaxPieceLength + 5, 'x');
    QTest::newRow("endless piece shown in parts")
        << QList<int>{0, 50} << QList<QByteArray>{endless.left(10), endless.mid(10)}
        << QStringList{"50:" + QString(TerminalExchange::MaxPieceLength, u'x'), "150:xxxxx"};
    QTest::newRow("control and high bytes are characters")
        << QList<int>{0} << QList<QByteArray>{QByteArray("\x07\x00\xe9", 3)}
        << QStringList{QStringLiteral("100:") + QChar(7) + QChar(0) + QChar(0xe9)};
}

void TestExchange::pieces()
{
    QFETCH(QList<int>, times);
    QFETCH(QList<QByteArray>, bytes);
    QFETCH(QStringList, shown);

    TerminalState state;
    VirtualScreen screen;
    TerminalExchange exchange(state, screen);
    // The quiet timer runs only while part of a line waits: an idle terminal never wakes.
    int idleWakes = 0;
    auto tickUntil = [&](qint64 t) {
        while (screen.deadline >= 0 && screen.deadline < t) {
            screen.now = screen.deadline;
            screen.deadline = -1;
            const qsizetype before = screen.shown.size();
            exchange.txttimer_Timer();
            exchange.showIfQuiet();
            if (screen.shown.size() == before)
                ++idleWakes;
        }
        screen.now = t;
    };
    for (qsizetype i = 0; i < times.size(); ++i) {
        tickUntil(times[i]);
        exchange.take(bytes[i]);
    }
    tickUntil(1000000);
    QCOMPARE(screen.shown, shown);
    QVERIFY(state.PendingText.isEmpty());
    QVERIFY(!state.TextTimerExpired);
    QCOMPARE(idleWakes, 0);
}

void TestExchange::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ctrl letter without text") << int(Qt::Key_A) << int(Qt::ControlModifier) << "" << true
                                              << QByteArray("\x01");
    QTest::newRow("ctrl bracket") << int(Qt::Key_BracketLeft) << int(Qt::ControlModifier) << "\x1b" << true
                                  << QByteArray("\x1b");
    QTest::newRow("latin-1") << int(Qt::Key_Eacute) << 0 << QString::fromLatin1("\xe9") << true << QByteArray("\xe9");
    QTest::newRow("no single-byte form") << int(Qt::Key_unknown) << 0 << QString(QChar(0x20AC)) << true << QByteArray();
    QTest::newRow("tab moves focus") << int(Qt::Key_Tab) << 0 << "\t" << false << QByteArray();
    QTest::newRow("delete") << int(Qt::Key_Delete) << 0 << "\x7f" << false << QByteArray();
    QTest::newRow("alt letter") << int(Qt::Key_X) << int(Qt::AltModifier) << "x" << false << QByteArray();
    QTest::newRow("ctrl digit") << int(Qt::Key_1) << int(Qt::ControlModifier) << "1" << false << QByteArray();
}

void TestExchange::keys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(bool, taken);
    QFETCH(QByteArray, bytes);
    const std::optional<QByteArray> result = keyBytes(key, Qt::KeyboardModifiers(modifiers), text);
    QCOMPARE(result.has_value(), taken);
    if (taken)
        QCOMPARE(*result, bytes);
}

void TestExchange::receiverShowsPieceAfterQuiet()
{
    TerminalState state;
    ScriptedLine line;
    Receiver receiver(state, line);
    QSignalSpy shown(&receiver, &Receiver::textArrived);
    QElapsedTimer clock;
    line.receive("OK");
    clock.start();
    receiver.portActivity();
    QVERIFY(shown.isEmpty());
    QCOMPARE(state.PendingText, QStringLiteral("OK"));
    QVERIFY(shown.wait(2000));
    QVERIFY2(clock.elapsed() >= 99, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(shown[0][0].toString(), QStringLiteral("OK"));
    QVERIFY(!receiver.txttimer().isActive());
    QCOMPARE(receiver.txttimer().timerType(), Qt::PreciseTimer);
}

void TestExchange::receiverKeepsOrderOverManyTurns()
{
    TerminalState state;
    ScriptedLine line;
    Receiver receiver(state, line);
    QString all;
    connect(&receiver, &Receiver::textArrived, this, [&](const QString &piece) { all += piece; });
    QByteArray bytes;
    for (int i = 0; i < 3 * Receiver::MaxPerTurn / 10; ++i)
        bytes += QByteArray::number(100000000 + i) + '\r';
    const QString expected = QString::fromLatin1(bytes).replace("\r", "\r\n");
    line.receive(bytes);
    receiver.portActivity();
    QVERIFY(!all.isEmpty());
    QVERIFY(all.size() < expected.size()); // the window gets a turn in between
    QTRY_VERIFY(line.received.isEmpty());
    QCOMPARE(all, expected);
    for (const ScriptedLine::Call &call : line.callsOf("GetPacket"))
        QVERIFY(call.args[1] <= Receiver::ChunkSize);
}

void TestExchange::receiverWaitsOutALogon()
{
    TerminalState state;
    ScriptedLine line;
    Receiver receiver(state, line);
    QSignalSpy shown(&receiver, &Receiver::textArrived);
    line.receive("AB");
    receiver.portActivity();
    receiver.setSuspended(true);
    QTest::qWait(250); // the piece falls quiet while the log-on runs
    line.receive("CD\r");
    receiver.portActivity();
    QVERIFY(shown.isEmpty());
    QCOMPARE(line.received, QByteArray("CD\r"));
    receiver.setSuspended(false);
    // Bytes that waited come first and continue the piece.
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0][0].toString(), QStringLiteral("ABCD\r\n"));

}

QTEST_MAIN(TestExchange)
#include "tst_exchange.moc"

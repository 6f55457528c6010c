#include "KeyBytes.h"
#include "Receiver.h"
#include "ScriptedLine.h"
#include "TermText.h"
#include "TerminalExchange.h"
#include "TerminalState.h"

#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
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
    void drawing_data();
    void drawing();
    void appendGoesPastTheSelection();
    void historyIsBounded();
    void historyIsBoundedInCharacters_data();
    void historyIsBoundedInCharacters();
    void longLineIsOneLine();
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
    auto tickUntil = [&](qint64 t) {
        while (screen.deadline >= 0 && screen.deadline < t) {
            screen.now = screen.deadline;
            screen.deadline = -1;
            exchange.txttimer_Timer();
            exchange.showIfQuiet();
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
}

void TestExchange::drawing_data()
{
    QTest::addColumn<QString>("piece");
    QTest::addColumn<QString>("drawn");
    const QString lf(QChar(0x240A));
    QTest::newRow("line break") << "OK\r\n" << "OK\n";
    QTest::newRow("LF after a line break") << "\n" << lf;
    QTest::newRow("LF in a piece") << "A\nB\r\n\nC" << "A" + lf + "B\n" + lf + "C";
    QTest::newRow("tab kept") << "a\tb" << "a\tb";
    QTest::newRow("bell, NUL, DEL") << QString(QChar(7)) + QChar(0) + QChar(127)
                                    << QString(QChar(0x2407)) + QChar(0x2400) + QChar(0x2421);
    QTest::newRow("printable and high") << QString::fromLatin1("a~\xe9") << QString::fromLatin1("a~\xe9");
}

void TestExchange::drawing()
{
    QFETCH(QString, piece);
    QFETCH(QString, drawn);
    QCOMPARE(TermText::drawn(piece), drawn);
}

void TestExchange::appendGoesPastTheSelection()
{
    QPlainTextEdit edit;
    edit.resize(200, 100);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    TermText text(edit);
    for (int i = 0; i < 50; ++i)
        text.append(QStringLiteral("line %1\r\n").arg(i));
    QTextCursor selection(edit.document());
    selection.setPosition(3);
    selection.setPosition(9, QTextCursor::KeepAnchor);
    edit.setTextCursor(selection);
    edit.verticalScrollBar()->setValue(0);

    text.append(QStringLiteral("new"));
    QVERIFY(edit.toPlainText().startsWith("line 0\nline 1\n"));
    QVERIFY(edit.toPlainText().endsWith("line 49\nnew"));
    QVERIFY(!edit.textCursor().hasSelection());
    QVERIFY(edit.textCursor().atEnd());
    QCOMPARE(edit.verticalScrollBar()->value(), edit.verticalScrollBar()->maximum());
    QVERIFY(edit.viewport()->rect().contains(edit.cursorRect()));
}

void TestExchange::historyIsBounded()
{
    QPlainTextEdit edit;
    TermText text(edit);
    QString lines;
    for (int i = 0; i < TermText::MaxLines + 5000; ++i)
        lines += QStringLiteral("line %1\r\n").arg(i);
    text.append(lines);
    QVERIFY(edit.document()->blockCount() <= TermText::MaxLines);
    QVERIFY(edit.document()->blockCount() >= 10000);
    QCOMPARE(edit.document()->lastBlock().previous().text(), QStringLiteral("line %1").arg(TermText::MaxLines + 4999));
    QVERIFY(!edit.document()->isUndoAvailable());
}

void TestExchange::historyIsBoundedInCharacters_data()
{
    QTest::addColumn<QString>("lineEnd");
    QTest::newRow("lines") << "\r\n";
    QTest::newRow("one line that never ends") << "";
}

void TestExchange::historyIsBoundedInCharacters()
{
    QFETCH(QString, lineEnd);
    QPlainTextEdit edit;
    TermText text(edit);
    const QString line = QString(990, u'x') + lineEnd;
    const int lines = TermText::MaxCharacters / 1000 + 100;
    for (int i = 0; i < lines; ++i)
        text.append(QString::number(i) + line);
    QVERIFY(edit.document()->characterCount() <= TermText::MaxCharacters);
    QVERIFY(edit.document()->characterCount() >= TermText::MaxCharacters * 8 / 10);
    if (!lineEnd.isEmpty())
        QVERIFY(edit.document()->firstBlock().text().endsWith(u'x')); // whole lines went
    QTextCursor all(edit.document());
    all.select(QTextCursor::Document);
    QVERIFY(TermText::received(all).endsWith(QString::number(lines - 1) + line.chopped(lineEnd.size() / 2)));
    QVERIFY(edit.textCursor().atEnd());

    // What a screen reader reads stays in step as the oldest lines go: a break per line
    // received, no LF symbol, and its offsets map to the document and back.
    const QString readable = text.readableText(0, text.readableLength());
    QCOMPARE(readable.size(), text.readableLength());
    QVERIFY(!readable.contains(QChar(0x240A)));
    int breaks = 0; // the first block may continue a line whose start went
    for (QTextBlock block = edit.document()->begin().next(); block.isValid(); block = block.next())
        breaks += TermText::continues(block) ? 0 : 1;
    QCOMPARE(readable.count(u'\n'), breaks);
    const int last = text.readableLength() - 1;
    QCOMPARE(text.toReadable(text.toDocument(last)), last);
}

// A line of any length is one line: it wraps as one block would, and copies whole.
void TestExchange::longLineIsOneLine()
{
    QPlainTextEdit edit;
    QPlainTextEdit reference;
    for (QPlainTextEdit *area : {&edit, &reference}) {
        area->resize(409, 369);
        area->show();
        QVERIFY(QTest::qWaitForWindowExposed(area));
    }
    TermText text(edit);
    QString line;
    for (int i = 0; line.size() < 30000; ++i)
        line += QStringLiteral("word%1 ").arg(i) + QString(i % 97, u'y');
    for (qsizetype at = 0; at < line.size(); at += 700)
        text.append(line.mid(at, 700));
    text.append(QStringLiteral("\r\nnext"));
    reference.setPlainText(line + QStringLiteral("\nnext"));

    QTextCursor all(edit.document());
    all.select(QTextCursor::Document);
    QCOMPARE(TermText::received(all), line + QStringLiteral("\rnext"));
    int rows = 0;
    int lineStarts = 0;
    for (QTextBlock block = edit.document()->firstBlock(); block.isValid(); block = block.next()) {
        QVERIFY(block.length() <= 3 * TermText::RowBlockLength); // each is laid out quickly
        rows += int(edit.document()->documentLayout()->blockBoundingRect(block).height());
        lineStarts += TermText::continues(block) ? 0 : 1;
    }
    QCOMPARE(lineStarts, 2);
    int referenceRows = 0;
    for (QTextBlock block = reference.document()->firstBlock(); block.isValid(); block = block.next())
        referenceRows += int(reference.document()->documentLayout()->blockBoundingRect(block).height());
    QCOMPARE(rows, referenceRows);
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
    QTRY_VERIFY(line.rx.isEmpty());
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
    QCOMPARE(line.rx, QByteArray("CD\r"));
    receiver.setSuspended(false);
    // Bytes that waited come first and continue the piece.
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0][0].toString(), QStringLiteral("ABCD\r\n"));

}

QTEST_MAIN(TestExchange)
#include "tst_exchange.moc"

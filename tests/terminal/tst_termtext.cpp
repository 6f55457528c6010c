// How received text is drawn in the terminal's text area: control pictures, the bounded
// history, appending past a selection, and long lines kept as one line.
#include "TermText.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

class TestTermText : public QObject
{
    Q_OBJECT
private slots:
    void drawing_data();
    void drawing();
    void appendGoesPastTheSelection();
    void historyIsBounded();
    void historyIsBoundedInCharacters_data();
    void historyIsBoundedInCharacters();
    void longLineIsOneLine();
};

void TestTermText::drawing_data()
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

void TestTermText::drawing()
{
    QFETCH(QString, piece);
    QFETCH(QString, drawn);
    QCOMPARE(TermText::drawn(piece), drawn);
}

void TestTermText::appendGoesPastTheSelection()
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

void TestTermText::historyIsBounded()
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

void TestTermText::historyIsBoundedInCharacters_data()
{
    QTest::addColumn<QString>("lineEnd");
    QTest::newRow("lines") << "\r\n";
    QTest::newRow("one line that never ends") << "";
}

void TestTermText::historyIsBoundedInCharacters()
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
void TestTermText::longLineIsOneLine()
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

QTEST_MAIN(TestTermText)
#include "tst_termtext.moc"

#include "TermText.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

namespace {
constexpr char16_t ControlPictures = 0x2400; // U+2400..U+241F, U+2421 for DEL
constexpr char16_t DeletePicture = 0x2421;
constexpr int LineStart = 0;
constexpr int Continuation = 1;

QChar receivedChar(QChar shown)
{
    const char16_t c = shown.unicode();
    if (c >= ControlPictures && c < ControlPictures + 32)
        return QChar(char16_t(c - ControlPictures));
    return c == DeletePicture ? QChar(char16_t(127)) : shown;
}
} // namespace

TermText::TermText(QPlainTextEdit &edit)
    : m_edit(edit)
{
    m_edit.setUndoRedoEnabled(false);
    m_edit.setMaximumBlockCount(MaxLines);
}

QString TermText::drawn(const QString &piece)
{
    QString out;
    out.reserve(piece.size());
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const char16_t c = piece[i].unicode();
        if (c == u'\r' && i + 1 < piece.size() && piece[i + 1] == u'\n') {
            out += QLatin1Char('\n');
            ++i;
        } else if (c < 32 && c != u'\t') {
            out += QChar(char16_t(ControlPictures + c));
        } else if (c == 127) {
            out += QChar(DeletePicture);
        } else {
            out += QChar(c);
        }
    }
    return out;
}

bool TermText::continues(const QTextBlock &block)
{
    return block.userState() == Continuation;
}

QString TermText::received(const QTextCursor &selection)
{
    const int from = selection.selectionStart();
    const int to = selection.selectionEnd();
    QString out;
    for (QTextBlock block = selection.document()->findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        if (block.position() > from && !continues(block))
            out += QLatin1Char('\r');
        const int start = std::max(from - block.position(), 0);
        const int stop = std::min(to - block.position(), block.length() - 1);
        const QString text = block.text();
        for (int i = start; i < stop; ++i)
            out += receivedChar(text[i]);
    }
    return out;
}

void TermText::append(const QString &piece)
{
    const QString text = drawn(piece);
    QTextCursor end(m_edit.document());
    end.movePosition(QTextCursor::End);
    end.beginEditBlock();
    for (qsizetype from = 0;;) {
        const qsizetype lineEnd = text.indexOf(u'\n', from);
        appendToLine(end, text.mid(from, (lineEnd < 0 ? text.size() : lineEnd) - from));
        if (lineEnd < 0)
            break;
        end.insertBlock();
        end.block().setUserState(LineStart);
        from = lineEnd + 1;
    }
    end.endEditBlock();
    dropOldest();
    m_edit.setTextCursor(end);
    m_edit.ensureCursorVisible();
    QScrollBar *bar = m_edit.verticalScrollBar();
    bar->setValue(bar->maximum());
}

void TermText::appendToLine(QTextCursor &end, const QString &text)
{
    for (qsizetype from = 0; from < text.size(); from += RowBlockLength) {
        end.insertText(text.mid(from, RowBlockLength));
        if (end.block().length() - 1 > RowBlockLength) {
            // The row break needs the block laid out, which waits for the edit to end.
            end.endEditBlock();
            handOnLastRow(end);
            end.beginEditBlock();
        }
    }
}

void TermText::handOnLastRow(QTextCursor &end)
{
    const QTextBlock block = end.block();
    m_edit.document()->documentLayout()->blockBoundingRect(block);
    const QTextLayout *rows = block.layout();
    // An area without a width yet does not wrap: the next block starts after this one.
    const int at = rows->lineCount() >= 2 ? rows->lineAt(rows->lineCount() - 1).textStart() : block.length() - 1;
    const int state = block.userState();
    QTextCursor split(block);
    split.setPosition(block.position() + at);
    split.insertBlock();
    split.block().previous().setUserState(state);
    split.block().setUserState(Continuation);
}

void TermText::dropOldest()
{
    QTextDocument *document = m_edit.document();
    if (document->characterCount() <= MaxCharacters)
        return;
    // A tenth more than needed, so this happens once in a while rather than with every piece.
    const int excess = document->characterCount() - MaxCharacters + MaxCharacters / 10;
    const QTextBlock last = document->findBlock(excess);
    QTextCursor top(document);
    // Whole lines where there are several; the oldest characters of one that never ended.
    top.setPosition(last.next().isValid() ? last.next().position() : excess);
    top.setPosition(0, QTextCursor::KeepAnchor);
    top.removeSelectedText();
}

void TermText::clear()
{
    m_edit.clear();
}

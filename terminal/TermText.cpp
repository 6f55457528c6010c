#include "TermText.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {
constexpr char16_t ControlPictures = 0x2400; // U+2400..U+241F, U+2421 for DEL
}

TermText::TermText(QPlainTextEdit &edit)
    : m_edit(edit)
{
    m_edit.setUndoRedoEnabled(false);
    m_edit.setMaximumBlockCount(MaxLines);
}

QString TermText::drawn(const QString &piece, bool atLineStart)
{
    QString out;
    out.reserve(piece.size());
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const char16_t c = piece[i].unicode();
        const bool lineStart = out.isEmpty() ? atLineStart : out.back() == u'\n';
        if (c == u'\r' && i + 1 < piece.size() && piece[i + 1] == u'\n') {
            out += QLatin1Char('\n');
            ++i;
        } else if (c == u'\n' && lineStart) {
            continue;
        } else if (c < 32 && c != u'\t') {
            out += QChar(char16_t(ControlPictures + c));
        } else if (c == 127) {
            out += QChar(char16_t(0x2421));
        } else {
            out += QChar(c);
        }
    }
    return out;
}

void TermText::append(const QString &piece)
{
    QTextDocument *document = m_edit.document();
    const QString text = drawn(piece, document->lastBlock().length() == 1);
    QTextCursor end(document);
    end.movePosition(QTextCursor::End);
    end.beginEditBlock();
    int lineLength = document->lastBlock().length() - 1;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') {
            lineLength = 0;
        } else if (++lineLength > MaxLineLength) {
            end.insertText(text.mid(from, i - from));
            end.insertBlock();
            from = i;
            lineLength = 1;
        }
    }
    end.insertText(text.mid(from));
    end.endEditBlock();
    dropOldest();
    m_edit.setTextCursor(end);
    m_edit.ensureCursorVisible();
    QScrollBar *bar = m_edit.verticalScrollBar();
    bar->setValue(bar->maximum());
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
    top.setPosition(last.next().isValid() ? last.next().position() : last.position());
    top.setPosition(0, QTextCursor::KeepAnchor);
    top.removeSelectedText();
}

void TermText::clear()
{
    m_edit.clear();
}

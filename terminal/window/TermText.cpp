#include "TermText.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace {
constexpr char16_t ControlPictures = 0x2400; // U+2400..U+241F, U+2421 for DEL
constexpr char16_t DeletePicture = 0x2421;
constexpr char16_t LineFeedPicture = ControlPictures + 10;
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
    const int readableBefore = readableLength();
    // The last line may be split where it wraps: what is hidden is found again from there.
    const QTextBlock lastBefore = end.block();
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
    hideFrom(lastBefore);
    if (m_listener && readableLength() > readableBefore)
        m_listener(readableBefore, 0, readableText(readableBefore, readableLength()));
    dropOldest();
    m_edit.setTextCursor(end);
    m_edit.ensureCursorVisible();
    QScrollBar *bar = m_edit.verticalScrollBar();
    bar->setValue(bar->maximum());
}

// Finds again, from `block` on, what the readable text leaves out.
void TermText::hideFrom(const QTextBlock &block)
{
    const int start = block.position();
    m_hidden.erase(std::lower_bound(m_hidden.begin(), m_hidden.end(), start - 1), m_hidden.end());
    const QTextDocument *document = m_edit.document();
    for (QTextBlock b = block; b.isValid(); b = b.next()) {
        if (continues(b) && b.position() > 0)
            m_hidden.push_back(b.position() - 1);
        else if (document->characterAt(b.position()) == QChar(LineFeedPicture))
            m_hidden.push_back(b.position());
    }
}

bool TermText::hidden(int position) const
{
    return std::binary_search(m_hidden.begin(), m_hidden.end(), position);
}

int TermText::readableLength() const
{
    return m_edit.document()->characterCount() - 1 - int(m_hidden.size());
}

int TermText::toReadable(int position) const
{
    return position - int(std::lower_bound(m_hidden.begin(), m_hidden.end(), position) - m_hidden.begin());
}

// The first document position whose readable offset is `offset` and that is not hidden:
// the i-th hidden position stands after h[i] - i readable characters.
int TermText::toDocument(int offset) const
{
    size_t low = 0;
    size_t high = m_hidden.size();
    while (low < high) {
        const size_t middle = (low + high) / 2;
        if (m_hidden[middle] - int(middle) <= offset)
            low = middle + 1;
        else
            high = middle;
    }
    return offset + int(low);
}

QString TermText::readableText(int from, int to) const
{
    from = std::clamp(from, 0, readableLength());
    to = std::clamp(to, from, readableLength());
    const int start = toDocument(from);
    const int stop = to == readableLength() ? m_edit.document()->characterCount() - 1 : toDocument(to);
    QTextCursor range(m_edit.document());
    range.setPosition(start);
    range.setPosition(stop, QTextCursor::KeepAnchor);
    const QString shown = range.selectedText();
    QString out;
    out.reserve(to - from);
    auto next = std::lower_bound(m_hidden.begin(), m_hidden.end(), start);
    for (int i = 0; i < shown.size(); ++i) {
        if (next != m_hidden.end() && *next == start + i) {
            ++next;
            continue;
        }
        const QChar c = shown[i];
        if (c == QChar::ParagraphSeparator)
            out += QLatin1Char('\n');
        else if (c == QChar(LineFeedPicture))
            out += QLatin1Char(' ');
        else
            out += c;
    }
    return out;
}

std::pair<int, int> TermText::readableLine(int offset) const
{
    QTextBlock block = m_edit.document()->findBlock(toDocument(std::clamp(offset, 0, readableLength())));
    while (continues(block) && block.previous().isValid())
        block = block.previous();
    QTextBlock last = block;
    while (last.next().isValid() && continues(last.next()))
        last = last.next();
    return {toReadable(block.position()), toReadable(last.position() + last.length() - 1)};
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
    int end = 0;
    if (document->blockCount() > MaxLines)
        end = document->findBlockByNumber(document->blockCount() - MaxLines + MaxLines / 10).position();
    if (document->characterCount() > MaxCharacters) {
        // A tenth more than needed, so this happens once in a while rather than with every piece.
        const int excess = document->characterCount() - MaxCharacters + MaxCharacters / 10;
        const QTextBlock last = document->findBlock(excess);
        // Whole lines where there are several; the oldest characters of one that never ended.
        end = std::max(end, last.next().isValid() ? last.next().position() : excess);
    }
    if (end > 0)
        removeTop(end);
}

// Removes the document's first `end` positions.
void TermText::removeTop(int end)
{
    const int readableBefore = readableLength();
    QTextCursor top(m_edit.document());
    top.setPosition(end);
    top.setPosition(0, QTextCursor::KeepAnchor);
    top.removeSelectedText();
    const auto kept = std::lower_bound(m_hidden.begin(), m_hidden.end(), end);
    m_hidden.erase(m_hidden.begin(), kept);
    for (int &position : m_hidden)
        position -= end;
    if ((m_hidden.empty() || m_hidden.front() != 0) && m_edit.document()->characterAt(0) == QChar(LineFeedPicture))
        m_hidden.insert(m_hidden.begin(), 0);
    if (m_listener)
        m_listener(0, readableBefore - readableLength(), QString());
}

void TermText::clear()
{
    const int readableBefore = readableLength();
    m_edit.clear();
    m_hidden.clear();
    if (m_listener && readableBefore > 0)
        m_listener(0, readableBefore, QString());
}

#pragma once

#include <QString>

#include <functional>
#include <vector>

class QPlainTextEdit;
class QTextBlock;
class QTextCursor;

// The terminal text area's rules: received pieces go after everything already there (never
// into a selection the user made), the end stays in view, and the history is bounded so a
// day-long session does not grow without limit.
//
// A line without CR may run on for megabytes, and the text area lays out a whole block
// anew with every change: past a few thousand characters that costs more than the line
// brings in. So a long line is held as several blocks, each ending where the area wraps
// the line anyway; the later ones are marked as continuations, so the line looks, selects
// and copies as one.
class TermText
{
public:
    // The oldest lines go first once either bound is passed: 20,000 blocks, or 2 million
    // characters (at least 10,000 lines of 200 characters).
    static constexpr int MaxLines = 20000;
    static constexpr int MaxCharacters = 2000000;
    // A block longer than this hands its last row on to a continuation block.
    static constexpr int RowBlockLength = 1000;

    explicit TermText(QPlainTextEdit &edit);

    // Appends a received piece; "\r\n" is a line break.
    void append(const QString &piece);
    void clear();

    // How a piece is drawn: a line break for CR LF, TAB as itself, every other control
    // byte (LF included) as its visible symbol, so that none adds a line of its own.
    static QString drawn(const QString &piece);

    // The characters as they were received, for what the user copies: a line break gives
    // back its CR, a symbol its control byte, a continuation nothing.
    static QString received(const QTextCursor &selection);

    static bool continues(const QTextBlock &block);

    // What a screen reader reads (TerminalAccessible): the text as shown, except that a line
    // break stands only for a received CR (the blocks that continue a long line join it) and
    // the LF symbol that opens a line after a CR is left out (the break says it); an LF
    // symbol elsewhere reads as a blank. Offsets count the characters of that text.
    int readableLength() const;
    QString readableText(int from, int to) const;
    int toReadable(int position) const;
    int toDocument(int offset) const;
    // The readable line holding `offset`: its start, and its end before the break.
    std::pair<int, int> readableLine(int offset) const;

    // Told every change of the readable text, after it: `removed` characters went at `at`,
    // then `inserted` came there.
    using Listener = std::function<void(int at, int removed, const QString &inserted)>;
    void setListener(Listener listener) { m_listener = std::move(listener); }

private:
    void appendToLine(QTextCursor &end, const QString &text);
    void handOnLastRow(QTextCursor &end);
    void dropOldest();
    void removeTop(int end);
    void hideFrom(const QTextBlock &block);
    bool hidden(int position) const;

    QPlainTextEdit &m_edit;
    // Document positions the readable text leaves out, in order: the separators before
    // continuation blocks and the LF symbols that open a line.
    std::vector<int> m_hidden;
    Listener m_listener;
};

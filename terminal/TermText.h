#pragma once

#include <QString>

class QPlainTextEdit;

// The terminal text area's rules: received pieces go after everything already there (never
// into a selection the user made), the end stays in view, and the history is bounded so a
// day-long session does not grow without limit.
class TermText
{
public:
    // The oldest lines go first once either bound is passed: 20,000 lines, or 2 million
    // characters (at least 10,000 lines of 200 characters).
    static constexpr int MaxLines = 20000;
    static constexpr int MaxCharacters = 2000000;
    // A line that never gets its CR continues on a new line after this many characters;
    // the area wraps long lines anyway, and one endless line would be laid out anew with
    // every piece.
    static constexpr int MaxLineLength = 1000;

    explicit TermText(QPlainTextEdit &edit);

    // Appends a received piece; "\r\n" is a line break.
    void append(const QString &piece);
    void clear();

    // How a piece is drawn: a line break for CR LF, TAB as itself, every other control
    // byte as its visible symbol, so that none adds a line of its own. An LF at the start of
    // a line (the usual CR LF) is drawn as nothing; elsewhere it shows as its symbol too.
    static QString drawn(const QString &piece, bool atLineStart);

private:
    void dropOldest();

    QPlainTextEdit &m_edit;
};

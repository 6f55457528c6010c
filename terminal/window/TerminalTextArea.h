#pragma once

#include "TermText.h"

#include <QPlainTextEdit>

// The terminal text area. What the user copies from it is what the station sent: symbols
// go back to their control bytes and a line break to its CR (see TermText::received).
//
// Screen readers see a terminal (TerminalAccessible in the .cpp) whose text is TermText's
// readable text, and hear what arrives as a terminal's output: the area reports each
// change of that text itself, in its offsets, and the toolkit's own text-change events
// for the area (in document positions, with the symbols and joins of the display) are held
// back.
class TerminalTextArea : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit TerminalTextArea(QWidget *parent = nullptr);

    TermText &termText() { return m_text; }
    const TermText &termText() const { return m_text; }

protected:
    QMimeData *createMimeDataFromSelection() const override;

private:
    void readableTextChanged(int at, int removed, const QString &inserted);

    TermText m_text;
};

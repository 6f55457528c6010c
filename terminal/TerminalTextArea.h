#pragma once

#include <QPlainTextEdit>

// The terminal text area. What the user copies from it is what the station sent: symbols
// go back to their control bytes and a line break to its CR (see TermText::received).
class TerminalTextArea : public QPlainTextEdit
{
    Q_OBJECT
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    QMimeData *createMimeDataFromSelection() const override;
};

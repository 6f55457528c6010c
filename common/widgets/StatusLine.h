#pragma once

#include <QColor>
#include <QLabel>

// A status line whose texts a screen reader speaks as they appear, once each, without the
// user moving to it. Screen readers see a notification: Orca speaks a notification when it
// becomes showing (it ignores name changes of plain labels), so a new text on a line already
// shown is announced as the line showing again.
class StatusLine : public QLabel
{
    Q_OBJECT
public:
    explicit StatusLine(QWidget *parent = nullptr);

    // A screen reader speaks the current text now, if the line is shown and not blank. A
    // line that is hidden speaks its text when it is shown.
    void announce();

    // An outcome's text: red for a failure, the window's button-text colour otherwise.
    void setOutcome(const QString &text, bool failure);
    static QColor failureInk() { return {255, 0, 0}; }
};

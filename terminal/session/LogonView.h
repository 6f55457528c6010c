#pragma once

#include <QString>

// What the log-on shows in the window.
class LogonView
{
public:
    virtual ~LogonView() = default;
    virtual void hideConnectinfo() = 0;
    // The outcome line: normal colour on success, red on failure, shown if hidden.
    virtual void showConnectinfo(const QString &caption, bool failure) = 0;
    virtual void message(const QString &text, const QString &reason) = 0;
    virtual void focusTermTxt() = 0;
};

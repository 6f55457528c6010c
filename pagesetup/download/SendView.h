#pragma once

#include <QString>

// What a download shows the user: the two status lines under the buttons and modal
// message boxes. The setup window implements it; tests record it.
class SendView
{
public:
    // Normal is the system's button-text colour; Failure is red, RGB 255, 0, 0.
    enum class Colour { Normal, Failure };

    virtual ~SendView() = default;

    // Connectinfo: the connection result and the final outcome.
    virtual void setConnectinfo(const QString &text, Colour colour) = 0;
    virtual void setConnectinfoVisible(bool visible) = 0;

    // Sendinfo: the memory-clear wait, then the progress of the stream. Its colour is
    // never changed.
    virtual void setSendinfo(const QString &text) = 0;
    virtual void setSendinfoVisible(bool visible) = 0;

    // A modal box with the text and a single OK button; returns when it is dismissed.
    // `reason`, when not empty, is a secondary line under the text (what the serial
    // library or the file system said).
    virtual void showMessage(const QString &text, const QString &reason) = 0;
};

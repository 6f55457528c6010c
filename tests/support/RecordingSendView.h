#pragma once

#include "SendView.h"

#include <QString>
#include <QStringList>

// Tarnwick's status lines and message boxes as a log of what was shown, in order.
class RecordingSendView : public SendView
{
public:
    QString *trace = nullptr; // Sendinfo texts go there too, as [text]
    QStringList log;
    QString connectText, sendText;
    Colour connectColour = Colour::Normal;
    bool connectVisible = false, sendVisible = false;
    QStringList messages; // text, then "|" and the reason when there is one

    void setConnectinfo(const QString &text, Colour colour) override;
    void setConnectinfoVisible(bool visible) override;
    void setSendinfo(const QString &text) override;
    void setSendinfoVisible(bool visible) override;
    void showMessage(const QString &text, const QString &reason) override;
};

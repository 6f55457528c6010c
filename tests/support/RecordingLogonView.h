#pragma once

#include "LogonView.h"
#include "VirtualClock.h"

#include <QString>
#include <QStringList>

// What Obrelle's log-on shows, with the virtual time the outcome line appeared.
class RecordingLogonView : public LogonView
{
public:
    explicit RecordingLogonView(const VirtualClock &clock) : m_clock(clock) {}

    void hideConnectinfo() override;
    void showConnectinfo(const QString &text, bool failure) override;
    void message(const QString &text, const QString &reason) override;
    void focusTermTxt() override;

    QString caption;
    bool red = false;
    bool visible = true;
    qint64 shownAtNs = -1;
    QStringList events; // hide, show, focus
    QStringList messages;

private:
    const VirtualClock &m_clock;
};

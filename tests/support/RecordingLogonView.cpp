#include "RecordingLogonView.h"

void RecordingLogonView::hideConnectinfo()
{
    visible = false;
    events.append(QStringLiteral("hide"));
}

void RecordingLogonView::showConnectinfo(const QString &text, bool failure)
{
    caption = text;
    red = failure;
    visible = true;
    shownAtNs = m_clock.now();
    events.append(QStringLiteral("show"));
}

void RecordingLogonView::message(const QString &text, const QString &)
{
    messages.append(text);
}

void RecordingLogonView::focusTermTxt()
{
    events.append(QStringLiteral("focus"));
}

#include "RecordingSendView.h"

void RecordingSendView::setConnectinfo(const QString &text, Colour colour)
{
    connectText = text;
    connectColour = colour;
    log << QStringLiteral("Connectinfo %1%2").arg(text, colour == Colour::Failure ? QStringLiteral(" (red)") : QString());
}

void RecordingSendView::setConnectinfoVisible(bool visible)
{
    connectVisible = visible;
    log << (visible ? QStringLiteral("Connectinfo shown") : QStringLiteral("Connectinfo hidden"));
}

void RecordingSendView::setSendinfo(const QString &text)
{
    sendText = text;
    if (trace)
        *trace += QLatin1Char('[') + text + QLatin1Char(']');
    log << QStringLiteral("Sendinfo ") + text;
}

void RecordingSendView::setSendinfoVisible(bool visible)
{
    sendVisible = visible;
    log << (visible ? QStringLiteral("Sendinfo shown") : QStringLiteral("Sendinfo hidden"));
}

void RecordingSendView::showMessage(const QString &text, const QString &reason)
{
    messages << (reason.isEmpty() ? text : text + QLatin1Char('|') + reason);
    log << QStringLiteral("Message ") + messages.last();
}

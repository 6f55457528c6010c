#include "StatusLine.h"

#include "AccessibleFactory.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

class StatusLineAccessible : public QAccessibleWidget
{
public:
    explicit StatusLineAccessible(StatusLine *line) : QAccessibleWidget(line, QAccessible::Notification) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return static_cast<QLabel *>(widget())->text().trimmed();
        return QAccessibleWidget::text(kind);
    }
};

} // namespace

StatusLine::StatusLine(QWidget *parent) : QLabel(parent)
{
    registerAccessible<StatusLine, StatusLineAccessible>();
}

void StatusLine::setOutcome(const QString &text, bool failure)
{
    QPalette ink = palette();
    ink.setColor(QPalette::WindowText, failure ? failureInk() : window()->palette().color(QPalette::ButtonText));
    setPalette(ink);
    setText(text);
}

void StatusLine::announce()
{
    if (!QAccessible::isActive() || !isVisible() || text().trimmed().isEmpty())
        return;
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

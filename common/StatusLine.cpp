#include "StatusLine.h"

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

QAccessibleInterface *statusLineFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("StatusLine") && object && object->isWidgetType())
        return new StatusLineAccessible(static_cast<StatusLine *>(object));
    return nullptr;
}

} // namespace

StatusLine::StatusLine(QWidget *parent) : QLabel(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(statusLineFactory);
        return true;
    }();
    (void)installed;
}

void StatusLine::announce()
{
    if (!QAccessible::isActive() || !isVisible() || text().trimmed().isEmpty())
        return;
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

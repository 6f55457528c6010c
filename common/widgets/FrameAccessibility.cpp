#include "FrameAccessibility.h"

#include <QAccessibleWidget>
#include <QStringList>
#include <QWidget>

namespace {

QStringList &frameClasses()
{
    static QStringList classes;
    return classes;
}

QAccessibleInterface *frameFactory(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget && widget->isWindow() && frameClasses().contains(className))
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

} // namespace

void presentAsFrame(const QString &className)
{
    if (frameClasses().isEmpty())
        QAccessible::installFactory(frameFactory);
    if (!frameClasses().contains(className))
        frameClasses().append(className);
}

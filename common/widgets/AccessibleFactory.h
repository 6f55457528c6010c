#pragma once

#include <QAccessible>
#include <QObject>
#include <QString>

// Each widget that screen readers must see in its own way registers its accessible
// interface from its constructor, once per program: `registerAccessible<Widget, Accessible>()`.
template <typename Widget, typename Accessible>
QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(Widget::staticMetaObject.className()) && object && object->isWidgetType())
        return new Accessible(static_cast<Widget *>(object));
    return nullptr;
}

template <typename Widget, typename Accessible>
void registerAccessible()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFactory<Widget, Accessible>);
        return true;
    }();
    (void)installed;
}

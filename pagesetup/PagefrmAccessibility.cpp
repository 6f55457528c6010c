#include "PagefrmAccessibility.h"

#include "TwoRowTabAccessible.h"
#include "TwoRowTabWidget.h"

#include <QAccessibleWidget>

namespace {

QAccessibleInterface *interfaceFor(const QString &className, QObject *object)
{
    if (className == QLatin1String("TwoRowTabWidget"))
        return new TwoRowTabAccessible(static_cast<TwoRowTabWidget *>(object));
    // A plain top-level widget would be a nameless filler; a window is a frame with its caption.
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("Pagefrm") && widget->isWindow())
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

} // namespace

void PagefrmAccessibility::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(interfaceFor);
        return true;
    }();
    (void)installed;
}

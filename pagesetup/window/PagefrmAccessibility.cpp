#include "PagefrmAccessibility.h"

#include "FrameAccessibility.h"
#include "TwoRowTabAccessible.h"
#include "TwoRowTabWidget.h"

#include <QAccessible>
#include <QString>

namespace {

QAccessibleInterface *interfaceFor(const QString &className, QObject *object)
{
    if (className == QLatin1String("TwoRowTabWidget"))
        return new TwoRowTabAccessible(static_cast<TwoRowTabWidget *>(object));
    return nullptr;
}

} // namespace

void PagefrmAccessibility::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(interfaceFor);
        presentAsFrame(QStringLiteral("Pagefrm"));
        return true;
    }();
    (void)installed;
}

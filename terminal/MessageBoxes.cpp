#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

void MessageBoxes::show(const QString &text, const QString &reason)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Velgrin Terminal Program"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setInformativeText(reason);
    // Named by the title itself rather than through the window's caption, so that a screen
    // reader finds the name however early it asks.
    box.setAccessibleName(box.windowTitle());
    box.exec();
}

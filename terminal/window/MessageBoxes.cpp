#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

void MessageBoxes::show(const QString &text, const QString &reason)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Velgrin Terminal Program"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setInformativeText(reason);
    box.exec();
}

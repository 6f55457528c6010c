#include "MessageBoxes.h"

#include <QMessageBox>

void ModalMessageBoxes::show(const QString &text, const QString &detail)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tarnwick"), text, QMessageBox::Ok, m_parent);
    box.setInformativeText(detail);
    // Named before it is shown, so a screen reader never meets a nameless box.
    box.setAccessibleName(box.windowTitle());
    box.exec();
}

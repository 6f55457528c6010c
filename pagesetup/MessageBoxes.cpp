#include "MessageBoxes.h"

#include <QMessageBox>

void ModalMessageBoxes::show(const QString &text, const QString &detail)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tarnwick"), text, QMessageBox::Ok, m_parent);
    box.setInformativeText(detail);
    box.exec();
}

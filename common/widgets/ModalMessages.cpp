#include "ModalMessages.h"

#include <QApplication>

ModalMessages::ModalMessages(QString title, QMessageBox::Icon icon, QWidget *parent)
    : m_title(std::move(title))
    , m_icon(icon)
    , m_parent(parent)
{
}

void ModalMessages::show(const QString &text, const QString &reason)
{
    QMessageBox box(m_icon, m_title, text, QMessageBox::Ok, m_parent ? m_parent : QApplication::activeWindow());
    box.setInformativeText(reason);
    box.setAccessibleName(m_title);
    box.exec();
}

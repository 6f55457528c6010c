#pragma once

#include "Messages.h"

#include <QMessageBox>
#include <QString>

class QWidget;

// Messages as modal boxes with one OK button and the reason underneath, titled with the
// program's name. The box is named before it is shown, so a screen reader never meets a
// nameless one.
class ModalMessages : public Messages
{
public:
    // Without a parent the box belongs to the active window.
    ModalMessages(QString title, QMessageBox::Icon icon, QWidget *parent = nullptr);
    void show(const QString &text, const QString &reason = QString()) override;

private:
    QString m_title;
    QMessageBox::Icon m_icon = QMessageBox::NoIcon;
    QWidget *m_parent = nullptr;
};

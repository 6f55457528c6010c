#pragma once

#include <QString>

class QWidget;

// Where the setup window's messages go: modal boxes in the program, a record in tests.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // The message, a secondary line with the reason when there is one, and an OK button.
    virtual void show(const QString &text, const QString &detail = QString()) = 0;
};

class ModalMessageBoxes : public MessageBoxes
{
public:
    explicit ModalMessageBoxes(QWidget *parent) : m_parent(parent) {}
    void show(const QString &text, const QString &detail = QString()) override;

private:
    QWidget *m_parent = nullptr;
};

#pragma once

#include <QButtonGroup>
#include <QObject>

class QAbstractButton;

// An exclusive group of option buttons whose choice takes effect however it is made: a
// click (also on the option already ticked), arrow keys, a screen reader's Toggle or Press
// action, or setChecked from the program. Tab enters the group at its ticked option.
class OptionGroup : public QObject
{
    Q_OBJECT
public:
    explicit OptionGroup(QObject *parent = nullptr);

    void addButton(QAbstractButton *button, int id);

signals:
    // Once per choice, with the option's index.
    void chosen(int id);

private:
    void toggled(int id, bool checked);
    void clicked(int id);

    QButtonGroup m_group;
    // A click that ticks an option has announced it already; one on the ticked option has not.
    bool m_tickedSincePress = false;
};

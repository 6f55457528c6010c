#include "OptionGroup.h"

#include <QAbstractButton>

OptionGroup::OptionGroup(QObject *parent)
    : QObject(parent)
{
    connect(&m_group, &QButtonGroup::idPressed, this, [this] { m_tickedSincePress = false; });
    connect(&m_group, &QButtonGroup::idToggled, this, &OptionGroup::toggled);
    connect(&m_group, &QButtonGroup::idClicked, this, &OptionGroup::clicked);
}

void OptionGroup::addButton(QAbstractButton *button, int id)
{
    m_group.addButton(button, id);
}

void OptionGroup::toggled(int id, bool checked)
{
    if (!checked)
        return;
    m_tickedSincePress = true;
    makeTabStop(m_group.button(id));
    emit chosen(id);
}

void OptionGroup::clicked(int id)
{
    if (!m_tickedSincePress)
        emit chosen(id);
    m_tickedSincePress = false;
}

// Qt moves the group's tab stop only when an option takes the focus; a choice made
// without the focus would leave Tab landing on an option that is not ticked.
void OptionGroup::makeTabStop(QAbstractButton *ticked)
{
    for (QAbstractButton *button : m_group.buttons()) {
        const Qt::FocusPolicy policy = button->focusPolicy();
        button->setFocusPolicy(button == ticked ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
}

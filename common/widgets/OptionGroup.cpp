#include "OptionGroup.h"

#include "TabStop.h"

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
    makeTabStop(m_group.buttons(), m_group.button(id));
    emit chosen(id);
}

void OptionGroup::clicked(int id)
{
    if (!m_tickedSincePress)
        emit chosen(id);
    m_tickedSincePress = false;
}

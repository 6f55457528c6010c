#include "TwoRowTabAccessible.h"

#include "TwoRowTabWidget.h"

#include <QPointer>

namespace {

class PageTab : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    PageTab(TwoRowTabWidget *tabs, int index) : m_tabs(tabs), m_index(index) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }

    bool isValid() const override { return m_tabs && m_index < m_tabs->count(); }
    QObject *object() const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.focusable = true;
        state.selected = m_tabs->currentIndex() == m_index;
        state.focused = state.selected && m_tabs->hasFocus();
        state.invisible = !m_tabs->isVisible();
        return state;
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect box = m_tabs->tabRect(m_index);
        return QRect(m_tabs->mapToGlobal(box.topLeft()), box.size());
    }

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name && isValid() ? m_tabs->tabText(m_index) : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}

    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_tabs.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        if (isValid() && name == pressAction())
            m_tabs->setCurrentIndex(m_index);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<TwoRowTabWidget> m_tabs;
    int m_index;
};

} // namespace

TwoRowTabAccessible::TwoRowTabAccessible(TwoRowTabWidget *tabs) : QAccessibleWidget(tabs, QAccessible::PageTabList) {}

TwoRowTabAccessible::~TwoRowTabAccessible()
{
    for (QAccessible::Id id : std::as_const(m_tabIds))
        QAccessible::deleteAccessibleInterface(id);
}

TwoRowTabWidget *TwoRowTabAccessible::tabs() const
{
    return static_cast<TwoRowTabWidget *>(widget());
}

QAccessibleInterface *TwoRowTabAccessible::tab(int index) const
{
    while (m_tabIds.size() <= index)
        m_tabIds.append(QAccessible::registerAccessibleInterface(new PageTab(tabs(), int(m_tabIds.size()))));
    return QAccessible::accessibleInterface(m_tabIds.at(index));
}

int TwoRowTabAccessible::childCount() const
{
    return tabs()->count() + 1;
}

QAccessibleInterface *TwoRowTabAccessible::child(int index) const
{
    if (index >= 0 && index < tabs()->count())
        return tab(index);
    if (index == tabs()->count())
        return QAccessible::queryAccessibleInterface(tabs()->pageStack());
    return nullptr;
}

int TwoRowTabAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    if (!child)
        return -1;
    if (child->object() && child->object() == tabs()->pageStack())
        return tabs()->count();
    for (int i = 0; i < tabs()->count(); ++i) {
        if (tab(i) == child)
            return i;
    }
    return -1;
}

QAccessibleInterface *TwoRowTabAccessible::childAt(int x, int y) const
{
    const QPoint local = tabs()->mapFromGlobal(QPoint(x, y));
    const int index = tabs()->tabAt(local);
    if (index >= 0)
        return tab(index);
    QWidget *pages = tabs()->pageStack();
    return pages->geometry().contains(local) ? QAccessible::queryAccessibleInterface(pages) : nullptr;
}

QAccessibleInterface *TwoRowTabAccessible::focusChild() const
{
    return tabs()->hasFocus() && tabs()->currentIndex() >= 0 ? tab(tabs()->currentIndex()) : nullptr;
}

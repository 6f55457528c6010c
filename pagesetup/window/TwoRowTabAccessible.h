#pragma once

#include <QAccessibleWidget>
#include <QList>

class TwoRowTabWidget;

// What a screen reader finds in the two-row tab control, as in the toolkit's own tab bar: a
// page-tab list with one page tab per caption, each selected through its press action. The
// pages follow the tabs as the list's last child, so their controls stay in the tree.
class TwoRowTabAccessible : public QAccessibleWidget
{
public:
    explicit TwoRowTabAccessible(TwoRowTabWidget *tabs);
    ~TwoRowTabAccessible() override;

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

private:
    TwoRowTabWidget *tabs() const;
    QAccessibleInterface *tab(int index) const;

    mutable QList<QAccessible::Id> m_tabIds; // made when first asked for
};

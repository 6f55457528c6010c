#include "TwoRowTabWidget.h"

#include "AccessibleFactory.h"
#include "TwoRowTabAccessible.h"

#include <QAccessible>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTimer>

#include <algorithm>

namespace {
constexpr int PaneMargin = 2;
}

TwoRowTabWidget::TwoRowTabWidget(QWidget *parent)
    : QWidget(parent), m_stack(new QStackedWidget(this))
{
    registerAccessible<TwoRowTabWidget, TwoRowTabAccessible>();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    // The keys of every tab control, wherever the focus is within it: on the strip or on a
    // control of the page. Shortcuts, so that a spin box on the page does not take
    // Ctrl+Page Up and Down as its own Page Up and Down.
    const auto step = [this](int by) {
        if (count() > 0)
            setCurrentIndex(((m_current + by) % count() + count()) % count());
    };
    const struct
    {
        QKeyCombination key;
        int by;
    } keys[] = {{Qt::CTRL | Qt::Key_Tab, 1},
                {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, -1},
                {Qt::CTRL | Qt::Key_PageDown, 1},
                {Qt::CTRL | Qt::Key_PageUp, -1}};
    for (const auto &[key, by] : keys) {
        auto *shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [step, by = by] { step(by); });
    }
}

int TwoRowTabWidget::addTab(QWidget *page, const QString &caption)
{
    m_captions.append(caption);
    page->setAccessibleName(caption);
    m_stack->addWidget(page);
    if (m_current < 0)
        setCurrentIndex(0);
    layoutPages();
    update();
    return count() - 1;
}

void TwoRowTabWidget::setCurrentIndex(int index)
{
    if (index < 0 || index >= count() || index == m_current)
        return;
    m_current = index;
    m_stack->setCurrentIndex(index);
    update();
    announce(index);
    emit currentChanged(index);
}

// As the toolkit's tab bar does: the tab now selected, and the focus on it when the
// control has the focus.
void TwoRowTabWidget::announce(int index)
{
    if (!QAccessible::isActive())
        return;
    if (hasFocus()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(index);
        QAccessible::updateAccessibility(&focus);
    }
    QAccessibleEvent selection(this, QAccessible::Selection);
    selection.setChild(index);
    QAccessible::updateAccessibility(&selection);
}

QWidget *TwoRowTabWidget::pageStack() const
{
    return m_stack;
}

QWidget *TwoRowTabWidget::page(int index) const
{
    return m_stack->widget(index);
}

QRect TwoRowTabWidget::tabRect(int index) const
{
    if (index < 0 || index >= count())
        return {};
    const int row = index / TabsPerRow;
    const int column = index % TabsPerRow;
    const int left = width() * column / TabsPerRow;
    const int right = width() * (column + 1) / TabsPerRow;
    return QRect(left, row * RowHeight, right - left, RowHeight);
}

int TwoRowTabWidget::tabAt(QPoint pos) const
{
    for (int i = 0; i < count(); ++i) {
        if (tabRect(i).contains(pos))
            return i;
    }
    return -1;
}

QPoint TwoRowTabWidget::pageOrigin() const
{
    return QPoint(PaneMargin, stripHeight() + PaneMargin);
}

QSize TwoRowTabWidget::sizeHint() const
{
    return QSize(353, 233);
}

void TwoRowTabWidget::layoutPages()
{
    const QPoint origin = pageOrigin();
    m_stack->setGeometry(origin.x(), origin.y(), width() - 2 * PaneMargin,
                         height() - origin.y() - PaneMargin);
}

// Arriving on the strip names the current tab, as the toolkit's tab bar does: the focus
// goes on to the tab itself, once the toolkit has reported the strip's own focus.
void TwoRowTabWidget::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    QTimer::singleShot(0, this, [this] {
        if (hasFocus() && m_current >= 0 && QAccessible::isActive()) {
            QAccessibleEvent focus(this, QAccessible::Focus);
            focus.setChild(m_current);
            QAccessible::updateAccessibility(&focus);
        }
    });
}

void TwoRowTabWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutPages();
}

void TwoRowTabWidget::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);

    QStyleOptionTabWidgetFrame pane;
    pane.initFrom(this);
    pane.rect = QRect(0, stripHeight() - 1, width(), height() - stripHeight() + 1);
    pane.shape = QTabBar::RoundedNorth;
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, pane);

    for (int i = 0; i < count(); ++i) {
        QStyleOptionTab tab;
        tab.initFrom(this);
        tab.rect = tabRect(i);
        tab.text = m_captions.at(i);
        tab.shape = QTabBar::RoundedNorth;
        tab.row = i / TabsPerRow;
        const int column = i % TabsPerRow;
        const int lastColumn = std::min(TabsPerRow, count() - tab.row * TabsPerRow) - 1;
        tab.position = column == 0 ? QStyleOptionTab::Beginning
                       : column == lastColumn ? QStyleOptionTab::End
                                              : QStyleOptionTab::Middle;
        tab.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
        if (i == m_current)
            tab.state |= QStyle::State_Selected;
        if (i == m_current && hasFocus())
            tab.state |= QStyle::State_HasFocus;
        if (underMouse() && tab.rect.contains(mapFromGlobal(QCursor::pos())))
            tab.state |= QStyle::State_MouseOver;
        // Some styles paint a selected tab well below its own box, over the page.
        painter.setClipRect(tab.rect.adjusted(0, 0, 0, i == m_current ? 2 : 0));
        painter.drawControl(QStyle::CE_TabBarTab, tab);
        painter.setClipping(false);

        if (i == m_current && hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = tab.rect.adjusted(4, 4, -4, -3);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
}

void TwoRowTabWidget::mousePressEvent(QMouseEvent *event)
{
    const int index = tabAt(event->position().toPoint());
    if (index < 0 || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setCurrentIndex(index);
    setFocus(Qt::MouseFocusReason);
}

void TwoRowTabWidget::keyPressEvent(QKeyEvent *event)
{
    if (count() == 0 || event->modifiers() & ~Qt::KeypadModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    const auto wrap = [this](int index) { return (index % count() + count()) % count(); };
    switch (event->key()) {
    case Qt::Key_Left:
        setCurrentIndex(wrap(m_current - 1));
        break;
    case Qt::Key_Right:
        setCurrentIndex(wrap(m_current + 1));
        break;
    case Qt::Key_Up:
        setCurrentIndex(wrap(m_current - TabsPerRow));
        break;
    case Qt::Key_Down:
        setCurrentIndex(wrap(m_current + TabsPerRow));
        break;
    case Qt::Key_Home:
        setCurrentIndex(0);
        break;
    case Qt::Key_End:
        setCurrentIndex(count() - 1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

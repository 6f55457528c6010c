#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

class QStackedWidget;

// A tab control whose tabs stand in two fixed rows of three, the first row holding tabs 0 to 2
// and the second tabs 3 to 5. Qt's tab widget has a single row, so the strip is drawn here with
// the style's own tab shapes. The control is one focus stop: arrow keys, Home and End pick a tab;
// Ctrl+Tab and Ctrl+Page Down the next, Ctrl+Shift+Tab and Ctrl+Page Up the one before, also
// from a control on the page.
// Screen readers see a page-tab list (TwoRowTabAccessible).
class TwoRowTabWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int TabsPerRow = 3;
    static constexpr int RowHeight = 24;

    explicit TwoRowTabWidget(QWidget *parent = nullptr);

    // The page becomes the control's; its controls are placed relative to pageOrigin().
    int addTab(QWidget *page, const QString &caption);
    int count() const { return int(m_captions.size()); }
    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);
    QWidget *page(int index) const;
    QString tabText(int index) const { return m_captions.value(index); }
    // Holds the pages; the accessible page-tab list shows it after the tabs.
    QWidget *pageStack() const;

    int rowCount() const { return (count() + TabsPerRow - 1) / TabsPerRow; }
    QRect tabRect(int index) const;
    int tabAt(QPoint pos) const;
    // Where a page's top left corner lies in the control's own coordinates.
    QPoint pageOrigin() const;

    QSize sizeHint() const override;

signals:
    void currentChanged(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void announce(int index);
    int stripHeight() const { return rowCount() * RowHeight; }
    void layoutPages();

    QStringList m_captions;
    QStackedWidget *m_stack = nullptr;
    int m_current = -1;
};

#include "TerminalTextArea.h"

#include "AccessibleFactory.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMimeData>
#include <QTextBlock>

namespace {

// The accessible terminal: TermText's readable text, its offsets mapped to and from the
// document's positions.
class TerminalAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit TerminalAccessible(TerminalTextArea *area) : QAccessibleWidget(area, QAccessible::Terminal) {}

    // Both bases name a text(): the widget's by kind, the text interface's by range.
    using QAccessibleWidget::text;

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        const QTextCursor cursor = area()->textCursor();
        if (selectionIndex == 0 && cursor.hasSelection()) {
            *startOffset = termText().toReadable(cursor.selectionStart());
            *endOffset = termText().toReadable(cursor.selectionEnd());
        }
    }
    int selectionCount() const override { return area()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex != 0)
            return;
        QTextCursor cursor = area()->textCursor();
        cursor.clearSelection();
        area()->setTextCursor(cursor);
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex != 0)
            return;
        QTextCursor cursor(area()->document());
        cursor.setPosition(termText().toDocument(startOffset));
        cursor.setPosition(termText().toDocument(endOffset), QTextCursor::KeepAnchor);
        area()->setTextCursor(cursor);
    }

    int cursorPosition() const override { return termText().toReadable(area()->textCursor().position()); }
    void setCursorPosition(int position) override
    {
        QTextCursor cursor = area()->textCursor();
        cursor.setPosition(termText().toDocument(position));
        area()->setTextCursor(cursor);
    }

    QString text(int startOffset, int endOffset) const override
    {
        return termText().readableText(startOffset, endOffset < 0 ? characterCount() : endOffset);
    }
    int characterCount() const override { return termText().readableLength(); }

    // Lines are the lines received, ended by CR, however the display wraps them.
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int *startOffset,
                         int *endOffset) const override
    {
        if (boundary != QAccessible::LineBoundary && boundary != QAccessible::ParagraphBoundary)
            return QAccessibleTextInterface::textAtOffset(offset, boundary, startOffset, endOffset);
        return line(offset, startOffset, endOffset);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int *startOffset,
                             int *endOffset) const override
    {
        if (boundary != QAccessible::LineBoundary && boundary != QAccessible::ParagraphBoundary)
            return QAccessibleTextInterface::textBeforeOffset(offset, boundary, startOffset, endOffset);
        const int start = termText().readableLine(offset).first;
        if (start == 0) {
            *startOffset = *endOffset = 0;
            return QString();
        }
        return line(start - 1, startOffset, endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int *startOffset,
                            int *endOffset) const override
    {
        if (boundary != QAccessible::LineBoundary && boundary != QAccessible::ParagraphBoundary)
            return QAccessibleTextInterface::textAfterOffset(offset, boundary, startOffset, endOffset);
        const int end = termText().readableLine(offset).second;
        if (end >= characterCount()) {
            *startOffset = *endOffset = characterCount();
            return QString();
        }
        return line(end + 1, startOffset, endOffset);
    }

    QRect characterRect(int offset) const override
    {
        const int position = termText().toDocument(offset);
        QTextCursor cursor(area()->document());
        cursor.setPosition(position);
        QRect box = area()->cursorRect(cursor);
        box.setWidth(area()->fontMetrics().horizontalAdvance(area()->document()->characterAt(position)));
        return QRect(area()->viewport()->mapToGlobal(box.topLeft()), box.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        const QPoint local = area()->viewport()->mapFromGlobal(point);
        if (!area()->viewport()->rect().contains(local))
            return -1;
        return termText().toReadable(area()->cursorForPosition(local).position());
    }
    void scrollToSubstring(int startIndex, int) override
    {
        setCursorPosition(startIndex);
        area()->ensureCursorVisible();
    }
    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return QString();
    }

private:
    TerminalTextArea *area() const { return static_cast<TerminalTextArea *>(widget()); }
    const TermText &termText() const { return area()->termText(); }

    // The line with its break, as AT-SPI's line boundaries want it.
    QString line(int offset, int *startOffset, int *endOffset) const
    {
        const auto [start, end] = termText().readableLine(offset);
        *startOffset = start;
        *endOffset = std::min(end + 1, characterCount());
        return termText().readableText(*startOffset, *endOffset);
    }
};

QAccessible::UpdateHandler previousHandler = nullptr;
bool sendingOwn = false;

void forward(QAccessibleEvent *event)
{
    if (previousHandler) {
        previousHandler(event);
        return;
    }
    // No handler before this one: the platform's (AT-SPI) takes the event when none is set.
    // (A table's model change would reach its table interface twice; Obrelle has no table.)
    const QAccessible::UpdateHandler self = QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(self);
}

// The toolkit's text events for the terminal area count document positions: its changes
// are held back (TerminalTextArea reports them in readable offsets) and its caret and
// selection events are mapped to readable offsets.
void filterTerminalEvents(QAccessibleEvent *event)
{
    auto *area = sendingOwn ? nullptr : qobject_cast<TerminalTextArea *>(event->object());
    if (!area) {
        forward(event);
        return;
    }
    const TermText &text = area->termText();
    switch (event->type()) {
    case QAccessible::TextInserted:
    case QAccessible::TextRemoved:
    case QAccessible::TextUpdated:
        return;
    case QAccessible::TextCaretMoved: {
        QAccessibleTextCursorEvent mapped(area, text.toReadable(area->textCursor().position()));
        forward(&mapped);
        return;
    }
    case QAccessible::TextSelectionChanged: {
        const QTextCursor cursor = area->textCursor();
        QAccessibleTextSelectionEvent mapped(area, text.toReadable(cursor.selectionStart()),
                                             text.toReadable(cursor.selectionEnd()));
        mapped.setCursorPosition(text.toReadable(cursor.position()));
        forward(&mapped);
        return;
    }
    default:
        forward(event);
    }
}

void sendOwn(QAccessibleEvent &event)
{
    sendingOwn = true;
    QAccessible::updateAccessibility(&event);
    sendingOwn = false;
}

} // namespace

TerminalTextArea::TerminalTextArea(QWidget *parent) : QPlainTextEdit(parent), m_text(*this)
{
    registerAccessible<TerminalTextArea, TerminalAccessible>();
    static const bool installed = [] {
        previousHandler = QAccessible::installUpdateHandler(filterTerminalEvents);
        return true;
    }();
    (void)installed;
    m_text.setListener([this](int at, int removed, const QString &inserted) { readableTextChanged(at, removed, inserted); });
}

void TerminalTextArea::readableTextChanged(int at, int removed, const QString &inserted)
{
    if (!QAccessible::isActive())
        return;
    if (removed > 0) {
        QAccessibleTextRemoveEvent event(this, at, QString(removed, QLatin1Char(' ')));
        sendOwn(event);
    }
    if (!inserted.isEmpty()) {
        QAccessibleTextInsertEvent event(this, at, inserted);
        sendOwn(event);
    }
}

QMimeData *TerminalTextArea::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    data->setText(TermText::received(textCursor()));
    return data;
}

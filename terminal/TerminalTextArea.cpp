#include "TerminalTextArea.h"

#include "TermText.h"

#include <QMimeData>

QMimeData *TerminalTextArea::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    data->setText(TermText::received(textCursor()));
    return data;
}

#pragma once

#include "MessageBoxes.h"

#include <QStringList>

// Tarnwick's message boxes as lists of their texts and details.
class RecordingMessageBoxes : public MessageBoxes
{
public:
    void show(const QString &text, const QString &detail) override
    {
        texts.append(text);
        details.append(detail);
    }
    QStringList texts;
    QStringList details;
};

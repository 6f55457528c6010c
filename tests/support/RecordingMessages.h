#pragma once

#include "Messages.h"

#include <QStringList>

// Message boxes as lists of their texts and reasons.
class RecordingMessages : public Messages
{
public:
    void show(const QString &text, const QString &reason) override
    {
        texts.append(text);
        reasons.append(reason);
    }
    QStringList texts;
    QStringList reasons;
};

#pragma once

#include "Messages.h"

// Messages as modal boxes with one OK button, the library's reason underneath.
class MessageBoxes : public Messages
{
public:
    void show(const QString &text, const QString &reason) override;
};

#pragma once

#include <QString>

// The modal message box with its single OK button, as a seam: the window shows a real box,
// tests record the texts. `reason` is the serial library's explanation of the failure (a
// device path and the system's error text), shown under the message; empty when none.
class Messages
{
public:
    virtual ~Messages() = default;
    virtual void show(const QString &text, const QString &reason) = 0;
};

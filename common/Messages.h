#pragma once

#include <QString>

// The modal message box with its single OK button, as a seam: the windows show a real box
// (ModalMessages), tests record the texts. `reason` is the serial library's or the file's
// explanation of the failure (a device path or file name and the system's error text),
// shown under the message; empty when there is none.
class Messages
{
public:
    virtual ~Messages() = default;
    virtual void show(const QString &text, const QString &reason = QString()) = 0;
};

#pragma once

// What the setup window's tests share: a serial line that only records, message boxes
// that only record, and a working directory of the test's own.

#include "Messages.h"
#include "SerialLine.h"
#include "WorkingDirectory.h"

#include <QStringList>
#include <memory>

// Records the port calls the window makes itself; a send over it fails at once (no device).
class RecordingLine : public SerialLine
{
public:
    int32_t availability = 1; // 1: the port is closed; 0: open (a send is running)
    QStringList calls;

    int32_t IsPortAvailable(int32_t port) override { return note(QStringLiteral("IsPortAvailable(%1)").arg(port), availability); }
    int32_t SetPortCharacteristics(int32_t port, int32_t baud, int32_t parity, int32_t data, int32_t stop, int32_t flow) override
    {
        return note(QStringLiteral("SetPortCharacteristics(%1,%2,%3,%4,%5,%6)").arg(port).arg(baud).arg(parity).arg(data).arg(stop).arg(flow), 0);
    }
    int32_t UnInitializePort(int32_t port) override { return note(QStringLiteral("UnInitializePort(%1)").arg(port), 0); }
    int32_t InitializePort(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) override
    {
        return note(QStringLiteral("InitializePort"), 7);
    }
    int32_t SetBaud(int32_t, int32_t) override { return 0; }
    int32_t CdrvSetTimerResolution(int32_t, int32_t) override { return 0; }
    int32_t CdrvDelay(int32_t, int32_t) override { return 0; }
    int32_t RtsOn(int32_t) override { return 0; }
    int32_t FlushReceiveBuffer(int32_t) override { return 0; }
    int32_t FlushTransmitBuffer(int32_t) override { return 0; }
    int32_t PutByte(int32_t, int32_t) override { return 0; }
    int32_t PutPacket(int32_t, int32_t, const char *) override { return 0; }
    int32_t BytesInReceiveBuffer(int32_t) override { return 0; }
    int32_t GetPacket(int32_t, int32_t, char *) override { return 0; }
    const char *LastError() override { return "no such device"; }
    int32_t CdrvTransmitTimeLeft(int32_t) override { return 0; }

private:
    int32_t note(const QString &call, int32_t result)
    {
        calls.append(call);
        return result;
    }
};

class RecordedMessages : public Messages
{
public:
    QStringList texts;
    QStringList details;
    void show(const QString &text, const QString &detail) override
    {
        texts.append(text);
        details.append(detail);
    }
};

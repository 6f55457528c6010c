#pragma once

#include "commdrv.h"

// The serial operations as one narrow seam, so the protocols can run against a scripted
// line in tests and against the real library in the programs.
class SerialLine
{
public:
    virtual ~SerialLine() = default;
    virtual int32_t IsPortAvailable(int32_t port) = 0;
    // reserved1..5 as in commdrv.h: the callers' fixed values, ignored on Linux.
    virtual int32_t InitializePort(int32_t port, int32_t index, int32_t reserved1, int32_t reserved2,
                                   int32_t reserved3, int32_t reserved4, int32_t rxSize, int32_t txSize,
                                   int32_t reserved5) = 0;
    virtual int32_t SetPortCharacteristics(int32_t port, int32_t baudCode, int32_t parity,
                                           int32_t dataBits, int32_t stopBits, int32_t flow) = 0;
    virtual int32_t SetBaud(int32_t port, int32_t baudCode) = 0;
    virtual int32_t CdrvSetTimerResolution(int32_t port, int32_t resolution) = 0;
    virtual int32_t CdrvDelay(int32_t port, int32_t ticks) = 0;
    virtual int32_t RtsOn(int32_t port) = 0;
    virtual int32_t FlushReceiveBuffer(int32_t port) = 0;
    virtual int32_t FlushTransmitBuffer(int32_t port) = 0;
    virtual int32_t PutByte(int32_t port, int32_t byte) = 0;
    virtual int32_t PutPacket(int32_t port, int32_t count, const char *buffer) = 0;
    virtual int32_t BytesInReceiveBuffer(int32_t port) = 0;
    virtual int32_t GetPacket(int32_t port, int32_t count, char *buffer) = 0;
    virtual int32_t UnInitializePort(int32_t port) = 0;
    virtual const char *LastError() = 0;
    virtual int32_t CdrvTransmitTimeLeft(int32_t port) = 0;
};

// The real library.
class CommDrvLine : public SerialLine
{
public:
    int32_t IsPortAvailable(int32_t port) override { return ::IsPortAvailable(port); }
    int32_t InitializePort(int32_t port, int32_t index, int32_t reserved1, int32_t reserved2, int32_t reserved3,
                           int32_t reserved4, int32_t rxSize, int32_t txSize, int32_t reserved5) override
    {
        return ::InitializePort(port, index, reserved1, reserved2, reserved3, reserved4, rxSize, txSize, reserved5);
    }
    int32_t SetPortCharacteristics(int32_t port, int32_t baudCode, int32_t parity, int32_t dataBits,
                                   int32_t stopBits, int32_t flow) override
    {
        return ::SetPortCharacteristics(port, baudCode, parity, dataBits, stopBits, flow);
    }
    int32_t SetBaud(int32_t port, int32_t baudCode) override { return ::SetBaud(port, baudCode); }
    int32_t CdrvSetTimerResolution(int32_t port, int32_t resolution) override
    {
        return ::CdrvSetTimerResolution(port, resolution);
    }
    int32_t CdrvDelay(int32_t port, int32_t ticks) override { return ::CdrvDelay(port, ticks); }
    int32_t RtsOn(int32_t port) override { return ::RtsOn(port); }
    int32_t FlushReceiveBuffer(int32_t port) override { return ::FlushReceiveBuffer(port); }
    int32_t FlushTransmitBuffer(int32_t port) override { return ::FlushTransmitBuffer(port); }
    int32_t PutByte(int32_t port, int32_t byte) override { return ::PutByte(port, byte); }
    int32_t PutPacket(int32_t port, int32_t count, const char *buffer) override
    {
        return ::PutPacket(port, count, buffer);
    }
    int32_t BytesInReceiveBuffer(int32_t port) override { return ::BytesInReceiveBuffer(port); }
    int32_t GetPacket(int32_t port, int32_t count, char *buffer) override
    {
        return ::GetPacket(port, count, buffer);
    }
    int32_t UnInitializePort(int32_t port) override { return ::UnInitializePort(port); }
    const char *LastError() override { return ::CdrvLastError(); }
    int32_t CdrvTransmitTimeLeft(int32_t port) override { return ::CdrvTransmitTimeLeft(port); }
};

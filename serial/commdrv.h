#pragma once

// The serial operations both programs use, under the names of the vendor library the
// tools were designed against. Every operation returns 0 for success unless noted.
// A caller names an open line by a port id and picks the physical port by a zero-based
// index (0 = "Com 1"). All calls come from one thread.

#include <cstdint>

// Results other than 0.
enum CdrvResult : int32_t {
    CdrvNotOpen = 1,          // IsPortAvailable: the port id is not open
    CdrvBadArgument = 2,      // port id, count or buffer out of range
    CdrvIoError = 3,          // the device refused a read, write or setting
    CdrvBadBaud = 4,          // a baud code other than 4, 5 or 7
    CdrvNoDevice = 7,         // InitializePort: no usable port at that index
    CdrvPermissionDenied = 8, // InitializePort: the user may not open the device
    CdrvPortInUse = 9,        // InitializePort: another program holds the device
    CdrvAlreadyOpen = 10,     // InitializePort: the port id is open already
    CdrvDeviceLost = 11,      // the device went away (adapter pulled, far end hung up)
};

int32_t IsPortAvailable(int32_t port);
// The callers pass fixed values (0, 0, 9, 0 and 0) in the four places after the index and
// the last: settings of the hardware the interface was first made for, which a Linux device
// needs none of, so they are accepted and ignored, as is txSize (the driver has its own queue).
int32_t InitializePort(int32_t port, int32_t index, int32_t reserved1, int32_t reserved2, int32_t reserved3,
                       int32_t reserved4, int32_t rxSize, int32_t txSize, int32_t reserved5);
int32_t SetPortCharacteristics(int32_t port, int32_t baudCode, int32_t parity, int32_t dataBits,
                               int32_t stopBits, int32_t flow);
int32_t SetBaud(int32_t port, int32_t baudCode);
int32_t CdrvSetTimerResolution(int32_t port, int32_t resolution);
int32_t CdrvDelay(int32_t port, int32_t ticks);
int32_t RtsOn(int32_t port);
int32_t FlushReceiveBuffer(int32_t port);
int32_t FlushTransmitBuffer(int32_t port);
int32_t PutByte(int32_t port, int32_t byte);
int32_t PutPacket(int32_t port, int32_t count, const char *buffer);
// Number of received bytes waiting (never negative).
int32_t BytesInReceiveBuffer(int32_t port);
int32_t GetPacket(int32_t port, int32_t count, char *buffer);
int32_t UnInitializePort(int32_t port);

// Beyond the vendor operations.

// A readable reason for the last failure: the device path and the system's error text,
// with a hint where one helps (for example membership of the dialout group).
const char *CdrvLastError();

// Microseconds until every byte written so far has crossed the wire (left the UART's
// transmitter): at least the line time of what was written at the speed set, more while
// the driver still reports bytes queued. 0 when the line is idle or the port is not open.
int32_t CdrvTransmitTimeLeft(int32_t port);

// The descriptor to watch for incoming bytes on an open port, or -1. Prefer PortWatcher.
int32_t CdrvReceiveDescriptor(int32_t port);

// Where device naming looks for /dev and /sys (tests point it at a fake tree); "" is "/".
void CdrvSetDeviceRoot(const char *root);

// The vendor-named operations: port ids onto SerialPort, device naming, results.

#include "commdrv.h"

#include "DeviceNaming.h"
#include "LastError.h"
#include "PortRegistry.h"
#include "SerialPort.h"

#include <chrono>
#include <climits>
#include <thread>

namespace {

std::string deviceRoot;

// One tick is 10 ms: callers pause 1 or 2 ticks to let a byte settle after sending or
// flushing, and a byte takes 8.3 ms at 1200 baud, so one tick covers one character at the
// slowest speed while two ticks stay far below anything the user notices.
constexpr std::chrono::milliseconds tick{10};

std::string portName(int32_t port)
{
    return "port id " + std::to_string(port);
}

// The open port behind an id, or nullptr with result set to why not.
SerialPort *openPort(int32_t port, int32_t &result)
{
    if (!PortRegistry::validId(port)) {
        result = LastError::set(CdrvBadArgument, portName(port) + " is out of range");
        return nullptr;
    }
    SerialPort *open = PortRegistry::port(port);
    if (!open)
        result = LastError::set(CdrvNotOpen, portName(port) + " is not open");
    return open;
}

int32_t badArgument(const std::string &reason)
{
    return LastError::set(CdrvBadArgument, reason);
}

int32_t put(int32_t port, const char *data, size_t count)
{
    int32_t result = 0;
    SerialPort *open = openPort(port, result);
    return open ? PortRegistry::settle(port, open->write(data, count)) : result;
}

} // namespace

int32_t IsPortAvailable(int32_t port)
{
    int32_t result = 0;
    SerialPort *open = openPort(port, result);
    if (!open)
        return result;
    if (open->hungUp()) {
        const std::string label = open->label();
        PortRegistry::release(port);
        return LastError::set(CdrvNotOpen, label + ": the device went away (hang-up)");
    }
    return 0;
}

int32_t InitializePort(int32_t port, int32_t index, int32_t, int32_t, int32_t, int32_t, int32_t rxSize,
                       int32_t, int32_t)
{
    if (!PortRegistry::validId(port))
        return badArgument(portName(port) + " is out of range");
    if (PortRegistry::port(port))
        return LastError::set(CdrvAlreadyOpen, portName(port) + " is open already");
    if (rxSize < 1)
        return badArgument("receive buffer size " + std::to_string(rxSize) + " is too small");
    const std::string comName = "Com " + std::to_string(static_cast<int64_t>(index) + 1);
    const auto device = DeviceNaming::portForIndex(index, deviceRoot);
    if (!device)
        return LastError::set(CdrvNoDevice, comName + ": no serial device (no com"
                                                + std::to_string(static_cast<int64_t>(index) + 1)
                                                + " link here, and no such ttyS, ttyUSB or ttyACM port)");
    // Pager bytes must never reach the system console, even through a comN link.
    if (DeviceNaming::isConsole(device->path, deviceRoot))
        return LastError::set(CdrvNoDevice, device->label + ": the system console, not offered as a port");
    std::unique_ptr<SerialPort> opened;
    if (const int32_t result = SerialPort::open(device->path, device->label, static_cast<size_t>(rxSize), opened))
        return result;
    PortRegistry::install(port, std::move(opened));
    return 0;
}

int32_t SetPortCharacteristics(int32_t port, int32_t baudCode, int32_t parity, int32_t dataBits,
                               int32_t stopBits, int32_t flow)
{
    int32_t result = 0;
    SerialPort *open = openPort(port, result);
    if (!open)
        return result;
    // Only the format both programs use: no parity (0), 8 data bits (3), 1 stop bit (0),
    // no flow control (4). Anything else is refused rather than guessed.
    if (parity != 0 || dataBits != 3 || stopBits != 0 || flow != 4)
        return badArgument("only no parity, 8 data bits, 1 stop bit and no flow control are supported");
    return PortRegistry::settle(port, open->setLine(baudCode));
}

int32_t SetBaud(int32_t port, int32_t baudCode)
{
    int32_t result = 0;
    SerialPort *open = openPort(port, result);
    return open ? PortRegistry::settle(port, open->setSpeed(baudCode)) : result;
}

int32_t CdrvSetTimerResolution(int32_t port, int32_t)
{
    // There is one tick length; every resolution selects it.
    return PortRegistry::validId(port) ? 0 : badArgument(portName(port) + " is out of range");
}

int32_t CdrvDelay(int32_t port, int32_t ticks)
{
    if (!PortRegistry::validId(port))
        return badArgument(portName(port) + " is out of range");
    if (ticks < 0)
        return badArgument("a delay of " + std::to_string(ticks) + " ticks");
    std::this_thread::sleep_for(ticks * tick);
    return 0;
}

int32_t RtsOn(int32_t port)
{
    int32_t result = 0;
    SerialPort *open = openPort(port, result);
    return open ? PortRegistry::settle(port, open->raiseRts()) : result;
}

int32_t FlushReceiveBuffer(int32_t port)
{
    int32_t result = 0;
    SerialPort *open = openPort(port, result);
    if (!open)
        return result;
    result = open->flushReceive();
    PortRegistry::notify(port);
    return PortRegistry::settle(port, result);
}

int32_t FlushTransmitBuffer(int32_t port)
{
    int32_t result = 0;
    SerialPort *open = openPort(port, result);
    return open ? PortRegistry::settle(port, open->flushTransmit()) : result;
}

int32_t PutByte(int32_t port, int32_t byte)
{
    if (byte < 0 || byte > 255)
        return badArgument("byte value " + std::to_string(byte) + " is not 0 to 255");
    const char data = static_cast<char>(byte);
    return put(port, &data, 1);
}

int32_t PutPacket(int32_t port, int32_t count, const char *buffer)
{
    if (count < 0 || (count > 0 && !buffer))
        return badArgument("a packet of " + std::to_string(count) + " bytes without room for them");
    return put(port, buffer, static_cast<size_t>(count));
}

int32_t BytesInReceiveBuffer(int32_t port)
{
    // A count, never an error code: a caller reading 1 here would take a byte that is not there.
    int32_t result = 0;
    if (!openPort(port, result))
        return 0;
    PortRegistry::pullReceived(port);
    const SerialPort *open = PortRegistry::port(port);
    return open ? static_cast<int32_t>(open->waiting()) : 0;
}

int32_t GetPacket(int32_t port, int32_t count, char *buffer)
{
    int32_t result = 0;
    SerialPort *open = openPort(port, result);
    if (!open)
        return result;
    if (count < 0 || (count > 0 && !buffer))
        return badArgument("a packet of " + std::to_string(count) + " bytes without room for them");
    if (static_cast<size_t>(count) > open->waiting() && PortRegistry::pullReceived(port) != 0)
        return CdrvDeviceLost;
    if (static_cast<size_t>(count) > open->waiting())
        return badArgument(std::to_string(count) + " bytes asked for, " + std::to_string(open->waiting())
                           + " waiting");
    open->take(static_cast<size_t>(count), buffer);
    PortRegistry::notify(port);
    return 0;
}

int32_t UnInitializePort(int32_t port)
{
    int32_t result = 0;
    if (!openPort(port, result))
        return result;
    PortRegistry::release(port);
    return 0;
}

const char *CdrvLastError()
{
    return LastError::text();
}

int32_t CdrvTransmitTimeLeft(int32_t port)
{
    using namespace std::chrono;
    const SerialPort *open = PortRegistry::port(port);
    if (!open)
        return 0;
    const auto left = ceil<microseconds>(open->sendingFor()).count();
    return static_cast<int32_t>(std::min<int64_t>(left, INT32_MAX));
}

int32_t CdrvReceiveDescriptor(int32_t port)
{
    const SerialPort *open = PortRegistry::port(port);
    return open ? open->fd() : -1;
}

void CdrvSetDeviceRoot(const char *root)
{
    deviceRoot = root ? root : "";
    while (!deviceRoot.empty() && deviceRoot.back() == '/')
        deviceRoot.pop_back();
}

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

// One open serial device: held exclusively, raw 8N1, with the library's own receive
// buffer in front of the kernel's. Every failing call returns a CdrvResult and leaves its
// reason in LastError.
class SerialPort
{
public:
    static int32_t open(const std::string &path, const std::string &label, size_t rxCapacity,
                        std::unique_ptr<SerialPort> &port);
    ~SerialPort();
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    int fd() const { return m_fd; }
    const std::string &label() const { return m_label; }

    int32_t setLine(int32_t baudCode);
    int32_t setSpeed(int32_t baudCode);
    int32_t raiseRts();

    // Moves what the kernel holds into the receive buffer while it has room.
    int32_t pull();
    size_t waiting() const { return m_rx.size(); }
    bool full() const { return m_rx.size() >= m_rxCapacity; }
    void take(size_t count, char *buffer);
    int32_t flushReceive();
    // Every byte written so far reaches the line: only what the driver still holds after its
    // line time (a line whose flow is stuck) is discarded.
    int32_t flushTransmit();

    // Hands every byte to the kernel, in order.
    int32_t write(const char *data, size_t count);

    // How long until the last byte handed over has crossed the wire: the later of what the
    // speed set gives for the bytes written and what the driver still reports holding.
    std::chrono::nanoseconds sendingFor() const;

    // The far end hung up or the device went away.
    bool hungUp() const;

private:
    SerialPort(int fd, std::string label, size_t rxCapacity);
    int32_t configure(int32_t baudCode, bool wholeLine);
    int32_t failed(const std::string &what, int error);
    bool pendingOutput(int &count) const;
    bool drain(int &pending) const;
    std::chrono::nanoseconds driverSendingFor() const;
    void discardQueued();

    int m_fd = -1;
    std::string m_label;
    size_t m_rxCapacity = 0;
    std::deque<char> m_rx;
    // One character's line time at the speed set, and when the line falls idle after the
    // last byte written: with no flow control a UART sends at exactly that rate.
    std::chrono::nanoseconds m_byteTime{};
    std::chrono::steady_clock::time_point m_idleAt{};
};

#include "SerialPort.h"

#include "LastError.h"
#include "LineSettings.h"
#include "commdrv.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

// Beyond the line time of the bytes a transmit flush waits for: wake-up slack.
constexpr std::chrono::milliseconds drainMargin{20};
// A UART driver hands its FIFO (16 bytes on a 16550) over at once, so its queue shrinks in
// steps this many bytes apart; no step for that long means the line is stuck.
constexpr int fifoBytes = 16;

bool deviceGone(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV;
}

int32_t openFailure(int error)
{
    switch (error) {
    case ENOENT: case ENXIO: case ENODEV: case ENOTDIR: case ELOOP: return CdrvNoDevice;
    case EACCES: case EPERM: return CdrvPermissionDenied;
    case EBUSY: return CdrvPortInUse;
    default: return CdrvIoError;
    }
}

int32_t refuse(int fd, int32_t result, std::string reason)
{
    ::close(fd);
    return LastError::set(result, std::move(reason));
}

} // namespace

SerialPort::SerialPort(int fd, std::string label, size_t rxCapacity)
    : m_fd(fd), m_label(std::move(label)), m_rxCapacity(rxCapacity)
{
}

SerialPort::~SerialPort()
{
    discardQueued();
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
}

int32_t SerialPort::open(const std::string &path, const std::string &label, size_t rxCapacity,
                         std::unique_ptr<SerialPort> &port)
{
    // Non-blocking, so a UART without carrier cannot hang the open.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return LastError::set(openFailure(error), LastError::describe(label, error));
    }
    if (!::isatty(fd))
        return refuse(fd, CdrvNoDevice, label + ": not a serial device");
    // TIOCEXCL keeps out other openers, but not root; the lock also tells programs that
    // use flock (picocom, another copy of ours) and a second port id of this process.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK)
            return refuse(fd, CdrvPortInUse, label + ": in use by another program");
        return refuse(fd, CdrvIoError, LastError::describe(label + " (lock)", error));
    }
    ::ioctl(fd, TIOCEXCL);
    termios settings {};
    if (tcgetattr(fd, &settings) != 0) {
        const int error = errno;
        return refuse(fd, CdrvIoError, LastError::describe(label, error));
    }
    LineSettings::makeRaw(settings);
    if (const int error = LineSettings::apply(fd, settings))
        return refuse(fd, CdrvIoError, LastError::describe(label + " (line settings)", error));
    port.reset(new SerialPort(fd, label, rxCapacity));
    port->m_byteTime = LineSettings::byteTime(settings);
    return 0;
}

int32_t SerialPort::failed(const std::string &what, int error)
{
    return LastError::set(deviceGone(error) ? CdrvDeviceLost : CdrvIoError,
                          LastError::describe(m_label + what, error));
}

int32_t SerialPort::setLine(int32_t baudCode)
{
    return configure(baudCode, true);
}

int32_t SerialPort::setSpeed(int32_t baudCode)
{
    return configure(baudCode, false);
}

int32_t SerialPort::configure(int32_t baudCode, bool wholeLine)
{
    const auto speed = LineSettings::speedForCode(baudCode);
    if (!speed)
        return LastError::set(CdrvBadBaud, "baud code " + std::to_string(baudCode) + " is not 4, 5 or 7");
    termios settings {};
    if (tcgetattr(m_fd, &settings) != 0)
        return failed("", errno);
    if (wholeLine)
        LineSettings::makeRaw(settings);
    cfsetispeed(&settings, *speed);
    cfsetospeed(&settings, *speed);
    if (const int error = LineSettings::apply(m_fd, settings))
        return failed(" (line settings)", error);
    m_byteTime = LineSettings::byteTime(settings);
    return 0;
}

int32_t SerialPort::raiseRts()
{
    int bits = TIOCM_RTS;
    if (::ioctl(m_fd, TIOCMBIS, &bits) == 0)
        return 0;
    // Pseudo-terminals have no modem lines; nothing relies on RTS there.
    if (errno == ENOTTY || errno == EINVAL)
        return 0;
    return failed(" (RTS)", errno);
}

int32_t SerialPort::pull()
{
    char chunk[512];
    while (m_rx.size() < m_rxCapacity) {
        const ssize_t got = ::read(m_fd, chunk, std::min(sizeof chunk, m_rxCapacity - m_rx.size()));
        if (got > 0) {
            m_rx.insert(m_rx.end(), chunk, chunk + got);
            continue;
        }
        if (got == 0)
            return LastError::set(CdrvDeviceLost, m_label + ": the device went away (hang-up)");
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN)
            return 0;
        // Any other read error on a tty is a hang-up in all but name; treating it as one
        // frees the port for a fresh open instead of leaving a descriptor that never reads.
        return LastError::set(CdrvDeviceLost, LastError::describe(m_label, errno));
    }
    return 0;
}

void SerialPort::take(size_t count, char *buffer)
{
    std::copy_n(m_rx.begin(), count, buffer);
    m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(count));
}

int32_t SerialPort::flushReceive()
{
    m_rx.clear();
    return tcflush(m_fd, TCIFLUSH) == 0 ? 0 : failed(" (flush)", errno);
}

int32_t SerialPort::flushTransmit()
{
    int pending = 0;
    if (!pendingOutput(pending) || (pending > 0 && !drain(pending)))
        return failed(" (flush)", errno);
    // With nothing pending there is nothing to discard, and discarding anyway is harmful: on
    // a pseudo-terminal it throws away what the far end's side has not taken up yet, so a
    // NAK written just before would often never arrive.
    if (pending <= 0)
        return 0;
    if (tcflush(m_fd, TCOFLUSH) != 0)
        return failed(" (flush)", errno);
    m_idleAt = std::chrono::steady_clock::now();
    return 0;
}

// What the driver still holds for the line. A pseudo-terminal hands every byte on at write
// time and always reports 0.
bool SerialPort::pendingOutput(int &count) const
{
    return ::ioctl(m_fd, TIOCOUTQ, &count) == 0;
}

// Lets the pending bytes go out: waits while the driver's queue shrinks, at most their line
// time at the speed set plus a margin, and gives up sooner when it stops shrinking (flow
// stuck), so the caller is held a few byte times at worst. `pending` keeps what is left.
bool SerialPort::drain(int &pending) const
{
    using namespace std::chrono;
    const nanoseconds byte = m_byteTime;
    const auto start = steady_clock::now();
    const auto deadline = start + pending * byte + drainMargin;
    const auto stuckAfter = fifoBytes * byte + drainMargin;
    auto moved = start;
    while (pending > 0) {
        const auto now = steady_clock::now();
        if (now >= deadline || now - moved >= stuckAfter)
            break;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(byte, deadline - now));
        int left = 0;
        if (!pendingOutput(left))
            return false;
        if (left < pending)
            moved = steady_clock::now();
        pending = left;
    }
    return true;
}

int32_t SerialPort::write(const char *data, size_t count)
{
    // The kernel's output buffer takes kilobytes, far more than a caller sends at once,
    // so the wait below only runs on a stalled line; it allows ten byte times at 1200 baud
    // per byte and then gives up rather than freeze the window.
    using namespace std::chrono;
    const auto begun = steady_clock::now();
    const auto deadline = begun + seconds(1) + milliseconds(10 * count);
    size_t done = 0;
    while (done < count) {
        const ssize_t put = ::write(m_fd, data + done, count - done);
        if (put > 0) {
            done += static_cast<size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0 && errno != EAGAIN)
            return failed("", errno);
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            return LastError::set(CdrvIoError, m_label + ": the device takes no more bytes ("
                                      + std::to_string(count - done) + " of " + std::to_string(count)
                                      + " not sent)");
        pollfd ready {m_fd, POLLOUT, 0};
        ::poll(&ready, 1, static_cast<int>(left));
    }
    m_idleAt = std::max(begun, m_idleAt) + static_cast<long>(count) * m_byteTime;
    return 0;
}

std::chrono::nanoseconds SerialPort::sendingFor() const
{
    using namespace std::chrono;
    const nanoseconds bySpeed = std::max(nanoseconds::zero(), m_idleAt - steady_clock::now());
    return std::max(bySpeed, driverSendingFor());
}

// What the driver still holds, at the speed set, and a character more while the UART's
// transmitter is not empty. A pseudo-terminal reports an empty queue and has no status
// register; a USB adapter's chip holds bytes that neither counts, which the speed covers.
// The busy bit is believed for one FIFO's time past the last byte known to be on its way:
// some drivers never report the transmitter empty (QEMU's FTDI adapter), and a line without
// flow control has sent its FIFO by then.
std::chrono::nanoseconds SerialPort::driverSendingFor() const
{
    using namespace std::chrono;
    int pending = 0;
    if (!pendingOutput(pending) || pending < 0)
        pending = 0;
    const nanoseconds queued = pending * m_byteTime;
    unsigned int status = 0;
    if (::ioctl(m_fd, TIOCSERGETLSR, &status) != 0 || (status & TIOCSER_TEMT))
        return queued;
    const bool believable = pending > 0 || steady_clock::now() < m_idleAt + fifoBytes * m_byteTime;
    return believable ? queued + m_byteTime : queued;
}

// Closing a port with bytes still queued makes the kernel wait until they have drained, up
// to the port's closing wait (30 s): whatever is still queued at close can no longer matter.
void SerialPort::discardQueued()
{
    int pending = 0;
    if (pendingOutput(pending) && pending > 0)
        ::tcflush(m_fd, TCOFLUSH);
}

bool SerialPort::hungUp() const
{
    pollfd state {m_fd, POLLIN, 0};
    return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR | POLLNVAL));
}

#pragma once

// What the fault cases share: the process's CPU time, wake-ups and peak memory, ways to
// make writing fail although the tests run as root, and a way to put stray bytes on the
// simulated line.

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

namespace Faults {

inline QByteArray readAll(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QByteArray readHead(const QString &name, qint64 size)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
}

inline bool writeAll(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// `header` followed by zero bytes up to `size`: a sparse file, so it costs no time or disk
// to make, and reads as one endless line.
inline bool writeSparse(const QString &name, const QByteArray &header, qint64 size)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(header) == header.size()
        && file.resize(size);
}

// `header` followed by empty lines up to `size`, written for real: many short items.
inline bool writeManyLines(const QString &name, const QByteArray &header, qint64 size)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(header) != header.size())
        return false;
    const QByteArray block = QByteArray("\r\n").repeated(512 * 1024);
    while (file.size() + block.size() <= size) {
        if (file.write(block) != block.size())
            return false;
    }
    return true;
}

// Bytes no station or pager interface sends: no digit, blank, sign or point (an answer's
// station number), no ACK or NAK, no line end.
inline QByteArray garbage(qsizetype size)
{
    static const QByteArray alphabet = [] {
        QByteArray bytes("\x00\x01\x07\x1b\x7fXZ?#", 9);
        for (int b = 0x80; b <= 0xff; ++b)
            bytes.append(char(b));
        return bytes;
    }();
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 2463534242u;
    for (char &b : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = alphabet.at(state % alphabet.size());
    }
    return bytes;
}

// CPU time the whole process has used, in milliseconds.
inline qint64 processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

// Counts how often this thread's event loop wakes up.
class WakeCounter
{
public:
    WakeCounter()
    {
        m_connection = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake,
                                        [this] { ++m_wakes; });
    }
    ~WakeCounter() { QObject::disconnect(m_connection); }
    WakeCounter(const WakeCounter &) = delete;
    WakeCounter &operator=(const WakeCounter &) = delete;
    int wakes() const { return m_wakes; }

private:
    QMetaObject::Connection m_connection;
    int m_wakes = 0;
};

// A line of /proc/self/status in kB ("VmRSS", "VmHWM").
inline qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Starts the peak (VmHWM) afresh from the present size, where the kernel allows it.
inline void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// A file size limit, as a disk that fills would stop a write. The signal the kernel sends
// is ignored, so the write fails with EFBIG as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool active() const { return m_active; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_active = false;
};

// A directory the program may not write in, as an ordinary user meets it. Root passes any
// mode bits through CAP_DAC_OVERRIDE, so that capability is taken out of this thread's
// effective set (it stays permitted and comes back afterwards), and the mode then applies.
class WriteProtectedDirectory
{
public:
    explicit WriteProtectedDirectory(const QString &path) : m_path(QFile::encodeName(path))
    {
        struct stat info{};
        ::stat(m_path.constData(), &info);
        m_oldMode = info.st_mode & 07777;
        ::chmod(m_path.constData(), 0555);
        m_header = {_LINUX_CAPABILITY_VERSION_3, 0};
        if (syscall(SYS_capget, &m_header, m_saved) == 0) {
            __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
            lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
            m_capsLowered = syscall(SYS_capset, &m_header, lowered) == 0;
        }
    }
    ~WriteProtectedDirectory()
    {
        if (m_capsLowered)
            syscall(SYS_capset, &m_header, m_saved);
        ::chmod(m_path.constData(), m_oldMode);
    }
    WriteProtectedDirectory(const WriteProtectedDirectory &) = delete;
    WriteProtectedDirectory &operator=(const WriteProtectedDirectory &) = delete;

    // True when creating a file in the directory really fails now.
    bool effective() const
    {
        const QByteArray probe = m_path + "/.write-probe";
        const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            return errno == EACCES;
        ::close(fd);
        ::unlink(probe.constData());
        return false;
    }

private:
    QByteArray m_path;
    mode_t m_oldMode = 0700;
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_capsLowered = false;
};

// Puts bytes on the simulated line from the far end, beside the simulator: it takes its
// own reference to the master side of the pseudo-terminal whose slave is `slavePath`.
class LineJammer
{
public:
    explicit LineJammer(const QString &slavePath)
    {
        const int wanted = slavePath.section(QLatin1Char('/'), -1).toInt();
        const QDir fds(QStringLiteral("/proc/self/fd"));
        for (const QString &entry : fds.entryList(QDir::System | QDir::Files)) {
            const int fd = entry.toInt();
            if (!QFile::symLinkTarget(fds.filePath(entry)).endsWith(QLatin1String("ptmx")))
                continue;
            int number = -1;
            if (::ioctl(fd, TIOCGPTN, &number) == 0 && number == wanted) {
                m_master = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
                break;
            }
        }
    }
    ~LineJammer()
    {
        if (m_master >= 0)
            ::close(m_master);
    }
    LineJammer(const LineJammer &) = delete;
    LineJammer &operator=(const LineJammer &) = delete;

    bool isValid() const { return m_master >= 0; }

    // All of `bytes` at once, or false when the line would not take them within a second.
    bool inject(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t put = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (put > 0) {
                done += put;
                continue;
            }
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0 && errno != EAGAIN)
                return false;
            pollfd ready{m_master, POLLOUT, 0};
            if (::poll(&ready, 1, 1000) <= 0)
                return false;
        }
        return true;
    }

private:
    int m_master = -1;
};

} // namespace Faults

#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// The far end of a line for the tests: a pseudo-terminal master. The library opens the
// slave through a comN link.
class PseudoTerminal
{
public:
    PseudoTerminal()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
            m_slave = QString::fromLocal8Bit(::ptsname(m_master));
    }
    ~PseudoTerminal() { hangUp(); }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isOpen() const { return m_master >= 0 && !m_slave.isEmpty(); }
    int master() const { return m_master; }
    QString slave() const { return m_slave; }

    // Points comN in dir at this line's slave, replacing an older link.
    bool link(const QString &dir, int n) const
    {
        const QString name = dir + "/com" + QString::number(n);
        QFile::remove(name);
        return QFile::link(m_slave, name);
    }

    bool send(const QByteArray &bytes) const
    {
        return ::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }

    // What the library sent, read until count bytes came or the time ran out.
    QByteArray receive(qsizetype count, int limitMs = 2000) const
    {
        QByteArray got;
        QDeadlineTimer deadline(limitMs);
        while (got.size() < count && !deadline.hasExpired()) {
            pollfd ready {m_master, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(deadline.remainingTime())) <= 0)
                break;
            char chunk[512];
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n <= 0)
                break;
            got.append(chunk, n);
        }
        return got;
    }

    void hangUp()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_slave;
};

// Runs a test in a temporary working directory with an empty device tree, so nothing
// can reach the machine's own serial ports.
class ScratchDirectory
{
public:
    ScratchDirectory() : m_previous(QDir::currentPath())
    {
        QDir(m_dir.path()).mkpath("root/dev");
        QDir::setCurrent(m_dir.path());
    }
    ~ScratchDirectory() { QDir::setCurrent(m_previous); }

    QString path() const { return m_dir.path(); }
    QString root() const { return m_dir.path() + "/root"; }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

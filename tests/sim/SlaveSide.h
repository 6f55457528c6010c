#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// The programs' side of the simulated line, opened the plain way a test can trust.
class SlaveSide
{
public:
    explicit SlaveSide(const QString &path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio {};
        if (m_fd >= 0 && tcgetattr(m_fd, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~SlaveSide()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SlaveSide(const SlaveSide &) = delete;
    SlaveSide &operator=(const SlaveSide &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool setSpeed(speed_t speed)
    {
        termios tio {};
        return tcgetattr(m_fd, &tio) == 0 && cfsetspeed(&tio, speed) == 0 && tcsetattr(m_fd, TCSANOW, &tio) == 0;
    }
    bool write(const QByteArray &bytes) { return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size(); }

    // Whatever arrives within ms (sooner once `enough` bytes are in), letting the
    // simulator's events run meanwhile.
    QByteArray read(int ms, qsizetype enough = -1)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms && (enough < 0 || got.size() < enough)) {
            QTest::qWait(2);
            got += drain();
            if (m_ended)
                break;
        }
        return got;
    }

    // True once the far end has closed (end of file or EIO).
    bool ended() const { return m_ended; }

private:
    QByteArray drain()
    {
        QByteArray got;
        char buffer[512];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                got.append(buffer, n);
                continue;
            }
            if (n == 0 || errno == EIO)
                m_ended = true;
            return got;
        }
    }

    int m_fd = -1;
    bool m_ended = false;
};

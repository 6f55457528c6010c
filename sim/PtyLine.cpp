#include "PtyLine.h"

#include "LineSettings.h"

#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

PtyLine::PtyLine(QObject *parent)
    : QObject(parent)
    , m_lateRead(new QTimer(this))
    , m_spin(new QTimer(this))
    , m_wire(new QTimer(this))
{
    m_wire->setSingleShot(true);
    m_wire->setTimerType(Qt::PreciseTimer);
    connect(m_wire, &QTimer::timeout, this, &PtyLine::deliverDue);
    // Interval 0: the thread's event loop runs it on every pass and never sleeps.
    connect(m_spin, &QTimer::timeout, this, [this] {
        if (m_readDelayMs == 0 && !readNow())
            m_spin->stop();
    });
    m_lateRead->setSingleShot(true);
    m_lateRead->setTimerType(Qt::PreciseTimer);
    connect(m_lateRead, &QTimer::timeout, this, [this] {
        if (readNow() && m_readNotifier)
            m_readNotifier->setEnabled(true);
    });
}

PtyLine::~PtyLine()
{
    close();
}

bool PtyLine::fail(const QString &what)
{
    m_error = what;
    drop();
    return false;
}

bool PtyLine::open(const QString &linkPath)
{
    close();
    m_error.clear();
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0)
        return fail(QStringLiteral("posix_openpt: ") + errnoText());
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        return fail(QStringLiteral("grantpt/unlockpt: ") + errnoText());
    char name[128] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0)
        return fail(QStringLiteral("ptsname: ") + errnoText());
    m_slavePath = QString::fromLocal8Bit(name);

    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slave < 0)
        return fail(m_slavePath + QStringLiteral(": ") + errnoText());
    termios tio {};
    if (tcgetattr(m_slave, &tio) != 0)
        return fail(m_slavePath + QStringLiteral(": tcgetattr: ") + errnoText());
    cfmakeraw(&tio);   // above all no echo: the line discipline must not answer for the stations
    cfsetspeed(&tio, B1200);
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0)
        return fail(m_slavePath + QStringLiteral(": tcsetattr: ") + errnoText());

    const QByteArray link = QFile::encodeName(linkPath);
    const QFileInfo existing(linkPath);
    if (existing.isSymLink() || existing.exists()) {
        if (!existing.isSymLink())
            return fail(linkPath + QStringLiteral(" exists and is not a link"));
        ::unlink(link.constData());
    }
    if (::symlink(name, link.constData()) != 0)
        return fail(linkPath + QStringLiteral(": ") + errnoText());
    m_linkPath = linkPath;

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyLine::readReady);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyLine::writeReady);
    if (m_busyRead)
        m_spin->start(0);
    return true;
}

void PtyLine::close()
{
    if (!m_linkPath.isEmpty()) {
        const QByteArray link = QFile::encodeName(m_linkPath);
        char target[256] = {};
        const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
        if (n > 0 && QString::fromLocal8Bit(target, n) == m_slavePath)
            ::unlink(link.constData());
        m_linkPath.clear();
    }
    drop();
}

void PtyLine::drop()
{
    // Later, not now: drop() may run inside the notifier's own signal.
    for (QSocketNotifier *notifier : {m_readNotifier, m_writeNotifier}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readNotifier = m_writeNotifier = nullptr;
    m_lateRead->stop();
    m_spin->stop();
    m_wire->stop();
    m_inbound.clear();
    m_outbound.clear();
    m_inboundIdleNs = m_outboundIdleNs = 0;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
    m_queue.clear();
}

void PtyLine::readReady()
{
    const int delay = m_readDelayMs;
    if (delay <= 0) {
        if (!readNow())
            m_readNotifier->setEnabled(false);
        return;
    }
    m_readNotifier->setEnabled(false);
    m_lateRead->start(delay);
}

// False when the line is gone: we hold the slave open, so EOF or EIO means that, and the
// caller stops listening rather than be woken without end.
bool PtyLine::readNow()
{
    if (m_master < 0)
        return false;
    char buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    const qint64 ns = nowNs();
    if (n > 0) {
        const QByteArray bytes(buffer, n);
        if (!m_lineTime) {
            emit bytesRead(bytes, ns, ns, 0);
            return true;
        }
        const qint64 byte = byteNs();
        const qint64 start = std::max(ns, m_inboundIdleNs);
        m_inboundIdleNs = start + n * byte;
        m_inbound.push_back({bytes, ns, start + byte, byte});
        scheduleDelivery();
        return true;
    }
    return n < 0 && (errno == EAGAIN || errno == EINTR);
}

void PtyLine::write(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    const QByteArray kept = bytes.left(std::max<qsizetype>(0, MaxQueued - m_queue.size() - qsizetype(m_outbound.size())));
    if (!m_lineTime) {
        m_queue.append(kept);
        writeReady();
        return;
    }
    const qint64 byte = byteNs();
    for (const char c : kept) {
        m_outboundIdleNs = std::max(nowNs(), m_outboundIdleNs) + byte;
        m_outbound.push_back({c, m_outboundIdleNs});
    }
    scheduleDelivery();
}

// One character's line time at the speed the program's side set: the master reports the
// slave's settings.
qint64 PtyLine::byteNs() const
{
    termios settings {};
    if (tcgetattr(m_master, &settings) != 0)
        cfsetospeed(&settings, B1200);
    return LineSettings::byteTime(settings).count();
}

// Hands on what has crossed by now; called on the wire timer, which may come a little late
// but never makes a byte arrive early. Each delivery may drop the line, so nothing is held
// across it.
void PtyLine::deliverDue()
{
    const qint64 now = nowNs();
    while (!m_inbound.empty() && m_inbound.front().arrivedNs <= now) {
        Inbound &head = m_inbound.front();
        const qsizetype count = std::min<qsizetype>(head.bytes.size(), (now - head.arrivedNs) / head.byteNs + 1);
        const Inbound arrived{head.bytes.left(count), head.readNs, head.arrivedNs, head.byteNs};
        head.bytes.remove(0, count);
        head.arrivedNs += count * head.byteNs;
        if (head.bytes.isEmpty())
            m_inbound.pop_front();
        emit bytesRead(arrived.bytes, arrived.readNs, arrived.arrivedNs, arrived.byteNs);
    }
    QByteArray due;
    while (!m_outbound.empty() && m_outbound.front().arrivedNs <= now) {
        due.append(m_outbound.front().byte);
        m_outbound.pop_front();
    }
    if (!due.isEmpty() && m_master >= 0) {
        m_queue.append(due);
        writeReady();
    }
    scheduleDelivery();
}

void PtyLine::scheduleDelivery()
{
    qint64 next = -1;
    if (!m_inbound.empty())
        next = m_inbound.front().arrivedNs;
    if (!m_outbound.empty() && (next < 0 || m_outbound.front().arrivedNs < next))
        next = m_outbound.front().arrivedNs;
    if (next < 0 || m_master < 0) {
        m_wire->stop();
        return;
    }
    const qint64 waitNs = std::max<qint64>(0, next - nowNs());
    m_wire->start(int((waitNs + 999'999) / 1'000'000));
}

void PtyLine::writeReady()
{
    while (!m_queue.isEmpty()) {
        const ssize_t n = ::write(m_master, m_queue.constData(), size_t(m_queue.size()));
        if (n > 0) {
            emit bytesWritten(m_queue.left(n), nowNs());
            m_queue.remove(0, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            break;
        } else {
            m_queue.clear();
        }
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_queue.isEmpty());
}

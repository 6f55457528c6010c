// The serial library, Send Data and Obrelle's log-on and receive on a real kernel driver:
// run inside the test guest against com1 -> VELGRIN_DEVICE (/dev/ttyS1 or /dev/ttyUSB0),
// with stationsim on the host at the line's far end. The host judges what reached it;
// "@@ ..." lines on standard output tell it what was sent, ask it to pull the USB adapter
// out ("@@ pull") and plug it back ("@@ plug"), and to stop and go on reading a line's far
// end ("@@ hold ttyS1", "@@ release ttyS1").
// The protocol classes are driven directly, on the real library and real timers: they are
// all of the programs that touch the line, and the guest then needs no display or fonts.

#include "AddressCode.h"
#include "BaudTable.h"
#include "ExampleConfigs.h"
#include "Logon.h"
#include "LogonView.h"
#include "Messages.h"
#include "PortWatcher.h"
#include "Receiver.h"
#include "RecordingSendView.h"
#include "SerialLine.h"
#include "StationProgrammer.h"
#include "TerminalPort.h"
#include "TerminalState.h"
#include "TerminalWaits.h"
#include "TimedWaits.h"
#include "TimingWaits.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using Outcome = StationProgrammer::Outcome;

namespace {

void tellHost(const QByteArray &line)
{
    std::fputs(("@@ " + line + '\n').constData(), stdout);
    std::fflush(stdout);
}

// Sleeps in the event loop (QTest::qWait polls in 10 ms steps, which would count as CPU here).
void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

qint64 cpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

// Asks the host to stop reading the line's far end, so that the driver's queue fills and
// stays full, until release() or the end of the scope. After releaseWithin(cap) it lets go
// by itself once `cap` has passed, so a close stuck behind the queue still ends.
class FarEndHold
{
public:
    explicit FarEndHold(QByteArray device) : m_device(std::move(device)) { tellHost("hold " + m_device); }
    ~FarEndHold() { release(); }
    FarEndHold(const FarEndHold &) = delete;
    FarEndHold &operator=(const FarEndHold &) = delete;

    void releaseWithin(std::chrono::milliseconds cap)
    {
        m_watchdog = std::thread([this, cap] {
            std::unique_lock lock(m_mutex);
            if (!m_wake.wait_for(lock, cap, [this] { return m_released; }))
                releaseLocked();
        });
    }

    void release()
    {
        {
            const std::lock_guard lock(m_mutex);
            releaseLocked();
        }
        m_wake.notify_all();
        if (m_watchdog.joinable())
            m_watchdog.join();
    }

private:
    void releaseLocked()
    {
        if (!m_released)
            tellHost("release " + m_device);
        m_released = true;
    }

    QByteArray m_device;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_released = false;
    std::thread m_watchdog;
};

QByteArray lineStatus(int fd)
{
    unsigned int status = 0;
    if (::ioctl(fd, TIOCSERGETLSR, &status) != 0)
        return QByteArray("fails (") + std::strerror(errno) + ')';
    return QByteArray::number(status) + ((status & TIOCSER_TEMT) ? " (transmitter empty)" : " (transmitter busy)");
}

// The bytes the programs hand to the library, as they left.
class NotingLine : public CommDrvLine
{
public:
    QByteArray sent;
    int32_t PutByte(int32_t port, int32_t byte) override
    {
        sent.append(char(byte));
        return CommDrvLine::PutByte(port, byte);
    }
    int32_t PutPacket(int32_t port, int32_t count, const char *buffer) override
    {
        sent.append(buffer, count);
        return CommDrvLine::PutPacket(port, count, buffer);
    }
};

// Calls `hook` on every progress text of the stream.
class HookedView : public RecordingSendView
{
public:
    std::function<void()> hook;
    void setSendinfo(const QString &text) override
    {
        RecordingSendView::setSendinfo(text);
        if (hook && text != QLatin1String("Waiting for pager to clear its memory"))
            hook();
    }
};

class NoteMessages : public Messages
{
public:
    QStringList texts;
    void show(const QString &text, const QString &reason) override { texts << text + u'|' + reason; }
};

class NoteLogonView : public LogonView
{
public:
    QString caption;
    bool failure = false;
    void hideConnectinfo() override {}
    void showConnectinfo(const QString &text, bool failed) override { caption = text; failure = failed; }
    void message(const QString &, const QString &) override {}
    void focusTermTxt() override {}
};

} // namespace

class TestDrivers : public QObject
{
    Q_OBJECT

    QString m_device = QString::fromLocal8Bit(qgetenv("VELGRIN_DEVICE"));
    NotingLine m_line;
    HookedView m_view;
    int m_earlyPauses = 0; // pauses of the last send shorter than nominal on its own clock
    bool m_pulled = false;

    bool usb() const { return m_device.contains(QLatin1String("ttyUSB")); }

    Outcome send(const PagerConfig &config, int station)
    {
        PagerConfig record = config;
        SetupState state;
        state.SetStation(int16_t(station));
        SetBaudRate(record, state, 2);
        SetPortNumber(record, state, 1);
        m_line.sent.clear();
        TimedWaits real(state, m_line);
        TimingWaits waits(real);
        StationProgrammer programmer(record, state, m_line, waits, m_view);
        const Outcome outcome = programmer.sendData();
        m_earlyPauses = int(TimingWaits::early(waits.pauses).size());
        return outcome;
    }

    int modemLines()
    {
        int bits = 0;
        return ::ioctl(CdrvReceiveDescriptor(0), TIOCMGET, &bits) == 0 ? bits : -1;
    }

    // What the driver was told: the speed and the character format.
    static bool lineIs(int fd, speed_t speed)
    {
        termios t {};
        return tcgetattr(fd, &t) == 0 && cfgetospeed(&t) == speed && cfgetispeed(&t) == speed
            && (t.c_cflag & CSIZE) == CS8 && !(t.c_cflag & (PARENB | CSTOPB | CRTSCTS))
            && !(t.c_iflag & (IXON | IXOFF)) && (t.c_cflag & CREAD);
    }

    // Until the far end stops reading, a byte crosses at once; then one stays in the UART.
    static bool transmitterHeld(int fd)
    {
        for (int tries = 0; tries < 50; ++tries) {
            if (PutByte(0, 'U') != 0)
                return false;
            idle(100);
            unsigned int status = 0;
            if (::ioctl(fd, TIOCSERGETLSR, &status) == 0 && !(status & TIOCSER_TEMT))
                return true;
        }
        return false;
    }

    struct CloseFigures
    {
        int queued = -1;
        qint64 leftUs = 0;
        int32_t result = -1;
        qint64 closeMs = -1;
    };

    // Closes port 0 and tells the host what the driver held just before and how long it took.
    static CloseFigures closeAndReport(const QByteArray &what, int fd)
    {
        CloseFigures figures;
        ::ioctl(fd, TIOCOUTQ, &figures.queued);
        const QByteArray status = lineStatus(fd);
        figures.leftUs = CdrvTransmitTimeLeft(0);
        QElapsedTimer clock;
        clock.start();
        figures.result = UnInitializePort(0);
        figures.closeMs = clock.elapsed();
        tellHost("close " + what + ": TIOCOUTQ " + QByteArray::number(figures.queued) + ", TIOCSERGETLSR "
                 + status + ", CdrvTransmitTimeLeft " + QByteArray::number(figures.leftUs / 1000)
                 + " ms, UnInitializePort " + QByteArray::number(figures.result) + " in "
                 + QByteArray::number(figures.closeMs) + " ms");
        return figures;
    }

    bool waitForDevice(const char *path, bool present)
    {
        return QTest::qWaitFor([&] { return QFileInfo::exists(QLatin1String(path)) == present; }, 10000);
    }

    void pull()
    {
        tellHost("pull");
        m_pulled = true;
    }

    // The adapter back, as the old device: nothing holds the pulled one any more.
    bool plug()
    {
        tellHost("plug");
        m_pulled = false;
        return waitForDevice("/dev/ttyUSB0", true) && !QFileInfo::exists(QStringLiteral("/dev/ttyUSB1"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_device.startsWith(QLatin1String("/dev/tty")), "VELGRIN_DEVICE names no device");
        QVERIFY(QFileInfo(QStringLiteral("com1")).isSymLink());
    }

    // A failed case leaves the adapter in for the next.
    void cleanup()
    {
        m_view.hook = nullptr;
        if (IsPortAvailable(0) == 0)
            UnInitializePort(0);
        if (m_pulled)
            plug();
    }

    // The host's stations answer the first two calls wrongly and station 20 is absent:
    // both attempts fail each time, and each failed one ends in a NAK the host must see.
    void stationCallWithWrongAnswerAndNone()
    {
        QCOMPARE(send(ExampleConfigs::full(1), 1), Outcome::NoConnection);
        QCOMPARE(m_view.connectText, QStringLiteral("Failure communicating with station 1"));
        QCOMPARE(send(ExampleConfigs::full(1), 20), Outcome::NoConnection);
        QCOMPARE(m_view.connectText, QStringLiteral("Failure communicating with station 20"));
        QCOMPARE(m_view.connectColour, SendView::Colour::Failure);
        QCOMPARE(m_line.sent.count('\x15'), 2);
        tellHost("expect call 1 NAK call 1 NAK call 20 NAK call 20 NAK");
    }

    // What a pseudo-terminal cannot show: modem lines, the driver's speed and format,
    // exclusive use and the release.
    void libraryOnTheDriver()
    {
        QCOMPARE(InitializePort(0, 0, 0, 0, 9, 0, 1280, 512, 0), 0);
        const int fd = CdrvReceiveDescriptor(0);
        QCOMPARE(SetPortCharacteristics(0, 4, 0, 3, 0, 4), 0);
        int rts = TIOCM_RTS;
        QCOMPARE(::ioctl(fd, TIOCMBIC, &rts), 0);
        QCOMPARE(modemLines() & TIOCM_RTS, 0);
        QCOMPARE(RtsOn(0), 0);
        QCOMPARE(modemLines() & TIOCM_RTS, TIOCM_RTS);

        // Each speed with a byte at it, for the host to see the speed it came at.
        const std::pair<int32_t, speed_t> speeds[] = {{4, B1200}, {5, B2400}, {7, B9600}};
        for (const auto &[code, speed] : speeds) {
            QCOMPARE(SetBaud(0, code), 0);
            QVERIFY2(lineIs(fd, speed), qPrintable(QString::number(code)));
            QCOMPARE(PutByte(0, 0), 0);
            QCOMPARE(tcdrain(fd), 0);
            // The host reads the speed when it reads the byte: give it time to.
            QTest::qWait(300);
        }
        QCOMPARE(SetPortCharacteristics(0, 4, 0, 3, 0, 4), 0);
        QVERIFY(lineIs(fd, B1200));
        tellHost("expect speed 1200 2400 9600");

        QCOMPARE(InitializePort(1, 0, 0, 0, 9, 0, 1280, 512, 0), int32_t(CdrvPortInUse));
        const int other = ::open(qPrintable(m_device), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(other >= 0);
        QVERIFY(::flock(other, LOCK_EX | LOCK_NB) != 0);
        QCOMPARE(UnInitializePort(0), 0);
        QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), 0);
        int exclusive = 1;
        QCOMPARE(::ioctl(other, TIOCGEXCL, &exclusive), 0);
        QCOMPARE(exclusive, 0);
        ::close(other);
        QCOMPARE(IsPortAvailable(0), int32_t(CdrvNotOpen));
    }

    // Com N without a link counts the devices the kernel really has: ttyS ports with a UART
    // (the console excepted), then ttyUSB; a link to the console is refused.
    void deviceNaming()
    {
        QCOMPARE(InitializePort(0, 1, 0, 0, 9, 0, 1280, 512, 0), 0);
        char path[64] = {};
        const QByteArray fdLink = "/proc/self/fd/" + QByteArray::number(CdrvReceiveDescriptor(0));
        QVERIFY(::readlink(fdLink.constData(), path, sizeof path - 1) > 0);
        QCOMPARE(QByteArray(path), QByteArray("/dev/ttyUSB0"));
        QCOMPARE(UnInitializePort(0), 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/ttyS0"), QStringLiteral("com3")));
        QCOMPARE(InitializePort(0, 2, 0, 0, 9, 0, 1280, 512, 0), int32_t(CdrvNoDevice));
        QVERIFY(QFile::remove(QStringLiteral("com3")));
    }

    // Exit in the middle of a 1200-baud download with the line behind: the far end takes no
    // more bytes, the driver's queue is full. Linux makes a close wait for such a queue to
    // drain, up to the port's closing wait (30 s); the library discards it, which leaves the
    // close waiting only for the UART's transmitter, up to twice its FIFO's line time plus
    // 20 ms (0.31 s for a 16550 at 1200 baud; the bound leaves room for a busy machine).
    // Then the port opens again and a call gets its answer and nothing else.
    void closeWithQueueHeld()
    {
        const QByteArray name = QFileInfo(m_device).fileName().toLatin1();
        QCOMPARE(InitializePort(0, 0, 0, 0, 9, 0, 1280, 512, 0), 0);
        QCOMPARE(SetPortCharacteristics(0, 4, 0, 3, 0, 4), 0);
        const int fd = CdrvReceiveDescriptor(0);
        const QByteArray block(4000, 'U'); // no address code: the stations ignore it
        if (usb()) {
            QCOMPARE(PutPacket(0, int32_t(block.size()), block.constData()), 0);
            closeAndReport(name + " (not held)", fd);
            QSKIP("QEMU's adapter passes every byte to the host at once, and a host end that stops "
                  "reading freezes the whole guest: no queue can be held here");
        }
        FarEndHold hold(name);
        QVERIFY2(transmitterHeld(fd), "the far end kept taking bytes");
        QCOMPARE(PutPacket(0, int32_t(block.size()), block.constData()), 0);
        hold.releaseWithin(std::chrono::seconds(5));
        const auto [queued, leftUs, closed, closeMs] = closeAndReport(name, fd);
        hold.release();
        QCOMPARE(closed, 0);
        // All but what the UART's FIFO took (16 bytes) and a little slack.
        QVERIFY2(queued >= block.size() - 32, "the driver did not keep the block");
        QVERIFY(leftUs >= qint64(queued) * 10'000'000 / 1200);
        QVERIFY2(closeMs < 500, "the close waited for the queue");

        QCOMPARE(InitializePort(0, 0, 0, 0, 9, 0, 1280, 512, 0), 0);
        QCOMPARE(SetPortCharacteristics(0, 7, 0, 3, 0, 4), 0);
        QCOMPARE(PutByte(0, addressCode(6)), 0);
        QTRY_VERIFY(BytesInReceiveBuffer(0) >= 4);
        idle(200);
        QCOMPARE(BytesInReceiveBuffer(0), 4);
        char answer[4] = {};
        QCOMPARE(GetPacket(0, 4, answer), 0);
        QCOMPARE(QByteArray(answer, 4), QByteArray("06OK"));
        QCOMPARE(PutByte(0, 0x15), 0);
        QCOMPARE(tcdrain(CdrvReceiveDescriptor(0)), 0);
        QCOMPARE(UnInitializePort(0), 0);
    }

    // 64 inputs, full groups and dial strings at 9600 baud. The host compares the bytes
    // it decoded with these and checks the pauses.
    void sendData()
    {
        QCOMPARE(send(ExampleConfigs::full(64), 3), Outcome::Sent);
        QCOMPARE(m_earlyPauses, 0);
        QCOMPARE(m_view.connectText, QStringLiteral("Page data sent to pager interface"));
        QCOMPARE(m_view.connectColour, SendView::Colour::Normal);
        const QByteArray stream = m_line.sent.mid(m_line.sent.lastIndexOf("APG\r") + 4);
        tellHost("expect download complete bytes " + QByteArray::number(stream.size()) + " sha256 "
                 + QCryptographicHash::hash(stream, QCryptographicHash::Sha256).toHex());
        QCOMPARE(IsPortAvailable(0), int32_t(CdrvNotOpen));
    }

    // Log-on to station 5, its panel's greeting (lines, and a prompt without CR), a command.
    void obrelleLogonAndReceive()
    {
        TerminalState state;
        state.BaudRate = 9600;
        state.BaudCode = BaudTable::codeFor(9600);
        state.StationNumber = 5;
        state.AddressCode = int16_t(addressCode(5));
        NoteMessages messages;
        TerminalPort port(state, m_line, messages);
        port.OpenPort();
        QCOMPARE(IsPortAvailable(0), 0);
        PortWatcher watcher(0);
        TerminalWaits waits(state.TimerExpired);
        Receiver receiver(state, m_line);
        QString shown;
        QList<qint64> promptMs;
        QElapsedTimer clock;
        connect(&receiver, &Receiver::textArrived, this, [&](const QString &piece) {
            shown += piece;
            if (piece.endsWith(QLatin1String("> ")))
                promptMs << clock.elapsed();
        });
        connect(&watcher, &PortWatcher::activity, &receiver, &Receiver::portActivity);
        connect(&watcher, &PortWatcher::activity, &waits, &TerminalWaits::portActivity);

        NoteLogonView view;
        receiver.setSuspended(true);
        Logon(state, m_line, waits, view).run();
        receiver.setSuspended(false);
        QCOMPARE(view.caption, QStringLiteral("Connection established with station 5 "));
        QVERIFY(!view.failure);
        clock.start();
        receiver.portActivity();
        QTRY_VERIFY(shown.endsWith(QLatin1String("STATION 05> ")));
        QVERIFY2(shown.contains(QLatin1String("TYPE HELP FOR COMMANDS\r\n")), qPrintable(shown));

        shown.clear();
        for (const char key : QByteArray("HELP\r"))
            QCOMPARE(PutByte(0, key), 0);
        QTRY_VERIFY(shown.endsWith(QLatin1String("STATION 05> ")));
        QVERIFY2(shown.contains(QLatin1String("COMMANDS: HELP STATUS INPUTS EXIT\r\n")), qPrintable(shown));
        QVERIFY(messages.texts.isEmpty());
        port.ClosePort();
    }

    // The adapter pulled out while the stream goes: the port is let go of at once (so the
    // adapter comes back under its old name), the rest of the send idles to its outcome,
    // and after the replug the next Send Data works.
    void adapterPulledDuringDownload()
    {
        if (!usb())
            QSKIP("only an adapter can be pulled out");
        bool asked = false;
        QElapsedTimer sincePull;
        qint64 releasedMs = -1, cpuAtPull = 0;
        m_view.hook = [&] {
            if (!asked) {
                asked = true;
                pull();
                sincePull.start();
                cpuAtPull = cpuMs();
            } else if (releasedMs < 0 && CdrvReceiveDescriptor(0) < 0) {
                releasedMs = sincePull.elapsed();
            }
        };
        QCOMPARE(send(ExampleConfigs::full(8), 4), Outcome::NotAcknowledged);
        m_view.hook = nullptr;
        const qint64 wallMs = sincePull.elapsed(), cpu = cpuMs() - cpuAtPull;
        qInfo("pulled during a download: released %lld ms after the request, %lld ms CPU in %lld ms",
              static_cast<long long>(releasedMs), static_cast<long long>(cpu), static_cast<long long>(wallMs));
        QCOMPARE(m_view.connectText, QStringLiteral("Error in sending data"));
        QCOMPARE(m_view.connectColour, SendView::Colour::Failure);
        QVERIFY(releasedMs >= 0 && releasedMs < 2000);
        QVERIFY2(cpu * 20 < wallMs, "the send used the CPU while the adapter was gone");

        QVERIFY(plug());
        QCOMPARE(send(ExampleConfigs::full(1), 4), Outcome::Sent);
        QCOMPARE(m_view.connectText, QStringLiteral("Page data sent to pager interface"));
    }

    // The adapter pulled out while Obrelle sits idle on the port: the library lets go of it
    // by itself with no CPU spent, a key then fails with "not open" (the window's
    // "COMM-DRV Output error 1"), and choosing Com 1 again after the replug works.
    void adapterPulledWhileObrelleIdle()
    {
        if (!usb())
            QSKIP("only an adapter can be pulled out");
        TerminalState state;
        state.BaudCode = BaudTable::codeFor(1200);
        state.WindowShown = true;
        NoteMessages messages;
        TerminalPort port(state, m_line, messages);
        port.OpenPort();
        QCOMPARE(IsPortAvailable(0), 0);
        PortWatcher watcher(0);
        Receiver receiver(state, m_line);
        connect(&watcher, &PortWatcher::activity, &receiver, &Receiver::portActivity);
        QTest::qWait(200);

        QElapsedTimer clock;
        clock.start();
        pull();
        QTRY_VERIFY_WITH_TIMEOUT(CdrvReceiveDescriptor(0) < 0, 5000);
        const qint64 releasedMs = clock.elapsed();
        QVERIFY(waitForDevice("/dev/ttyUSB0", false));
        const qint64 cpuBefore = cpuMs();
        idle(1000);
        const qint64 cpu = cpuMs() - cpuBefore;
        qInfo("pulled while idle: released %lld ms after the request, then %lld ms CPU in 1 s",
              static_cast<long long>(releasedMs), static_cast<long long>(cpu));
        QVERIFY2(cpu < 100, qPrintable(QString::number(cpu)));
        QCOMPARE(PutByte(0, 'x'), int32_t(CdrvNotOpen));

        QVERIFY(plug());
        port.ComOpt_Click(0);
        QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join(u'/')));
        QCOMPARE(IsPortAvailable(0), 0);
        QVERIFY(lineIs(CdrvReceiveDescriptor(0), B1200));
        port.ClosePort();
    }
};

QTEST_GUILESS_MAIN(TestDrivers)
#include "tst_drivers.moc"

#include "LineSettings.h"
#include "PseudoTerminal.h"
#include "commdrv.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <future>
#include <memory>
#include <termios.h>

namespace {

constexpr auto childMode = "SERIAL_TEST_OPEN_COM1";

int32_t openPort(int32_t port = 0, int32_t index = 0, int32_t rxSize = 2048)
{
    return InitializePort(port, index, 0, 0, 9, 0, rxSize, 512, 0);
}

QByteArray takeAll(int32_t port)
{
    QByteArray bytes(BytesInReceiveBuffer(port), '\0');
    if (GetPacket(port, static_cast<int32_t>(bytes.size()), bytes.data()) != 0)
        return "GetPacket failed";
    return bytes;
}

uint outputSpeed()
{
    termios settings {};
    tcgetattr(CdrvReceiveDescriptor(0), &settings);
    return cfgetospeed(&settings);
}

} // namespace

class TestCommDrv : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void closedPortAnswers();
    void noDevice_data();
    void noDevice();
    void packetsOldestFirst();
    void everyByteValuePassesUnchanged();
    void receiveBufferKeepsWhatDoesNotFit();
    void baudCodes_data();
    void baudCodes();
    void exclusiveOpen();
    void permissionDenied();
    void flushes();
    void transmitFlushKeepsWhatWasWritten();
    void transmitTimeLeft_data();
    void transmitTimeLeft();
    void stalledLineGivesUp();
    void hangUpReleasesPort();
    void pseudoTerminalQuirksTolerated();
    void refusedSettingsJudgedByTheLine_data();
    void refusedSettingsJudgedByTheLine();

private:
    std::unique_ptr<ScratchDirectory> m_scratch;
    std::unique_ptr<PseudoTerminal> m_line;
};

void TestCommDrv::init()
{
    m_scratch = std::make_unique<ScratchDirectory>();
    CdrvSetDeviceRoot(m_scratch->root().toLocal8Bit().constData());
    m_line = std::make_unique<PseudoTerminal>();
    QVERIFY(m_line->isOpen());
    QVERIFY(m_line->link(m_scratch->path(), 1));
}

void TestCommDrv::cleanup()
{
    for (int32_t port = 0; port < 8; ++port)
        if (IsPortAvailable(port) == 0)
            UnInitializePort(port);
    m_line.reset();
    m_scratch.reset();
}

void TestCommDrv::closedPortAnswers()
{
    QCOMPARE(IsPortAvailable(0), CdrvNotOpen);
    QCOMPARE(BytesInReceiveBuffer(0), 0);
    char byte = 'x';
    QCOMPARE(GetPacket(0, 1, &byte), CdrvNotOpen);
    QCOMPARE(byte, 'x');
    QCOMPARE(PutByte(0, 65), CdrvNotOpen);
    QVERIFY(QByteArray(CdrvLastError()).contains("not open"));

    QCOMPARE(IsPortAvailable(-1), CdrvBadArgument);
    QCOMPARE(openPort(8), CdrvBadArgument);
}

void TestCommDrv::noDevice_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("linkTarget");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("nothing at Com 2") << 1 << QString() << QByteArray("Com 2: no serial device (no com2 link");
    QTest::newRow("Com 0") << -1 << QString() << QByteArray("Com 0: no serial device (no com0 link");
    QTest::newRow("largest index") << INT32_MAX << QString()
                                   << QByteArray("Com 2147483648: no serial device (no com2147483648 link");
    QTest::newRow("dangling link") << 1 << QString("/nonexistent/ttyUSB9") << QByteArray("com2 (/nonexistent/ttyUSB9)");
    QTest::newRow("not a tty") << 1 << QString("/dev/null") << QByteArray("not a serial device");
}

static qsizetype openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System | QDir::Files).size();
}

void TestCommDrv::noDevice()
{
    QFETCH(int, index);
    QFETCH(QString, linkTarget);
    QFETCH(QByteArray, reason);
    if (!linkTarget.isEmpty())
        QVERIFY(QFile::link(linkTarget, "com2"));
    const qsizetype descriptors = openDescriptors();
    QCOMPARE(openPort(0, index), CdrvNoDevice);
    QCOMPARE(openDescriptors(), descriptors); // a refused device is not left open
    QVERIFY2(QByteArray(CdrvLastError()).contains(reason), CdrvLastError());
    QVERIFY2(!QByteArray(CdrvLastError()).contains("dialout"), CdrvLastError()); // not a permission problem
    QCOMPARE(IsPortAvailable(0), CdrvNotOpen);
}

void TestCommDrv::packetsOldestFirst()
{
    QCOMPARE(openPort(), 0);
    QCOMPARE(IsPortAvailable(0), 0);
    QVERIFY(m_line->send("05\x01\x02"));
    QTRY_COMPARE(BytesInReceiveBuffer(0), 4);
    char answer[4] = {};
    QCOMPARE(GetPacket(0, 4, answer), 0);
    QCOMPARE(QByteArray(answer, 4), QByteArray("05\x01\x02"));
    QCOMPARE(BytesInReceiveBuffer(0), 0);

    // Asking for more than is waiting takes nothing.
    QVERIFY(m_line->send("AB"));
    QTRY_COMPARE(BytesInReceiveBuffer(0), 2);
    char blanks[4] = {' ', ' ', ' ', ' '};
    QCOMPARE(GetPacket(0, 4, blanks), CdrvBadArgument); // not a lost device: the port stays open
    QCOMPARE(QByteArray(blanks, 4), QByteArray("    "));
    QCOMPARE(takeAll(0), QByteArray("AB"));
}

void TestCommDrv::everyByteValuePassesUnchanged()
{
    QCOMPARE(openPort(), 0);
    QCOMPARE(SetPortCharacteristics(0, 7, 0, 3, 0, 4), 0);
    QCOMPARE(SetPortCharacteristics(0, 7, 2, 3, 0, 4), CdrvBadArgument); // even parity
    QCOMPARE(SetPortCharacteristics(0, 7, 0, 2, 0, 4), CdrvBadArgument); // 7 data bits
    QByteArray all;
    for (int value = 0; value < 256; ++value)
        all.append(static_cast<char>(value));

    QCOMPARE(PutByte(0, 0x5B), 0);
    QCOMPARE(PutPacket(0, static_cast<int32_t>(all.size()), all.constData()), 0);
    QCOMPARE(PutByte(0, 0x0D), 0);
    QCOMPARE(PutByte(0, 0), 0);
    QCOMPARE(PutByte(0, 255), 0);
    QCOMPARE(m_line->receive(all.size() + 4), "\x5B" + all + QByteArray("\x0D\x00\xFF", 3));
    QCOMPARE(PutByte(0, 256), CdrvBadArgument);
    QCOMPARE(PutByte(0, -1), CdrvBadArgument);
    QCOMPARE(PutPacket(0, -1, all.constData()), CdrvBadArgument);
    QCOMPARE(PutPacket(0, 1, nullptr), CdrvBadArgument);
    QCOMPARE(PutPacket(0, 0, nullptr), 0); // nothing to send needs no room

    QVERIFY(m_line->send(all));
    QTRY_COMPARE(BytesInReceiveBuffer(0), 256);
    QCOMPARE(takeAll(0), all);
}

void TestCommDrv::receiveBufferKeepsWhatDoesNotFit()
{
    QCOMPARE(openPort(0, 0, 16), 0);
    QByteArray sent;
    for (int i = 0; i < 40; ++i)
        sent.append(static_cast<char>('a' + i % 26));
    QVERIFY(m_line->send(sent.left(10)));
    QTRY_COMPARE(BytesInReceiveBuffer(0), 10);
    // A part-filled buffer takes only what is left of its size.
    QVERIFY(m_line->send(sent.mid(10)));
    QTRY_COMPARE(BytesInReceiveBuffer(0), 16);
    QByteArray got = takeAll(0);
    QTRY_COMPARE(BytesInReceiveBuffer(0), 16);
    got += takeAll(0);
    QTRY_COMPARE(BytesInReceiveBuffer(0), 8);
    got += takeAll(0);
    QCOMPARE(got, sent);
    QCOMPARE(openPort(1, 0, 0), CdrvBadArgument);
}

void TestCommDrv::baudCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("result");
    QTest::addColumn<uint>("speed");
    QTest::newRow("4 is 1200") << 4 << 0 << uint(B1200);
    QTest::newRow("5 is 2400") << 5 << 0 << uint(B2400);
    QTest::newRow("7 is 9600") << 7 << 0 << uint(B9600);
    QTest::newRow("0 refused") << 0 << int(CdrvBadBaud) << uint(B2400);
    QTest::newRow("6 refused") << 6 << int(CdrvBadBaud) << uint(B2400);
    QTest::newRow("8 refused") << 8 << int(CdrvBadBaud) << uint(B2400);
    QTest::newRow("-1 refused") << -1 << int(CdrvBadBaud) << uint(B2400);
}

void TestCommDrv::baudCodes()
{
    QFETCH(int, code);
    QFETCH(int, result);
    QFETCH(uint, speed);
    QCOMPARE(openPort(), 0);
    QCOMPARE(SetPortCharacteristics(0, 5, 0, 3, 0, 4), 0);
    QCOMPARE(SetPortCharacteristics(0, code, 0, 3, 0, 4), result);
    QCOMPARE(outputSpeed(), speed);

    QCOMPARE(SetBaud(0, 5), 0);
    QCOMPARE(SetBaud(0, code), result);
    QCOMPARE(outputSpeed(), speed);
    if (result != 0)
        QVERIFY(QByteArray(CdrvLastError()).contains("baud code"));
}

void TestCommDrv::exclusiveOpen()
{
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(childMode, m_scratch->root());
    child.setProcessEnvironment(environment);
    child.setWorkingDirectory(m_scratch->path());

    QCOMPARE(openPort(0), 0);
    QCOMPARE(openPort(0), CdrvAlreadyOpen);
    QCOMPARE(openPort(1), CdrvPortInUse);
    QVERIFY(QByteArray(CdrvLastError()).contains("in use"));
    QCOMPARE(IsPortAvailable(1), CdrvNotOpen);
    child.start();
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitCode(), int(CdrvPortInUse));

    QCOMPARE(UnInitializePort(0), 0);
    child.start();
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(openPort(1), 0);
}

void TestCommDrv::permissionDenied()
{
    if (::geteuid() == 0)
        QSKIP("root opens any device");
    QVERIFY(QFile::setPermissions(m_line->slave(), QFileDevice::ReadOwner));
    QCOMPARE(openPort(), CdrvPermissionDenied);
    QVERIFY(QByteArray(CdrvLastError()).contains("dialout"));
}

void TestCommDrv::flushes()
{
    QCOMPARE(openPort(), 0);
    QVERIFY(m_line->send("old"));
    QTRY_COMPARE(BytesInReceiveBuffer(0), 3);
    // More bytes that only the kernel holds so far.
    QVERIFY(m_line->send("older"));
    pollfd ready {CdrvReceiveDescriptor(0), POLLIN, 0};
    QCOMPARE(::poll(&ready, 1, 2000), 1);
    QCOMPARE(FlushReceiveBuffer(0), 0);
    QCOMPARE(BytesInReceiveBuffer(0), 0);
    QVERIFY(m_line->send("new"));
    QTRY_COMPARE(BytesInReceiveBuffer(0), 3);
    QCOMPARE(takeAll(0), QByteArray("new"));

    QCOMPARE(FlushTransmitBuffer(0), 0);
    QCOMPARE(PutByte(0, 'Z'), 0);
    QCOMPARE(m_line->receive(1), QByteArray("Z"));
}

// The far end reads late, as a loaded station does: a byte written just before a transmit
// flush still arrives, every time.
void TestCommDrv::transmitFlushKeepsWhatWasWritten()
{
    QCOMPARE(openPort(), 0);
    QByteArray sent;
    for (int i = 0; i < 64; ++i) {
        sent.append(char(0x80 + i));
        QCOMPARE(PutByte(0, 0x80 + i), 0);
        QCOMPARE(FlushTransmitBuffer(0), 0);
        QTest::qSleep(1);
    }
    QCOMPARE(m_line->receive(sent.size()).toHex(' '), sent.toHex(' '));
}

// With no flow control the line carries exactly 10 bits a byte at the speed set; a
// pseudo-terminal reports nothing queued, so the speed alone tells when the wire is clear.
// Bytes written while others still cross queue behind them.
void TestCommDrv::transmitTimeLeft_data()
{
    QTest::addColumn<int>("baudCode");
    QTest::addColumn<QList<int>>("writes");
    QTest::addColumn<int>("expectedUs");
    QTest::newRow("1200 baud, 12 bytes") << 4 << QList<int>{12} << 100'000;
    QTest::newRow("2400 baud, 12 bytes") << 5 << QList<int>{12} << 50'000;
    QTest::newRow("9600 baud, 96 bytes") << 7 << QList<int>{96} << 100'000;
    QTest::newRow("1200 baud, 12 then 6 bytes") << 4 << QList<int>{12, 6} << 150'000;
}

void TestCommDrv::transmitTimeLeft()
{
    QFETCH(int, baudCode);
    QFETCH(QList<int>, writes);
    QFETCH(int, expectedUs);
    QCOMPARE(CdrvTransmitTimeLeft(0), 0);
    QCOMPARE(openPort(), 0);
    QCOMPARE(SetPortCharacteristics(0, baudCode, 0, 3, 0, 4), 0);
    QCOMPARE(CdrvTransmitTimeLeft(0), 0);
    QElapsedTimer clock;
    clock.start();
    for (int count : writes)
        QCOMPARE(PutPacket(0, count, QByteArray(count, 'w').constData()), 0);
    const int left = CdrvTransmitTimeLeft(0);
    const qint64 tookUs = clock.nsecsElapsed() / 1000;
    QVERIFY2(left <= expectedUs && left >= expectedUs - tookUs - 2000, QByteArray::number(left));
    QTest::qSleep(expectedUs / 1000 + 5);
    QCOMPARE(CdrvTransmitTimeLeft(0), 0);
}

// A far end that takes no more bytes must not hold the caller: the write gives up after its
// time and says so, and the port works again once the line drains.
void TestCommDrv::stalledLineGivesUp()
{
    QCOMPARE(openPort(), 0);
    const QByteArray chunk(64, 'q');
    int32_t result = 0;
    qint64 sent = 0;
    QElapsedTimer clock;
    while (result == 0 && sent < 4 * 1024 * 1024) {
        clock.start();
        result = PutPacket(0, static_cast<int32_t>(chunk.size()), chunk.constData());
        sent += chunk.size();
    }
    QCOMPARE(result, CdrvIoError);
    // Not before 1 s and ten 1200-baud byte times a byte: a slow line that still moves is
    // never cut off.
    QVERIFY2(clock.elapsed() >= 1000 + 10 * chunk.size() - 2 && clock.elapsed() < 5000,
             QByteArray::number(clock.elapsed()));
    QVERIFY2(QByteArray(CdrvLastError()).contains("takes no more bytes"), CdrvLastError());
    QCOMPARE(IsPortAvailable(0), 0);
    clock.start();
    QCOMPARE(FlushTransmitBuffer(0), 0);
    QVERIFY2(clock.elapsed() < 200, QByteArray::number(clock.elapsed()));

    while (!m_line->receive(64 * 1024, 200).isEmpty()) {
    }
    QCOMPARE(PutPacket(0, 3, "end"), 0);
    QCOMPARE(m_line->receive(3), QByteArray("end"));

    // A packet larger than the line's queue goes out whole while the far end reads.
    QByteArray big;
    for (int i = 0; i < 256 * 1024; ++i)
        big.append(static_cast<char>(i % 251));
    auto farEnd = std::async(std::launch::async, [&] { return m_line->receive(big.size(), 10000); });
    QCOMPARE(PutPacket(0, static_cast<int32_t>(big.size()), big.constData()), 0);
    QCOMPARE(farEnd.get(), big);
}

void TestCommDrv::hangUpReleasesPort()
{
    QCOMPARE(openPort(), 0);
    m_line->hangUp();
    QCOMPARE(IsPortAvailable(0), CdrvNotOpen);
    QVERIFY(QByteArray(CdrvLastError()).contains("went away"));
    QCOMPARE(openPort(), CdrvNoDevice); // the old slave is gone with its master

    // The next line behind the same name opens, and its loss shows through every path.
    for (int path = 0; path < 3; ++path) {
        PseudoTerminal next;
        QVERIFY(next.link(m_scratch->path(), 1));
        QCOMPARE(openPort(), 0);
        QVERIFY(next.send("x"));
        QTRY_COMPARE(BytesInReceiveBuffer(0), 1);
        next.hangUp();
        if (path == 0)
            QCOMPARE(BytesInReceiveBuffer(0), 0);
        else if (path == 1)
            QCOMPARE(PutByte(0, 'y'), CdrvDeviceLost);
        else
            QCOMPARE(PutPacket(0, 2, "yz"), CdrvDeviceLost);
        QCOMPARE(IsPortAvailable(0), CdrvNotOpen);
        QCOMPARE(CdrvReceiveDescriptor(0), -1);
    }
}

void TestCommDrv::pseudoTerminalQuirksTolerated()
{
    QCOMPARE(openPort(), 0);
    QCOMPARE(RtsOn(0), 0);
    QCOMPARE(CdrvSetTimerResolution(0, 0), 0);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(CdrvDelay(0, 2), 0);
    QVERIFY(clock.elapsed() >= 20);
    QVERIFY(clock.elapsed() < 500);
    QCOMPARE(CdrvDelay(0, -1), CdrvBadArgument);
}

// The child half of exclusiveOpen: another process opening Com 1.
static int openInChild(const QByteArray &root)
{
    CdrvSetDeviceRoot(root.constData());
    return openPort();
}

// A driver that answers EINVAL may still have applied the settings: they count as applied
// only when everything that shapes the line took.
void TestCommDrv::refusedSettingsJudgedByTheLine_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<bool>("same");
    QTest::newRow("as asked") << 0 << true;
    QTest::newRow("7 data bits") << 1 << false;
    QTest::newRow("XON/XOFF") << 2 << false;
    QTest::newRow("canonical input") << 3 << false;
    QTest::newRow("output processing") << 4 << false;
    QTest::newRow("VMIN") << 5 << false;
    QTest::newRow("VTIME") << 6 << false;
    QTest::newRow("output speed") << 7 << false;
    QTest::newRow("input speed") << 8 << false;
    QTest::newRow("interrupt character only") << 9 << true;
}

void TestCommDrv::refusedSettingsJudgedByTheLine()
{
    QFETCH(int, field);
    QFETCH(bool, same);
    termios asked {};
    LineSettings::makeRaw(asked);
    cfsetispeed(&asked, B1200);
    cfsetospeed(&asked, B1200);
    termios applied = asked;
    switch (field) {
    case 1: applied.c_cflag = (applied.c_cflag & ~CSIZE) | CS7; break;
    case 2: applied.c_iflag |= IXON; break;
    case 3: applied.c_lflag |= ICANON; break;
    case 4: applied.c_oflag |= OPOST; break;
    case 5: applied.c_cc[VMIN] = 0; break;
    case 6: applied.c_cc[VTIME] = 5; break;
    case 7: cfsetospeed(&applied, B9600); break;
    case 8: cfsetispeed(&applied, B9600); break;
    case 9: applied.c_cc[VINTR] = 3; break;
    }
    QCOMPARE(LineSettings::sameLine(applied, asked), same);
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(childMode))
        return openInChild(qgetenv(childMode));
    QCoreApplication app(argc, argv);
    TestCommDrv test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_commdrv.moc"

#include "DeviceNaming.h"
#include "PseudoTerminal.h"
#include "commdrv.h"

#include <QtTest>

#include <memory>

namespace {

// Builds a fake /dev and /sys: "dev/ttyUSB0" makes an empty node, "path=text" a file
// holding text, "path->target" a symbolic link.
void buildTree(const QString &root, const QStringList &entries)
{
    for (const QString &entry : entries) {
        const qsizetype arrow = entry.indexOf("->");
        const qsizetype equals = entry.indexOf('=');
        const QString path = root + "/" + entry.left(arrow >= 0 ? arrow : equals);
        QDir().mkpath(QFileInfo(path).path());
        if (arrow >= 0) {
            QFile::link(entry.mid(arrow + 2), path);
            continue;
        }
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        if (equals >= 0)
            file.write(entry.mid(equals + 1).toUtf8() + "\n");
    }
}

QStringList namesUnder(const QString &root, const std::vector<std::string> &paths)
{
    QStringList names;
    for (const std::string &path : paths)
        names << QString::fromStdString(path).remove(root + "/dev/");
    return names;
}

} // namespace

class TestDeviceNaming : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void presentDevices_data();
    void presentDevices();
    void comLinkComesFirst();
    void openThroughDeviceTree();

private:
    std::unique_ptr<ScratchDirectory> m_scratch;
};

void TestDeviceNaming::init()
{
    m_scratch = std::make_unique<ScratchDirectory>();
    CdrvSetDeviceRoot(m_scratch->root().toLocal8Bit().constData());
}

void TestDeviceNaming::cleanup()
{
    if (IsPortAvailable(0) == 0)
        UnInitializePort(0);
    m_scratch.reset();
}

void TestDeviceNaming::presentDevices_data()
{
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("expected");
    const QString uart = "sys/class/tty/%1/type=4";
    const QString noUart = "sys/class/tty/%1/type=0";
    QTest::newRow("empty") << QStringList{} << QStringList{};
    QTest::newRow("ttyS needs a UART")
        << QStringList{"dev/ttyS0", "dev/ttyS1", "dev/ttyS2", uart.arg("ttyS0"), noUart.arg("ttyS1")}
        << QStringList{"ttyS0"};
    QTest::newRow("families in order")
        << QStringList{"dev/ttyACM0", "dev/ttyUSB0", "dev/ttyS3", uart.arg("ttyS3")}
        << QStringList{"ttyS3", "ttyUSB0", "ttyACM0"};
    QTest::newRow("numeric order")
        << QStringList{"dev/ttyUSB10", "dev/ttyUSB9", "dev/ttyUSB0", "dev/ttyS10", "dev/ttyS2",
                       uart.arg("ttyS10"), uart.arg("ttyS2"), "dev/ttyUSB999999"}
        << QStringList{"ttyS2", "ttyS10", "ttyUSB0", "ttyUSB9", "ttyUSB10", "ttyUSB999999"};
    QTest::newRow("console not offered")
        << QStringList{"dev/ttyS0", "dev/ttyS1", uart.arg("ttyS0"), uart.arg("ttyS1"), "dev/ttyUSB0",
                       "dev/ttyUSB1", "sys/class/tty/console/active=tty0 ttyS0 ttyUSB1"}
        << QStringList{"ttyS1", "ttyUSB0"};
    QTest::newRow("other names ignored")
        << QStringList{"dev/ttyS", "dev/ttySx1", "dev/ttyUSB0.old", "dev/tty0", "dev/ttyprintk",
                       "dev/ttyAMA0", "dev/ttyUSB", "dev/ttyACM1", "dev/ttyUSB99999999999999999999"}
        << QStringList{"ttyACM1"};
    QTest::newRow("unreadable UART type") << QStringList{"dev/ttyS0", "sys/class/tty/ttyS0/type=x"}
                                          << QStringList{};
}

void TestDeviceNaming::presentDevices()
{
    QFETCH(QStringList, tree);
    QFETCH(QStringList, expected);
    buildTree(m_scratch->root(), tree);
    QCOMPARE(namesUnder(m_scratch->root(), DeviceNaming::presentDevices(m_scratch->root().toStdString())),
             expected);
}

void TestDeviceNaming::comLinkComesFirst()
{
    const std::string root = m_scratch->root().toStdString();
    buildTree(m_scratch->root(), {"dev/ttyUSB0", "dev/ttyUSB1"});
    QVERIFY(QFile::link("/dev/pts/77", "com2"));

    QCOMPARE(DeviceNaming::portForIndex(0, root)->path, root + "/dev/ttyUSB0");
    QCOMPARE(DeviceNaming::portForIndex(1, root)->path, std::string("com2"));
    QCOMPARE(DeviceNaming::portForIndex(1, root)->label, std::string("com2 (/dev/pts/77)"));
    QVERIFY(!DeviceNaming::portForIndex(2, root));
    QVERIFY(!DeviceNaming::portForIndex(-1, root));
}

// Com 1 found by enumeration is opened (here a ttyUSB0 that leads to a pseudo-terminal),
// and a link to the console is refused even when named by com1.
void TestDeviceNaming::openThroughDeviceTree()
{
    PseudoTerminal line;
    QVERIFY(line.isOpen());
    buildTree(m_scratch->root(), {"dev/ttyS0", "sys/class/tty/ttyS0/type=4", "sys/class/tty/console/active=ttyS0",
                                  "dev/ttyUSB0->" + line.slave()});
    QCOMPARE(InitializePort(0, 0, 0, 0, 9, 0, 1280, 512, 0), 0);
    QVERIFY(line.send("ok"));
    QTRY_COMPARE(BytesInReceiveBuffer(0), 2);
    QCOMPARE(UnInitializePort(0), 0);
    QCOMPARE(InitializePort(0, 1, 0, 0, 9, 0, 1280, 512, 0), CdrvNoDevice);

    QVERIFY(QFile::link(m_scratch->root() + "/dev/ttyS0", "com1"));
    QCOMPARE(InitializePort(0, 0, 0, 0, 9, 0, 1280, 512, 0), CdrvNoDevice);
    QVERIFY2(QByteArray(CdrvLastError()).contains("console"), CdrvLastError());
}

QTEST_GUILESS_MAIN(TestDeviceNaming)
#include "tst_devicenaming.moc"

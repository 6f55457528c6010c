#include "SiteFile.h"
#include "TerminalState.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

class TestSiteFile : public QObject
{
    Q_OBJECT
private slots:
    void load_data();
    void load();
    void nameCaseIgnored_data();
    void nameCaseIgnored();
    void overlongListEndsEarly();
    void unopenableFileSaysWhy();
};

namespace {

// The fields of a version 30 file around the parts a case varies.
QByteArray siteFile(const QByteArray &head, const QByteArray &names, const QByteArray &tail)
{
    return head + "\r\n5\r\n\"any value\"\r\n\"text, with a comma\"\r\n3\r\n0\r\n7,8,9\r\n" + names + tail;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Com 2 at 2400 baud, no stations.
const QByteArray portTwoAt2400 = "30,0,2,0,x,y,0,0,0,0,2400,0,\"t\"\r\n";

} // namespace

void TestSiteFile::load_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QStringList>("names"); // stations 1, 2, ...; the rest must be empty
    QTest::addColumn<bool>("problem");

    const QByteArray twoNames = "\"North Gate\"\r\n\"Ward A\"\r\n1\r\n2\r\n0\r\n0\r\n";
    const QStringList two{"North Gate", "Ward A"};

    QTest::newRow("no file") << false << QByteArray() << 1 << 1200 << QStringList() << false;
    QTest::newRow("version 30") << true << siteFile("30\r\n2\r\n2", twoNames, "9600\r\n1\r\n\"tail\"\r\n")
                                << 2 << 9600 << two << false;
    QTest::newRow("version 25 has no field 16")
        << true << siteFile("25\r\n2\r\n2", twoNames, "2400\r\n1\r\n") << 2 << 2400 << two << false;
    QTest::newRow("version 19, rest ignored")
        << true << siteFile("19,2,1", twoNames, "9600,1,-7,\"whatever\"\r\n") << 1 << 9600 << two << false;
    QTest::newRow("version 18 has no baud rate")
        << true << siteFile("18,2,2", twoNames, "") << 2 << 1200 << two << false;
    QTest::newRow("version 18 ignores a baud rate")
        << true << siteFile("18,2,2", twoNames, "9600,1\r\n") << 2 << 1200 << two << false;
    QTest::newRow("port 3") << true << siteFile("30,2,3", twoNames, "9600,1,\"t\"") << 3 << 9600 << two << false;
    QTest::newRow("empty field reads as 0") << true << siteFile("30,2,", twoNames, "9600,1,\"t\"") << 0 << 9600 << two << false;
    QTest::newRow("odd baud kept") << true << siteFile("30,2,1", twoNames, "4800,1,\"t\"") << 1 << 4800 << two << false;
    QTest::newRow("ends after port") << true << QByteArray("30,2,2\r\n") << 2 << 1200 << QStringList() << true;
    QTest::newRow("ends in names") << true << siteFile("30,2,2", "\"North Gate\"\r\n", "")
                                   << 2 << 1200 << QStringList{"North Gate"} << true;
    QTest::newRow("empty file") << true << QByteArray() << 1 << 1200 << QStringList() << true;
    QTest::newRow("garbage") << true << QByteArray("\x01\xff garbage,,,\r\n\"") << 1 << 1200 << QStringList() << true;
    QTest::newRow("letters in port") << true << QByteArray("30,2,two,0\r\n") << 1 << 1200 << QStringList() << true;
    QTest::newRow("number out of range") << true << QByteArray("30,2,40000\r\n") << 1 << 1200 << QStringList() << true;
    QTest::newRow("letters in baud") << true << siteFile("30,2,2", twoNames, "fast,1,\"t\"") << 2 << 1200 << two << true;
    QTest::newRow("negative list length")
        << true << QByteArray("30,2,2,0,x,y,-5,0,\"A\",\"B\",1,2,0,0,2400,0,\"t\"") << 2 << 2400
        << QStringList{"A", "B"} << false;
    QTest::newRow("negative station count")
        << true << QByteArray("30,-3,2,0,x,y,0,0,0,0,9600,0,\"t\"") << 2 << 9600 << QStringList() << false;

    QByteArray many = "30,40,1,0,x,y,0,0\r\n";
    QStringList first32;
    for (int i = 1; i <= 40; ++i) {
        many += "\"Station " + QByteArray::number(i) + "\"\r\n";
        if (i <= 32)
            first32.append(QStringLiteral("Station %1").arg(i));
    }
    for (int i = 1; i <= 40; ++i)
        many += QByteArray::number(i) + ",";
    many += "0,0,9600,0,\"t\"\r\n";
    QTest::newRow("40 stations keep 32 names and stay in step") << true << many << 1 << 9600 << first32 << false;

    QTest::newRow("single-byte names") << true << siteFile("30,1,1", "\"Caf\xe9\"\r\n1\r\n0\r\n0\r\n", "1200,0,\"t\"")
                                       << 1 << 1200 << QStringList{QString::fromLatin1("Caf\xe9")} << false;
}

void TestSiteFile::load()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(int, port);
    QFETCH(int, baud);
    QFETCH(QStringList, names);
    QFETCH(bool, problem);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (exists)
        QVERIFY(writeFile(dir.filePath("config.dat"), content));
    TerminalState state;
    state.StationNames[5] = QStringLiteral("left over");
    state.PortNumber = 4;
    state.BaudRate = 9600;
    const SiteFileResult result = LoadConfig(state, QDir(dir.path()));

    QCOMPARE(result.found, exists);
    QCOMPARE(!result.problem.isEmpty(), problem);
    QCOMPARE(int(state.PortNumber), port);
    QCOMPARE(int(state.BaudRate), baud);
    QCOMPARE(state.StationNames[0], QString());
    for (int station = 1; station <= TerminalState::MaxStation; ++station)
        QCOMPARE(state.StationNames[size_t(station)], names.value(station - 1));
}

void TestSiteFile::nameCaseIgnored_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("upper") << "CONFIG.DAT";
    QTest::newRow("mixed") << "Config.Dat";
}

void TestSiteFile::nameCaseIgnored()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(name), portTwoAt2400));
    QVERIFY(QDir(dir.path()).mkdir("config.dat.d")); // not a match

    TerminalState state;
    const SiteFileResult result = LoadConfig(state, QDir(dir.path()));
    QVERIFY(result.found);
    QCOMPARE(QFileInfo(result.path).fileName(), name);
    QCOMPARE(int(state.PortNumber), 2);
    QCOMPARE(int(state.BaudRate), 2400);
}

void TestSiteFile::overlongListEndsEarly()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("config.dat"), "30,32767,2,0,x,y,32767,0,1,2,3\r\n"));
    TerminalState state;
    const SiteFileResult result = LoadConfig(state, QDir(dir.path()));
    QVERIFY(!result.problem.isEmpty());
    QCOMPARE(int(state.PortNumber), 2);
    QCOMPARE(int(state.BaudRate), 1200);
}

// The tests run as root, where permissions never stop an open; running out of descriptors does.
void TestSiteFile::unopenableFileSaysWhy()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("config.dat"), portTwoAt2400));
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = dup(0);
    QVERIFY(lowestFree >= 0);
    close(lowestFree);
    rlimit full = saved;
    full.rlim_cur = rlim_t(lowestFree);
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &full), 0);
    TerminalState state;
    const SiteFileResult result = LoadConfig(state, QDir(dir.path()));
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);

    QVERIFY(result.found);
    QVERIFY2(result.problem.contains(QString::fromLocal8Bit(std::strerror(EMFILE))), qPrintable(result.problem));
    QCOMPARE(int(state.PortNumber), 1);
    QCOMPARE(int(state.BaudRate), 1200);
}

QTEST_GUILESS_MAIN(TestSiteFile)
#include "tst_sitefile.moc"

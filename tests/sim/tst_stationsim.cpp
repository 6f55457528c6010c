#include "AddressCode.h"
#include "SlaveSide.h"
#include "StationSim.h"
#include "StationSimThread.h"
#include "StreamSamples.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace StreamSamples;

namespace {

const QByteArray Ack("\x06");
const QByteArray Nak("\x15");

QByteArray code(int station)
{
    return QByteArray(1, char(addressCode(station)));
}

} // namespace

class TestStationSim : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void answersItsAddressCode_data();
    void answersItsAddressCode();
    void absentStationIsSilent();
    void answerFaults_data();
    void answerFaults();
    void memoryClear_data();
    void memoryClear();
    void pacedDownloadIsDecodedAndAcknowledged();
    void burstDownloadIsReportedAsTooFast();
    void finalAcknowledgement_data();
    void finalAcknowledgement();
    void hangUpInTheMiddleOfAStream();
    void panelAfterLogOn();
    void lineCarriesTenBitsAByte_data();
    void lineCarriesTenBitsAByte();
    void runsOnItsOwnThread();
    void optionParsing();
    void commandLineTool();
    void linkNeverReplacesAFile();
    void commandLineRefusals_data();
    void commandLineRefusals();

private:
    bool startSim(const SimSettings &settings = {});
    QByteArray call(SlaveSide &slave, int station);
    void clearMemory(SlaveSide &slave, int station);
    void send(SlaveSide &slave, const Stream &stream, bool paced);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StationSim> m_sim;
    // The protocol cases run on a line without line time; the wire's own case turns it on.
    bool m_lineTime = false;
};

void TestStationSim::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestStationSim::cleanup()
{
    m_sim.reset();
    m_dir.reset();
}

bool TestStationSim::startSim(const SimSettings &settings)
{
    m_sim = std::make_unique<StationSim>();
    SimSettings chosen = settings;
    chosen.instantLine = !m_lineTime;
    m_sim->setSettings(chosen);
    if (!m_sim->start(m_dir->path()))
        qWarning() << m_sim->errorString();
    return m_sim->isRunning() && QFileInfo(m_dir->filePath("com1")).symLinkTarget() == m_sim->slavePath();
}

QByteArray TestStationSim::call(SlaveSide &slave, int station)
{
    slave.write(code(station));
    return slave.read(400, 4);
}

void TestStationSim::clearMemory(SlaveSide &slave, int station)
{
    QCOMPARE(call(slave, station), QByteArray::number(station).rightJustified(2, '0') + "OK");
    slave.write("APG\r");
    QCOMPARE(slave.read(500, 1), Ack);
}

// Paced: each piece goes out only after the simulator has read the one before and the
// sender's pause has passed, so a slow test machine cannot shorten a gap.
void TestStationSim::send(SlaveSide &slave, const Stream &stream, bool paced)
{
    if (!paced) {
        slave.write(joined(stream));
        return;
    }
    qsizetype expected = m_sim->received().size();
    int pause = 100;
    for (const Piece &piece : stream) {
        QTest::qWait(pause + 2);
        slave.write(piece.bytes);
        expected += piece.bytes.size();
        QTRY_COMPARE(m_sim->received().size(), expected);
        pause = piece.pauseMs;
    }
}

void TestStationSim::answersItsAddressCode_data()
{
    QTest::addColumn<int>("station");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("busyReader");
    QTest::newRow("1") << 1 << QByteArray("01OK") << false;
    QTest::newRow("5") << 5 << QByteArray("05OK") << false;
    QTest::newRow("12") << 12 << QByteArray("12OK") << false;
    QTest::newRow("32") << 32 << QByteArray("32OK") << false;
    QTest::newRow("5, reading without sleeping") << 5 << QByteArray("05OK") << true;
}

void TestStationSim::answersItsAddressCode()
{
    QFETCH(int, station);
    QFETCH(QByteArray, answer);
    QFETCH(bool, busyReader);
    SimSettings settings;
    settings.busyReader = busyReader;
    QVERIFY(startSim(settings));
    SlaveSide slave(m_dir->filePath("com1"));
    QVERIFY(slave.isOpen());
    QSignalSpy answered(m_sim.get(), &StationSim::answered);
    QCOMPARE(call(slave, station), answer);
    QCOMPARE(answered.size(), 1);
    QCOMPARE(answered.first().first().toInt(), station);
    // After a NAK the station simply waits to be called again.
    slave.write(Nak);
    QCOMPARE(call(slave, station), answer);
}

void TestStationSim::absentStationIsSilent()
{
    SimSettings settings;
    settings.stations = {5};
    QVERIFY(startSim(settings));
    SlaveSide slave(m_dir->filePath("com1"));
    QCOMPARE(call(slave, 12), QByteArray());
    QCOMPARE(call(slave, 5), QByteArray("05OK"));
    QCOMPARE(m_sim->received().size(), 2);
}

void TestStationSim::answerFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::newRow("no answer") << "no-answer" << QByteArray() << QByteArray();
    QTest::newRow("no answer once") << "no-answer=1" << QByteArray() << QByteArray("05OK");
    QTest::newRow("wrong answer") << "wrong-answer" << QByteArray("50OK") << QByteArray("50OK");
    QTest::newRow("short answer once") << "short-answer=1" << QByteArray("05O") << QByteArray("05OK");
    QTest::newRow("garbage on call") << "garbage-on-call" << QByteArray("\xff?05OK") << QByteArray("\xff?05OK");
    // The call sits unread for 400 ms; then the call, the NAK and the second call are read together.
    QTest::newRow("slow reader") << "slow-reader=400" << QByteArray() << QByteArray("05OK05OK");
}

void TestStationSim::answerFaults()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    SimSettings settings;
    QVERIFY(applyFault(fault, settings, nullptr));
    QVERIFY(startSim(settings));
    SlaveSide slave(m_dir->filePath("com1"));
    slave.write(code(5));
    QCOMPARE(slave.read(300), first);
    slave.write(Nak);
    slave.write(code(5));
    QCOMPARE(slave.read(300), second);
}

void TestStationSim::memoryClear_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("pagerStation");
    QTest::addColumn<QByteArray>("replies");   // per request: A ACK, N NAK, . silence (then called again)
    QTest::newRow("ACK") << QString() << 0 << QByteArray("A");
    QTest::newRow("chosen pager interface") << QString() << 5 << QByteArray("A");
    QTest::newRow("NAK three times") << "clear-nak=3" << 0 << QByteArray("NNNA");
    QTest::newRow("silent once") << "no-clear-answer=1" << 0 << QByteArray(".A");
    QTest::newRow("silent") << "no-clear-answer" << 0 << QByteArray("....");
    QTest::newRow("not a pager interface") << QString() << 12 << QByteArray("....");
}

void TestStationSim::memoryClear()
{
    QFETCH(QString, fault);
    QFETCH(int, pagerStation);
    QFETCH(QByteArray, replies);
    SimSettings settings;
    settings.pagerStation = pagerStation;
    if (!fault.isEmpty())
        QVERIFY(applyFault(fault, settings, nullptr));
    QVERIFY(startSim(settings));
    SlaveSide slave(m_dir->filePath("com1"));
    QCOMPARE(call(slave, 5), QByteArray("05OK"));
    QByteArray seen;
    while (seen.size() < 4 && !seen.endsWith('A')) {
        for (const char c : QByteArray("APG\r")) {
            slave.write(QByteArray(1, c));
            QTest::qWait(5);
        }
        const QByteArray reply = slave.read(250, 1);
        seen += reply == Ack ? 'A' : reply == Nak ? 'N' : reply.isEmpty() ? '.' : '?';
        if (reply.isEmpty())
            QCOMPARE(call(slave, 5), QByteArray("05OK"));
    }
    QCOMPARE(seen, replies);
}

void TestStationSim::pacedDownloadIsDecodedAndAcknowledged()
{
    QVERIFY(startSim());
    SlaveSide slave(m_dir->filePath("com1"));
    QSignalSpy finished(m_sim.get(), &StationSim::downloadFinished);
    clearMemory(slave, 5);
    send(slave, oneGroup(), true);
    QCOMPARE(slave.read(1000, 1), Ack);
    QCOMPARE(finished.size(), 1);

    const QList<DecodedDownload> downloads = m_sim->downloads();
    QCOMPARE(downloads.size(), 1);
    const DecodedDownload &d = downloads.first();
    QCOMPARE(d.station, 5);
    QVERIFY(d.complete);
    QCOMPARE(d.problems, QStringList());
    QCOMPARE(d.violations.size(), 0);
    QCOMPARE(d.groupPagers.mid(0, 2), (QList<QByteArray>{"12", "34"}));
    for (const StreamUnit &u : d.units)
        QVERIFY2(u.gapNs >= u.requiredPauseMs * 1000000LL, qPrintable(u.name()));

    QFile report(m_dir->filePath("received-station05.txt"));
    QVERIFY(report.open(QIODevice::ReadOnly));
    const QByteArray text = report.readAll();
    QVERIFY(text.contains("EPROM version: 1.1 X"));
    QVERIFY(text.contains("Pacing violations: 0"));
}

void TestStationSim::burstDownloadIsReportedAsTooFast()
{
    QVERIFY(startSim());
    SlaveSide slave(m_dir->filePath("com1"));
    clearMemory(slave, 4);
    QTest::qWait(110);
    send(slave, defaults(0), false);
    QCOMPARE(slave.read(1000, 1), Ack);
    const DecodedDownload d = m_sim->downloads().value(0);
    QCOMPARE(d.station, 4);
    QCOMPARE(d.eprom, 0);
    QCOMPARE(d.raw.size(), 23);
    QVERIFY(d.violations.size() >= 8);
}

void TestStationSim::finalAcknowledgement_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("early");   // within 400 ms of the end mark
    QTest::addColumn<QByteArray>("late");    // in the second after
    QTest::newRow("prompt ACK") << QString() << Ack << QByteArray();
    QTest::newRow("garbage first") << "garbage-before-ack" << QByteArray("%?\x06") << QByteArray();
    QTest::newRow("late ACK") << "late-ack=700" << QByteArray() << Ack;
    QTest::newRow("no ACK") << "no-final-ack" << QByteArray() << QByteArray();
}

void TestStationSim::finalAcknowledgement()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, early);
    QFETCH(QByteArray, late);
    SimSettings settings;
    if (!fault.isEmpty())
        QVERIFY(applyFault(fault, settings, nullptr));
    QVERIFY(startSim(settings));
    SlaveSide slave(m_dir->filePath("com1"));
    clearMemory(slave, 5);
    send(slave, defaults(1), false);
    QCOMPARE(slave.read(400), early);
    QCOMPARE(slave.read(1000), late);
    QCOMPARE(m_sim->downloads().size(), 1);
}

void TestStationSim::hangUpInTheMiddleOfAStream()
{
    SimSettings settings;
    QVERIFY(applyFault("hang-up-after=5", settings, nullptr));
    QVERIFY(startSim(settings));
    const QString firstLine = m_sim->slavePath();
    QSignalSpy dropped(m_sim.get(), &StationSim::lineDropped);
    {
        SlaveSide slave(m_dir->filePath("com1"));
        clearMemory(slave, 5);
        send(slave, defaults(1), false);
        slave.read(1000);
        QVERIFY(slave.ended());
    }
    QCOMPARE(dropped.size(), 1);
    const DecodedDownload d = m_sim->downloads().value(0);
    QVERIFY(!d.complete);
    QCOMPARE(d.raw.size(), 5);
    QVERIFY(d.problems.join(' ').contains("dropped"));

    // The link now leads to a fresh line that works.
    QVERIFY(m_sim->slavePath() != firstLine);
    QCOMPARE(QFileInfo(m_dir->filePath("com1")).symLinkTarget(), m_sim->slavePath());
    SlaveSide again(m_dir->filePath("com1"));
    QCOMPARE(call(again, 5), QByteArray("05OK"));
}

// Both ways at the speed the program's side set: the station hears each byte 10 bit times
// after the one before and answers only once its call has crossed; its answer crosses too.
void TestStationSim::lineCarriesTenBitsAByte_data()
{
    QTest::addColumn<uint>("speed");
    QTest::addColumn<int>("baud");
    QTest::newRow("1200 baud") << uint(B1200) << 1200;
    QTest::newRow("9600 baud") << uint(B9600) << 9600;
}

void TestStationSim::lineCarriesTenBitsAByte()
{
    QFETCH(uint, speed);
    QFETCH(int, baud);
    m_lineTime = true;
    QVERIFY(startSim());
    SlaveSide slave(m_dir->filePath("com1"));
    QVERIFY(slave.setSpeed(speed));
    const qint64 byteNs = 10'000'000'000LL / baud;

    QVERIFY(slave.write("xyz"));
    QTRY_COMPARE(m_sim->received().size(), 3);
    const QList<TimedByte> noise = m_sim->received();
    QCOMPARE(noise[0].arrivedNs - noise[0].ns, byteNs);
    QCOMPARE(noise[2].arrivedNs - noise[1].arrivedNs, byteNs);

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(call(slave, 5), QByteArray("05OK"));
    const qint64 tookNs = clock.nsecsElapsed();
    QVERIFY2(tookNs >= 5 * byteNs + m_sim->settings().answerDelayMs * 1'000'000LL, qPrintable(QString::number(tookNs)));
}

void TestStationSim::panelAfterLogOn()
{
    QFile site(m_dir->filePath("CONFIG.DAT"));
    QVERIFY(site.open(QIODevice::WriteOnly));
    site.write("30,2,1,0,0,\"x\"\r\n1,0\r\n5\r\n\"Ward A\",\"Ward B\"\r\n1,2\r\n0,0\r\n9600,0\r\n\"z\"\r\n");
    site.close();
    QVERIFY(startSim());
    QCOMPARE(m_sim->stationName(1), QString("Ward A"));
    QCOMPARE(m_sim->stationName(3), QString());

    SlaveSide slave(m_dir->filePath("com1"));
    QSignalSpy loggedOn(m_sim.get(), &StationSim::loggedOn);
    QSignalSpy loggedOff(m_sim.get(), &StationSim::loggedOff);
    QCOMPARE(call(slave, 2), QByteArray("02OK"));
    for (const char c : QByteArray("END\r")) {
        slave.write(QByteArray(1, c));
        QTest::qWait(20);
    }
    QByteArray shown = slave.read(300);
    QVERIFY(shown.contains("STATION 2 Ward B\r\n"));
    QVERIFY(shown.endsWith("STATION 02> "));
    QCOMPARE(loggedOn.size(), 1);

    const QList<QPair<QByteArray, QByteArray>> exchange{
        {"ab", "ab"},
        {"\b", "\b \b"},
        {"c\r", "c\r\nUNKNOWN COMMAND: AC\r\nSTATION 02> "},
        {"\r", "\r\nSTATION 02> "},
        {"status\r", "status\r\nSTATION 2 Ward B: NORMAL, NO ALARMS\r\nSTATION 02> "},
        {code(5), code(5)},   // typed, not a call: the panel has the line
    };
    for (const auto &[typed, echoed] : exchange) {
        slave.write(typed);
        const QByteArray got = slave.read(300, echoed.size());
        QCOMPARE(got, echoed);
        shown += got;
    }
    QCOMPARE(m_sim->panelOutput(), shown);

    // NAK, as a log-on elsewhere sends after meeting the echo, hands the line back.
    slave.write(Nak);
    QTRY_COMPARE(loggedOff.size(), 1);
    QCOMPARE(call(slave, 2), QByteArray("02OK"));
    slave.write("END\r");
    slave.read(300);
    slave.write("exit\r");
    QVERIFY(slave.read(300).endsWith("LOGGED OFF\r\n"));
    QCOMPARE(loggedOff.size(), 2);
}

// The test thread blocks outright here (no event processing): the simulator answers and
// decodes on its own thread.
void TestStationSim::runsOnItsOwnThread()
{
    StationSimThread line;
    SimSettings settings;
    settings.pagerStation = 9;
    QVERIFY2(line.start(settings, m_dir->path()), qPrintable(line.errorString()));
    QSignalSpy finished(line.sim(), &StationSim::downloadFinished);
    SlaveSide slave(m_dir->filePath("com1"));
    slave.write(code(9));
    QThread::msleep(100);
    slave.write("APG\r");
    QThread::msleep(250);
    for (const Piece &piece : oneGroup()) {
        slave.write(piece.bytes);
        if (piece.pauseMs)
            QThread::msleep(piece.pauseMs + 3);
    }
    QCOMPARE(slave.read(1000, 6), QByteArray("09OK\x06\x06"));
    QTRY_COMPARE(finished.size(), 1);
    const DecodedDownload d = line.sim()->downloads().value(0);
    QVERIFY(d.complete);
    QCOMPARE(d.groupCounts.value(0), 2);
    // No check of the pacing here: this writer does not wait for the reader, so on a busy
    // machine a late read of one record shortens the gap measured before the next.
    QCOMPARE(d.units.size(), 141);

    const QString before = line.sim()->slavePath();
    QVERIFY(line.hangUp());
    QVERIFY(line.sim()->slavePath() != before);
    line.stop();
    QVERIFY(!QFileInfo(m_dir->filePath("com1")).isSymLink());
}

void TestStationSim::optionParsing()
{
    SimSettings settings;
    QString why;
    QVERIFY(applyFault("clear-nak=2", settings, &why));
    QCOMPARE(settings.faults.clearNaks, 2);
    QVERIFY(applyFault("late-ack=6000", settings, &why));
    QCOMPARE(settings.finalAckDelayMs, 6000);
    QVERIFY(applyFault("slow-reader=40", settings, &why));
    QCOMPARE(settings.faults.slowReaderMs, 40);
    for (const char *bad : {"clear-nak", "slow-reader", "late-ack=soon", "no-answer=-1", "no-final-ack=2", "bogus"}) {
        QVERIFY2(!applyFault(bad, settings, &why), bad);
        QVERIFY(!why.isEmpty());
    }
    QCOMPARE(parseStationList("1-3,12,2"), (QList<int>{1, 2, 3, 12}));
    for (const char *bad : {"0-3", "5-2", "33", "a", ""})
        QVERIFY2(!parseStationList(bad), bad);
}

void TestStationSim::commandLineTool()
{
    QProcess tool;
    tool.start(STATIONSIM_PATH, {"--dir", m_dir->path(), "--com", "2", "--stations", "5", "--until-stdin-closes"});
    QVERIFY(tool.waitForReadyRead(5000));
    const QString link = m_dir->filePath("com2");
    QVERIFY(QString::fromLocal8Bit(tool.readLine()).startsWith(link + " -> /dev/pts/"));
    {
        SlaveSide slave(link);
        slave.write(code(5));
        QCOMPARE(slave.read(1000, 4), QByteArray("05OK"));
        slave.write(code(1));
        QCOMPARE(slave.read(300), QByteArray());
    }
    tool.closeWriteChannel();
    QVERIFY(tool.waitForFinished(5000));
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());

    QProcess bad;
    bad.start(STATIONSIM_PATH, {"--dir", m_dir->path(), "--fault", "bogus"});
    QVERIFY(bad.waitForFinished(5000));
    QCOMPARE(bad.exitCode(), 2);
    QVERIFY(bad.readAllStandardError().contains("unknown fault"));
}

// The user's own file of that name stays as it was; only a link, ours or stale, is replaced.
void TestStationSim::linkNeverReplacesAFile()
{
    QFile file(m_dir->filePath("com1"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("notes\n");
    file.close();
    m_sim = std::make_unique<StationSim>();
    QVERIFY(!m_sim->start(m_dir->path()));
    QVERIFY(!m_sim->isRunning());
    QVERIFY(m_sim->errorString().contains("exists and is not a link"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("notes\n"));
    file.close();

    QVERIFY(file.remove());
    QVERIFY(QFile::link("/nonexistent/pts", file.fileName()));
    QVERIFY(startSim());

    m_sim = std::make_unique<StationSim>();
    QVERIFY(!m_sim->start(m_dir->filePath("missing")));
    QVERIFY(m_sim->errorString().contains("missing/com1"));
}

void TestStationSim::commandLineRefusals_data()
{
    QTest::addColumn<QStringList>("arguments"); // %dir% is the working directory
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no dir") << QStringList{"--com", "1"} << 2 << "--dir DIR is required";
    QTest::newRow("com 0") << QStringList{"--dir", "%dir%", "--com", "0"} << 2 << "--com needs a port number";
    QTest::newRow("com text") << QStringList{"--dir", "%dir%", "--com", "one"} << 2 << "--com needs a port number";
    QTest::newRow("pager station 33") << QStringList{"--dir", "%dir%", "--pager-station", "33"} << 2
                                      << "--pager-station needs";
    QTest::newRow("station list") << QStringList{"--dir", "%dir%", "--stations", "0-3"} << 2 << "--stations needs";
    QTest::newRow("no such dir") << QStringList{"--dir", "%dir%/missing"} << 1 << "missing/com1";
}

// A refused start leaves no link behind and gives its reason on stderr.
void TestStationSim::commandLineRefusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    QProcess tool;
    tool.setWorkingDirectory(m_dir->path());
    tool.start(STATIONSIM_PATH, arguments.replaceInStrings("%dir%", m_dir->path()));
    QVERIFY(tool.waitForFinished(5000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), exitCode);
    const QString error = QString::fromLocal8Bit(tool.readAllStandardError());
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY(tool.readAllStandardOutput().isEmpty());
    QVERIFY(QDir(m_dir->path()).isEmpty(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot));
}

QTEST_GUILESS_MAIN(TestStationSim)
#include "tst_stationsim.moc"

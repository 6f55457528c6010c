// Obrelle over a pseudo-terminal when the far end vanishes while it is logged on, and when
// "config.dat" is damaged, empty or enormous: the program goes on without spinning, lets go
// of the dead line, opens the port again when it is chosen, and never reads a huge file whole.

#include "BaudTable.h"
#include "FaultFixture.h"
#include "Logon.h"
#include "LogonView.h"
#include "Messages.h"
#include "PortWatcher.h"
#include "RecordingMessages.h"
#include "SerialLine.h"
#include "SimulatedSite.h"
#include "SiteFile.h"
#include "StationSim.h"
#include "Termfrm.h"
#include "TerminalPort.h"
#include "TerminalProgram.h"
#include "TerminalState.h"
#include "TerminalWaits.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

namespace {

// The log-on's last caption or message.
struct LogonOutcome : LogonView
{
    void hideConnectinfo() override {}
    void showConnectinfo(const QString &text, bool) override { shown = text; }
    void message(const QString &text, const QString &) override { shown = text; }
    void focusTermTxt() override {}
    QString shown;
};

const QByteArray SiteFields("30,5,1,0,\"Site\",\"\",0,0\r\n\"\",\"\",\"\",\"\",\"Ward A\"\r\n1,2,3,4,5\r\n0,0\r\n9600,0\r\n");
const QByteArray SiteText = SiteFields + "\"\"\r\n";
constexpr qint64 Enormous = 300LL * 1024 * 1024;

} // namespace

class TestTerminalFaults : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimulatedSite> m_site;
    CommDrvLine m_serial;
    TerminalState m_state;
    RecordingMessages m_messages;
    TerminalProgram m_program;
    SiteFileResult m_siteFile;
    qint64 m_loadMs = -1;
    qint64 m_loadPeakKb = -1;


    // The program's start-up as main() does it, with the time and the memory the site file took.
    void startProgram()
    {
        m_state = TerminalState();
        Faults::resetPeakMemory();
        const qint64 sizeBefore = Faults::statusKb("VmRSS");
        QElapsedTimer clock;
        clock.start();
        m_siteFile = LoadConfig(m_state);
        m_loadMs = clock.elapsed();
        m_loadPeakKb = Faults::statusKb("VmHWM") - sizeBefore;
        m_program.start(m_state, m_serial, m_messages);
    }

    // A key typed in the terminal area reaches the simulated line.
    bool keyReachesTheLine(char key)
    {
        QTest::keyClick(m_program.get<QPlainTextEdit>("TermTxt"), key);
        return QTest::qWaitFor([&] {
            const QList<TimedByte> received = m_site->sim()->received();
            return !received.isEmpty() && received.last().byte == uint8_t(key);
        }, 3000);
    }

private slots:
    void init()
    {
        m_messages = RecordingMessages();
        m_site = std::make_unique<SimulatedSite>();
    }

    void cleanup()
    {
        m_program.stop();
        m_site.reset();
    }

    // The station's side drops while the panel is talking. The window keeps sleeping between
    // events (a notifier left on the dead descriptor would fire without end), the library
    // lets go of the line by itself, and choosing the port again opens the fresh line.
    void farEndVanishesWhileLoggedOn()
    {
        QVERIFY(Faults::writeAll(QStringLiteral("config.dat"), SiteText));
        SimSettings settings;
        QVERIFY2(m_site->start(settings), qPrintable(m_site->errorString()));
        startProgram();
        QCOMPARE(IsPortAvailable(0), 0);
        m_program.get<QLineEdit>("StaTxt")->setText(QStringLiteral("5"));
        m_program.get<QPushButton>("LogonCmd")->click();
        QTRY_VERIFY(m_program.shown().endsWith(QLatin1String("STATION 05> ")));

        QVERIFY(m_site->line().hangUp());
        Faults::WakeCounter wakes;
        const qint64 cpuBefore = Faults::processCpuMs();
        QElapsedTimer clock;
        clock.start();
        QEventLoop idle;
        QTimer::singleShot(1000, &idle, &QEventLoop::quit);
        idle.exec();
        const qint64 elapsed = clock.elapsed();
        const qint64 cpu = Faults::processCpuMs() - cpuBefore;

        qInfo("after the hang-up: %lld ms CPU and %d wake-ups in %lld ms", cpu, wakes.wakes(), elapsed);
        QVERIFY2(elapsed < 3000, qPrintable(QString::number(elapsed)));
        QVERIFY2(cpu < 400, qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(cpu).arg(elapsed)));
        QVERIFY2(wakes.wakes() < 200, qPrintable(QStringLiteral("%1 wake-ups in %2 ms").arg(wakes.wakes()).arg(elapsed)));
        QCOMPARE(CdrvReceiveDescriptor(0), -1);
        QVERIFY(m_messages.texts.isEmpty());
        m_program.get<QPushButton>("ClearCmd")->click();
        QVERIFY(m_program.shown().isEmpty());

        m_program.get<QRadioButton>("ComOpt(0)")->click();
        QCOMPARE(IsPortAvailable(0), 0);
        QVERIFY2(m_messages.texts.isEmpty(), qPrintable(m_messages.texts.join(u'|')));
        QVERIFY(keyReachesTheLine('x'));
    }

    // A far end that reads late still gets every byte Obrelle queued before a transmit
    // flush: a key typed just before "Log On to Station", and the NAK after each refusal.
    void everyByteOfALogOnReachesASlowReader_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("wrong answer") << "wrong-answer";
        QTest::newRow("no answer") << "no-answer";
    }

    void everyByteOfALogOnReachesASlowReader()
    {
        QFETCH(QString, fault);
        SimSettings settings;
        QVERIFY(applyFault(fault, settings, nullptr));
        QVERIFY(applyFault(QStringLiteral("slow-reader=30"), settings, nullptr));
        QVERIFY(m_site->start(settings));
        m_state = TerminalState();
        m_state.BaudCode = BaudTable::codeFor(9600);
        TerminalPort(m_state, m_serial, m_messages).OpenPort();
        QCOMPARE(IsPortAvailable(0), 0);
        TerminalWaits waits(m_state.TimerExpired, 300); // a shorter limit only keeps the silent case quick
        PortWatcher watcher(m_state.PortId);
        connect(&watcher, &PortWatcher::activity, &waits, &TerminalWaits::portActivity);
        LogonOutcome view;

        QCOMPARE(PutByte(0, 'x'), 0);
        Logon(m_state, m_serial, waits, view).run();
        QCOMPARE(view.shown, QStringLiteral("Failure communicating with station 1 "));
        QTRY_COMPARE_WITH_TIMEOUT(m_site->sim()->receivedBytes().toHex(' '), QByteArray("78 7b 15 7b 15"), 2000);
    }

    void damagedSiteFile_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("layout"); // 0: as given; 1: then zero bytes; 2: then empty lines
        QTest::addColumn<int>("baudOption");
        QTest::addColumn<bool>("problem");

        QRandomGenerator random(11);
        QByteArray noise(64 * 1024, Qt::Uninitialized);
        for (char &b : noise)
            b = char(random.bounded(256));
        QTest::newRow("binary garbage") << noise << 0 << 0 << true;
        QTest::newRow("empty") << QByteArray() << 0 << 0 << true;
        QTest::newRow("300 MB, one endless line") << SiteFields << 1 << 2 << true;
        QTest::newRow("300 MB of lines after the fields") << SiteText << 2 << 2 << false;
    }

    // What could be read is used, the rest keeps its defaults; the window comes up, the port
    // opens and works; the file is read in pieces, quickly, and left as it was.
    void damagedSiteFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, layout);
        QFETCH(int, baudOption);
        QFETCH(bool, problem);
        const QString name = QStringLiteral("config.dat");
        if (layout == 0)
            QVERIFY(Faults::writeAll(name, contents));
        else if (layout == 1)
            QVERIFY(Faults::writeSparse(name, contents, Enormous));
        else
            QVERIFY(Faults::writeManyLines(name, contents, Enormous));
        const qint64 size = QFileInfo(name).size();
        SimSettings settings;
        QVERIFY(m_site->start(settings));

        startProgram();
        qInfo("%lld bytes read in %lld ms, peak %lld kB above the size before", size, m_loadMs, m_loadPeakKb);
        QVERIFY2(m_loadMs < 5000, qPrintable(QStringLiteral("%1 ms").arg(m_loadMs)));
        QVERIFY2(m_loadPeakKb < 64 * 1024, qPrintable(QStringLiteral("%1 kB more at the peak").arg(m_loadPeakKb)));
        QCOMPARE(!m_siteFile.problem.isEmpty(), problem);
        QVERIFY(m_program.form()->isVisible());
        QVERIFY2(m_messages.texts.isEmpty(), qPrintable(m_messages.texts.join(u'|')));
        QVERIFY(m_program.get<QRadioButton>("ComOpt(0)")->isChecked());
        QVERIFY(m_program.get<QRadioButton>(qPrintable(QStringLiteral("BaudOpt(%1)").arg(baudOption)))->isChecked());
        QCOMPARE(IsPortAvailable(0), 0);
        QVERIFY(keyReachesTheLine('x'));
        QCOMPARE(QFileInfo(name).size(), size);
        QCOMPARE(Faults::readHead(name, contents.size()), contents);
    }
};

QTEST_MAIN(TestTerminalFaults)
#include "tst_faults_terminal.moc"

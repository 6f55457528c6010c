// Obrelle's window in real time over a pseudo-terminal: the real serial library, waits and
// receive side against the simulated station line and its panel.

#include "PortWatcher.h"
#include "RecordingMessages.h"
#include "SerialLine.h"
#include "SiteFile.h"
#include "StationSim.h"
#include "SimulatedSite.h"
#include "TerminalProgram.h"
#include "Termfrm.h"
#include "TerminalState.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The real library, with the moment each byte was handed to it.
class TimedLine : public CommDrvLine
{
public:
    int32_t PutByte(int32_t port, int32_t byte) override
    {
        sentAt.append(clock.nsecsElapsed());
        return CommDrvLine::PutByte(port, byte);
    }
    QElapsedTimer clock;
    QList<qint64> sentAt;
};

} // namespace

class TestTerminalEndToEnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimulatedSite> m_site;
    TimedLine m_serial;
    TerminalState m_state;
    RecordingMessages m_messages;
    TerminalProgram m_program;


    // The program's start-up, as main() does it.
    void startProgram()
    {
        m_state = TerminalState();
        LoadConfig(m_state);
        m_program.start(m_state, m_serial, m_messages);
    }

    void logOn(int station)
    {
        m_program.get<QLineEdit>("StaTxt")->setText(QString::number(station));
        m_program.get<QPushButton>("LogonCmd")->click();
    }

private slots:
    void init()
    {
        m_site = std::make_unique<SimulatedSite>();
        QFile site(QStringLiteral("config.dat"));
        QVERIFY(site.open(QIODevice::WriteOnly));
        site.write("30,5,1,0,\"Site\",\"\",0,0\r\n\"\",\"\",\"\",\"\",\"Ward A\"\r\n1,2,3,4,5\r\n0,0\r\n9600,0\r\n\"\"\r\n");
        site.close();
        QVERIFY2(m_site->start(), qPrintable(m_site->errorString()));
        m_messages = RecordingMessages();
        m_serial.clock.start();
        m_serial.sentAt.clear();
        startProgram();
        QVERIFY2(m_messages.texts.isEmpty(), qPrintable(m_messages.texts.join(" | ")));
        QCOMPARE(IsPortAvailable(0), 0);
        QVERIFY(m_program.get<QRadioButton>("BaudOpt(2)")->isChecked());
    }

    void cleanup()
    {
        m_program.stop();
        m_site.reset();
    }

    // The line carries 10 bits a byte at the speed chosen: at 1200 baud the panel's lines
    // come at 120 characters a second.
    void logOnAndTalkToThePanel_data()
    {
        QTest::addColumn<int>("baudOption");
        QTest::newRow("9600 baud") << 2;
        QTest::newRow("1200 baud") << 0;
    }

    void logOnAndTalkToThePanel()
    {
        QFETCH(int, baudOption);
        m_program.get<QRadioButton>(qPrintable(QStringLiteral("BaudOpt(%1)").arg(baudOption)))->click();
        logOn(5);
        QLabel *connectinfo = m_program.get<QLabel>("Connectinfo");
        QVERIFY(connectinfo->isVisible());
        QCOMPARE(connectinfo->text(), QStringLiteral("Connection established with station 5 Ward A"));

        QTRY_COMPARE(m_site->sim()->received().size(), 5);
        const QList<TimedByte> received = m_site->sim()->received();
        const QByteArray expected("[END\r");
        for (int i = 0; i < 5; ++i)
            QCOMPARE(received[i].byte, uint8_t(expected[i]));
        // Paced as sent; the simulator's thread may take a byte late, so its gaps only roughly agree.
        QCOMPARE(m_serial.sentAt.size(), 5);
        for (int i = 2; i < 5; ++i) {
            QVERIFY2(m_serial.sentAt[i] - m_serial.sentAt[i - 1] >= 200'000'000, "opening sequence paced too fast");
            QVERIFY(received[i].ns - received[i - 1].ns >= 100'000'000);
        }

        // The station ends its lines with CR LF: each LF shows as its symbol at the next line's start.
        QTRY_VERIFY2(m_program.shown().contains(
                         QStringLiteral("VELGRIN CONTROL PANEL - STATION 5 Ward A\n\u240ATYPE HELP FOR COMMANDS\n\u240ASTATION 05> ")),
                     qPrintable(m_program.shown()));
        QTest::keyClicks(m_program.get<QPlainTextEdit>("TermTxt"), "status");
        QTest::keyClick(m_program.get<QPlainTextEdit>("TermTxt"), Qt::Key_Return);
        QTRY_VERIFY(m_program.shown().contains(QStringLiteral("STATION 05> status\n\u240ASTATION 5 Ward A: NORMAL, NO ALARMS\n")));
        QVERIFY(m_messages.texts.isEmpty());
    }

    void pulledLineThenChosenAgain()
    {
        logOn(5);
        QTRY_VERIFY(m_program.shown().endsWith("STATION 05> "));
        QVERIFY(m_site->line().hangUp());
        QTRY_COMPARE(IsPortAvailable(0), 1); // the library let go of the dead line
        QTest::keyClick(m_program.get<QPlainTextEdit>("TermTxt"), Qt::Key_A);
        QCOMPARE(m_messages.texts, QStringList{"COMM-DRV Output error 1"});
        QVERIFY(!m_messages.reasons[0].isEmpty());

        m_program.get<QRadioButton>("ComOpt(0)")->click(); // the same port again opens the fresh line
        QCOMPARE(IsPortAvailable(0), 0);
        QCOMPARE(m_messages.texts.size(), 1);
        logOn(12);
        QCOMPARE(m_program.get<QLabel>("Connectinfo")->text(), QStringLiteral("Connection established with station 12 "));
        QTRY_VERIFY(m_program.shown().endsWith("STATION 12> "));
    }

    void exitClosesThePort()
    {
        QSignalSpy ended(m_program.form(), &Termfrm::ended);
        m_program.get<QPushButton>("Command1")->click();
        QCOMPARE(ended.size(), 1);
        QCOMPARE(IsPortAvailable(0), 1);
    }
};

QTEST_MAIN(TestTerminalEndToEnd)
#include "tst_terminal_e2e.moc"

// Send Data in real time over a pseudo-terminal: the real waits, serial library and
// stream against the simulated station line, which decodes what arrived and checks
// every pause.

#include "AddressCode.h"
#include "DownloadStream.h"
#include "ExampleConfigs.h"
#include "RecordingSendView.h"
#include "SerialLine.h"
#include "StationProgrammer.h"
#include "StationSim.h"
#include "SimulatedSite.h"
#include "TimedWaits.h"
#include "TimingWaits.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using Outcome = StationProgrammer::Outcome;

namespace {

QByteArray trimmedBytes(const QString &text)
{
    QString t = text;
    while (t.startsWith(u' '))
        t.remove(0, 1);
    while (t.endsWith(u' '))
        t.chop(1);
    return t.toLatin1();
}

} // namespace

class TestDownloadEndToEnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimulatedSite> m_site;
    CommDrvLine m_serial;
    PagerConfig m_config;
    SetupState m_state;
    RecordingSendView m_view;
    QList<TimingWaits::Pause> m_pauses;

    bool startLine(const SimSettings &settings = {}) { return m_site->start(settings); }

    // A shorter answerLimitMs only keeps a silent station's cases quick.
    Outcome send(const PagerConfig &config, int station = 5, int answerLimitMs = Waits::RestInterval,
                 int baudOption = 2)
    {
        m_config = config;
        m_state.SetStation(int16_t(station));
        SetBaudRate(m_config, m_state, baudOption);
        SetPortNumber(m_config, m_state, 1);
        TimedWaits real(m_state, m_serial);
        real.setInterval(answerLimitMs);
        TimingWaits waits(real);
        StationProgrammer programmer(m_config, m_state, m_serial, waits, m_view);
        const Outcome outcome = programmer.sendData();
        m_pauses = waits.pauses;
        return outcome;
    }

    DecodedDownload lastDownload()
    {
        if (!QTest::qWaitFor([this] { return !m_site->sim()->downloads().isEmpty(); }, 3000))
            return {};
        return m_site->sim()->downloads().last();
    }

private slots:
    void init() { m_site = std::make_unique<SimulatedSite>(); }

    void cleanup()
    {
        m_site.reset();
        m_view = RecordingSendView();
    }

    // Twelve inputs with groups and dial strings, at 9600 baud, NAKs before the clear's
    // ACK and noise before the final one.
    void fullDownload()
    {
        SimSettings settings;
        settings.faults.clearNaks = 2;
        settings.faults.garbageBeforeFinalAck = "\x15x";
        QVERIFY2(startLine(settings), qPrintable(m_site->errorString()));
        const PagerConfig config = ExampleConfigs::full(12);
        QCOMPARE(send(config), Outcome::Sent);
        QCOMPARE(IsPortAvailable(0), 1);
        QVERIFY(QFile::exists(QStringLiteral("pagcfg05.dat")));
        QCOMPARE(m_view.connectText, QStringLiteral("Page data sent to pager interface"));

        const DecodedDownload d = lastDownload();
        QVERIFY2(d.complete, qPrintable(d.problems.join(u'\n')));
        // Every pause as long as asked on this side; the simulator's own check also sees
        // its thread's wake-up delays on a loaded machine, so it is only reported here.
        QCOMPARE(m_pauses.size(), 3 * 4 + 6 + 3 * 12 + 144); // three clear requests
        QVERIFY(TimingWaits::early(m_pauses).isEmpty());
        for (const PacingViolation &v : d.violations)
            qInfo("simulator saw %s after %.3f ms of %d", qPrintable(v.what), v.measuredMs, v.requiredMs);
        QCOMPARE(d.station, 5);
        QCOMPARE(d.eprom, 1);
        QCOMPARE(d.mode, '3');
        QCOMPARE(d.block, '1');
        QCOMPARE(d.alternate, QByteArray("7001"));
        QCOMPARE(d.pagerNumbers.size(), 12);
        for (int i = 1; i <= 12; ++i) {
            QCOMPARE(d.pagerNumbers[i - 1], trimmedBytes(config.InputPagers[i]));
            QCOMPARE(d.pagerTexts[i - 1], config.InputTexts[i].toLatin1());
        }
        QCOMPARE(d.normEmer, QByteArray("101010101010"));
        QCOMPARE(d.groupCounts.count(3), 32);
        QCOMPARE(d.groupPagers.value(95), QByteArray("2313"));
        QCOMPARE(d.dialStrings.value(15), QByteArray("9,,015550115"));
        QCOMPARE(m_site->sim()->received().first().byte, uint8_t(0x5B));
    }

    // The longest tail the window allows, at each speed, over the simulator's wire: at 1200
    // baud the end mark crosses seconds after its write returned, and the station's ACK,
    // which follows its arrival, is still awaited.
    void longestStationOverTheWire_data()
    {
        QTest::addColumn<int>("baudOption");
        QTest::addColumn<int>("baud");
        QTest::newRow("1200 baud") << 0 << 1200;
        QTest::newRow("2400 baud") << 1 << 2400;
        QTest::newRow("9600 baud") << 2 << 9600;
    }

    void longestStationOverTheWire()
    {
        QFETCH(int, baudOption);
        QFETCH(int, baud);
        QVERIFY(startLine());
        const PagerConfig config = ExampleConfigs::longest(8);
        QCOMPARE(send(config, 5, Waits::RestInterval, baudOption), Outcome::Sent);
        QVERIFY(TimingWaits::early(m_pauses).isEmpty());
        const DecodedDownload d = lastDownload();
        QVERIFY2(d.complete, qPrintable(d.problems.join(u'\n')));
        QCOMPARE(d.dialStrings.value(15), config.WideAreaDial[15].toLatin1());
        const TimedByte endMark = m_site->sim()->received().last();
        const double queuedMs = double(endMark.arrivedNs - endMark.ns) / 1e6;
        qInfo("%d baud: the end mark crossed %.0f ms after it was written", baud, queuedMs);
        if (baud == 1200)
            QVERIFY(queuedMs > Waits::RestInterval);
    }

    // A pager interface that never answers: the 5 s run from the end mark's arrival.
    void missingFinalAckAfterTheWire()
    {
        SimSettings settings;
        settings.faults.finalAckMissing = true;
        QVERIFY(startLine(settings));
        QCOMPARE(send(ExampleConfigs::longest(8), 5, Waits::RestInterval, 0), Outcome::NotAcknowledged);
        const qint64 shownNs = std::chrono::steady_clock::now().time_since_epoch().count();
        const double afterArrivalMs = double(shownNs - m_site->sim()->received().last().arrivedNs) / 1e6;
        QVERIFY2(afterArrivalMs >= Waits::RestInterval && afterArrivalMs < Waits::RestInterval + 300,
                 qPrintable(QString::number(afterArrivalMs)));
        QCOMPARE(m_view.connectText, QStringLiteral("Error in sending data"));
    }

    void missingFinalAck()
    {
        SimSettings settings;
        settings.faults.finalAckMissing = true;
        QVERIFY(startLine(settings));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(send(ExampleConfigs::savedDefaults()), Outcome::NotAcknowledged);
        QVERIFY(clock.elapsed() >= 5000);
        QCOMPARE(m_view.connectText, QStringLiteral("Error in sending data"));
        QCOMPARE(m_view.connectColour, SendView::Colour::Failure);
        QCOMPARE(IsPortAvailable(0), 1);
    }

    // A far end that reads late, as a loaded station does, still gets the NAK after a
    // missing or wrong answer: the next attempt's transmit flush must not discard it.
    void everyNakReachesASlowReader_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("station");
        QTest::newRow("wrong answer, station 1") << "wrong-answer" << 1;
        QTest::newRow("no answer, station 5") << "no-answer" << 5;
    }

    void everyNakReachesASlowReader()
    {
        QFETCH(QString, fault);
        QFETCH(int, station);
        SimSettings settings;
        QVERIFY(applyFault(fault, settings, nullptr));
        QVERIFY(applyFault(QStringLiteral("slow-reader=30"), settings, nullptr));
        QVERIFY(startLine(settings));
        const QByteArray call(1, char(addressCode(station)));
        for (int run = 0; run < 8; ++run) {
            m_site->sim()->clearRecords();
            QCOMPARE(send(ExampleConfigs::savedDefaults(), station, 300), Outcome::NoConnection);
            QTRY_COMPARE_WITH_TIMEOUT(m_site->sim()->receivedBytes().toHex(' '), (call + '\x15' + call + '\x15').toHex(' '), 2000);
        }
    }

    // The window's Exit in the middle of the stream: the port is closed at once and the
    // send returns without another byte.
    void exitDuringStream()
    {
        QVERIFY(startLine());
        int32_t availableAfterExit = -1;
        StationProgrammer *running = nullptr;
        qint64 exitNs = 0;
        QTimer::singleShot(900, [&] {
            running->closePort();
            exitNs = std::chrono::steady_clock::now().time_since_epoch().count();
            availableAfterExit = IsPortAvailable(0);
        });
        m_config = ExampleConfigs::full(8);
        m_state.SetStation(5);
        SetBaudRate(m_config, m_state, 0);
        TimedWaits waits(m_state, m_serial);
        StationProgrammer programmer(m_config, m_state, m_serial, waits, m_view);
        running = &programmer;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(programmer.sendData(), Outcome::Aborted);
        QVERIFY(clock.elapsed() < 3000); // the whole stream takes over 4 s
        QCOMPARE(availableAfterExit, 1);
        QTest::qWait(300);
        for (const TimedByte &b : m_site->sim()->received())
            QVERIFY(b.ns <= exitNs);
    }
};

QTEST_GUILESS_MAIN(TestDownloadEndToEnd)
#include "tst_download_e2e.moc"

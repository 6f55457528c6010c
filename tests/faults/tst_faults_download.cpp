// "Send Data" from the setup window over a pseudo-terminal while the simulated station line
// misbehaves: it drops in the middle of a download, or floods the program with bytes no
// station sends. Each time the send ends with the right status line within its limits,
// the port is closed and the station file stays as saved.

#include "FaultFixture.h"
#include "Messages.h"
#include "Pagefrm.h"
#include "RecordingMessages.h"
#include "SerialLine.h"
#include "StationSim.h"
#include "SimulatedSite.h"
#include "commdrv.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

constexpr uint8_t ACK = 0x06;
const QString Sent = QStringLiteral("Page data sent to pager interface");
const QString NotSent = QStringLiteral("Error in sending data");
const QColor Red(255, 0, 0);

// The real library, but from babble() on, for at most 20 s, the line is never quiet:
// whenever the port's buffer runs dry more stray bytes are waiting, as from a device stuck
// transmitting faster than any program reads.
class NeverQuietLine : public CommDrvLine
{
public:
    void babble() { m_since.start(); }
    void quiet() { m_since.invalidate(); }

    int32_t BytesInReceiveBuffer(int32_t port) override
    {
        const int32_t real = CommDrvLine::BytesInReceiveBuffer(port);
        return babbling() ? std::max(real, 16) : real;
    }
    int32_t GetPacket(int32_t port, int32_t count, char *buffer) override
    {
        if (!babbling() || CommDrvLine::BytesInReceiveBuffer(port) >= count)
            return CommDrvLine::GetPacket(port, count, buffer);
        std::fill_n(buffer, count, '?');
        return 0;
    }

private:
    bool babbling() const { return m_since.isValid() && m_since.elapsed() < 20000; }
    QElapsedTimer m_since;
};

QByteArray bytesOf(const QList<TimedByte> &timed)
{
    QByteArray bytes;
    for (const TimedByte &b : timed)
        bytes.append(char(b.byte));
    return bytes;
}

} // namespace

class TestDownloadFaults : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimulatedSite> m_site;
    NeverQuietLine m_serial;
    RecordingMessages m_messages;
    std::unique_ptr<Pagefrm> m_window;

    const PagefrmUi &ui() const { return m_window->ui(); }
    StationSim *sim() const { return m_site->sim(); }
    bool startLine(const SimSettings &settings) { return m_site->start(settings); }

    // The window on station 1 with something of the user's in it, saved once.
    QByteArray openWindowAndSave()
    {
        m_window = std::make_unique<Pagefrm>(m_serial, &m_messages);
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            return {};
        ui().AltTxt->setText(QStringLiteral("7001"));
        ui().ManTxt->setText(QStringLiteral("7002"));
        ui().SaveCmd->click();
        return Faults::readAll(QStringLiteral("pagcfg01.dat"));
    }

    // The port is closed: the library holds no descriptor for it.
    static bool portClosed() { return CdrvReceiveDescriptor(0) == -1 && IsPortAvailable(0) == 1; }

    void verifyOutcome(const QString &text, const QColor &colour)
    {
        QVERIFY(ui().Connectinfo->isVisible());
        QCOMPARE(ui().Connectinfo->text(), text);
        QCOMPARE(ui().Connectinfo->palette().color(QPalette::WindowText), colour);
        QVERIFY2(m_messages.texts.isEmpty(), qPrintable(m_messages.texts.join(u'|')));
        QVERIFY(portClosed());
        QVERIFY(ui().CmdSend->isEnabled());
    }

private slots:
    void init()
    {
        m_messages = RecordingMessages();
        m_site = std::make_unique<SimulatedSite>();
    }

    void cleanup()
    {
        m_window.reset();
        m_site.reset();
    }

    void hangUpInTheMiddleOfADownload_data()
    {
        QTest::addColumn<int>("afterBytes");
        QTest::newRow("in the input lists") << 12;
        QTest::newRow("on the closing mark") << 23; // the stream of this record is 23 bytes
    }

    // The line drops: the program sends on into nothing, waits out the final limit without
    // spinning, says so in red and closes the port. Once the line is back the next send works.
    void hangUpInTheMiddleOfADownload()
    {
        QFETCH(int, afterBytes);
        SimSettings settings;
        settings.faults.hangUpAfterStreamBytes = afterBytes;
        QVERIFY2(startLine(settings), qPrintable(m_site->errorString()));
        const QByteArray saved = openWindowAndSave();
        QVERIFY(!saved.isEmpty());
        // Signals from the simulator's thread reach this one queued, to a receiver that
        // ends with the test, so none arrives after its variables are gone.
        QObject scope;
        int dropped = 0;
        connect(sim(), &StationSim::lineDropped, &scope, [&] { ++dropped; });

        QElapsedTimer clock;
        clock.start();
        const qint64 cpuBefore = Faults::processCpuMs();
        ui().CmdSend->click();
        const qint64 elapsed = clock.elapsed();
        const qint64 cpu = Faults::processCpuMs() - cpuBefore;

        QTRY_COMPARE(dropped, 1);
        verifyOutcome(NotSent, Red);
        QCOMPARE(ui().Sendinfo->text(), QStringLiteral(" "));
        QCOMPARE(Faults::readAll(QStringLiteral("pagcfg01.dat")), saved);
        QVERIFY2(elapsed < 20000, qPrintable(QString::number(elapsed)));
        // The waits sleep between events; a notifier left on the dead line would burn a core.
        QVERIFY2(cpu < elapsed / 2, qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(cpu).arg(elapsed)));
        QTRY_VERIFY(!sim()->downloads().isEmpty());
        QVERIFY(!sim()->downloads().last().complete);

        SimSettings mended = settings;
        mended.faults.hangUpAfterStreamBytes = -1;
        sim()->setSettings(mended);
        ui().CmdSend->click();
        verifyOutcome(Sent, m_window->palette().color(QPalette::ButtonText));
        QTRY_COMPARE(sim()->downloads().size(), 2);
        const DecodedDownload second = sim()->downloads().last();
        QVERIFY2(second.complete, qPrintable(second.problems.join(u'\n')));
        QCOMPARE(second.alternate, QByteArray("7001"));
        QCOMPARE(Faults::readAll(QStringLiteral("pagcfg01.dat")), saved);
    }

    // Noise before every answer to the address code: both attempts fail at once and nothing
    // but the two calls and their NAKs goes out. (On a pseudo-terminal the next attempt's
    // transmit flush may discard the first NAK before the simulator has read it.)
    void floodOnTheAddressCall()
    {
        SimSettings settings;
        settings.faults.garbageOnCall = Faults::garbage(20000);
        QVERIFY(startLine(settings));
        QVERIFY(!openWindowAndSave().isEmpty());
        QElapsedTimer clock;
        clock.start();
        ui().CmdSend->click();
        QVERIFY2(clock.elapsed() < 4500, "an attempt waited out its limit although bytes had come");
        verifyOutcome(QStringLiteral("Failure communicating with station 1"), Red);
        QTRY_VERIFY(bytesOf(sim()->received()).endsWith('\x15'));
        const QByteArray received = bytesOf(sim()->received());
        QCOMPARE(received.count('{'), 2);
        QCOMPARE(QByteArray(received).replace('\x15', "").replace('{', ""), QByteArray());
    }

    // A burst of noise answers the first memory-clear request: that attempt fails, the
    // buffer is flushed and the second attempt goes through to a complete download.
    void floodInTheClearWait()
    {
        SimSettings settings;
        settings.faults.clearSilentTimes = 1;
        QVERIFY(startLine(settings));
        QVERIFY(!openWindowAndSave().isEmpty());
        Faults::LineJammer jammer(sim()->slavePath());
        QVERIFY(jammer.isValid());
        QObject scope;
        bool injected = false;
        bool injectedWhole = false;
        connect(sim(), &StationSim::byteReceived, &scope, [&](quint8 byte, qint64) {
            if (byte == '\r' && !injected) {
                injected = true;
                injectedWhole = jammer.inject(Faults::garbage(3000));
            }
        });
        QElapsedTimer clock;
        clock.start();
        ui().CmdSend->click();
        QVERIFY(injected && injectedWhole);
        QVERIFY2(clock.elapsed() < 10000, "the clear wait ran to its limit although bytes had come");
        verifyOutcome(Sent, m_window->palette().color(QPalette::ButtonText));
        QVERIFY(bytesOf(sim()->received()).startsWith("{APG\r{APG\r"));
        QTRY_VERIFY(!sim()->downloads().isEmpty());
        QVERIFY(sim()->downloads().last().complete);
    }

    // Thirty thousand stray bytes and then the ACK, all within the 5 s.
    void floodBeforeTheFinalAck()
    {
        SimSettings settings;
        settings.faults.garbageBeforeFinalAck = Faults::garbage(30000);
        settings.instantLine = true; // at 1200 baud they would take four minutes to cross
        QVERIFY(startLine(settings));
        QVERIFY(!openWindowAndSave().isEmpty());
        ui().CmdSend->click();
        verifyOutcome(Sent, m_window->palette().color(QPalette::ButtonText));
        QCOMPARE(sim()->sentBytes().last().byte, ACK);
    }

    // Stray bytes that never stop and no ACK: the final wait still ends at its limit.
    void babbleThroughTheFinalWait()
    {
        SimSettings settings;
        settings.faults.finalAckMissing = true;
        QVERIFY(startLine(settings));
        QVERIFY(!openWindowAndSave().isEmpty());
        QObject scope;
        QElapsedTimer sinceStreamEnd;
        connect(sim(), &StationSim::downloadFinished, &scope, [&] {
            sinceStreamEnd.start();
            m_serial.babble();
        });
        ui().CmdSend->click();
        const qint64 waited = sinceStreamEnd.isValid() ? sinceStreamEnd.elapsed() : -1;
        m_serial.quiet();
        QVERIFY(waited >= 0);
        QVERIFY2(waited < 9000, qPrintable(QStringLiteral("the 5 s wait took %1 ms").arg(waited)));
        verifyOutcome(NotSent, Red);
    }
};

QTEST_MAIN(TestDownloadFaults)
#include "tst_faults_download.moc"

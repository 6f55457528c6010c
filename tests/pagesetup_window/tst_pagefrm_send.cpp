// "Send Data" from the window, in real time over a pseudo-terminal to the simulated station
// line: the bytes that arrive, the status lines, and what the window holds back meanwhile.

#include "Pagefrm.h"
#include "RecordingMessages.h"
#include "SerialLine.h"
#include "StationSim.h"
#include "SimulatedSite.h"
#include "commdrv.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

class TestPagefrmSend : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimulatedSite> m_site;
    CommDrvLine m_serial;
    RecordingMessages m_messages;
    std::unique_ptr<Pagefrm> m_window;

    const PagefrmUi &ui() const { return m_window->ui(); }

    void openWindow()
    {
        m_window = std::make_unique<Pagefrm>(m_serial, &m_messages);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    DecodedDownload lastDownload() const
    {
        if (!QTest::qWaitFor([this] { return !m_site->sim()->downloads().isEmpty(); }, 3000))
            return {};
        return m_site->sim()->downloads().last();
    }

private slots:
    void init()
    {
        m_messages = RecordingMessages();
        m_site = std::make_unique<SimulatedSite>();
        QVERIFY2(m_site->start(), qPrintable(m_site->errorString()));
    }

    void cleanup()
    {
        m_window.reset();
        m_site.reset();
    }

    // The defaults of a station without a file: the 23 bytes of the stream, the success
    // text in the button-text colour. Meanwhile nothing is disabled and the focus stays on
    // Send Data, but a second send and a station change are refused.
    void sendsTheDefaultsAndRefusesWhatWouldDisturbIt()
    {
        openWindow();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        ui().CmdSend->setFocus();
        bool enabledDuring = false;
        bool focusStayed = false;
        bool stationHeldBack = false;
        QTimer::singleShot(400, m_window.get(), [&] {
            enabledDuring = ui().CmdSend->isEnabled() && ui().StaSpin->isEnabled();
            focusStayed = QAccessible::queryAccessibleInterface(ui().CmdSend)->state().focused;
            QTest::keyClick(ui().CmdSend, Qt::Key_Space); // refused: one send runs
            ui().StaSpin->setValue(2);
            stationHeldBack = ui().StaSpin->value() == 1 && m_window->state().StationNumber == 1;
            ui().AltTxt->setText(QStringLiteral("77"));
        });
        QTest::keyClick(ui().CmdSend, Qt::Key_Space);

        QVERIFY(enabledDuring);
        QVERIFY(focusStayed);
        QVERIFY(stationHeldBack);
        QCOMPARE(m_site->sim()->downloads().size(), 1);
        QCOMPARE(QApplication::focusWidget(), ui().CmdSend);
        QVERIFY(ui().Connectinfo->isVisible());
        QCOMPARE(ui().Connectinfo->text(), QStringLiteral("Page data sent to pager interface"));
        QCOMPARE(ui().Connectinfo->palette().color(QPalette::WindowText),
                 m_window->palette().color(QPalette::ButtonText));
        QCOMPARE(ui().Sendinfo->text(), QStringLiteral(" "));
        QVERIFY(m_messages.texts.isEmpty());
        QVERIFY(QFile::exists(QStringLiteral("pagcfg01.dat")));
        QCOMPARE(IsPortAvailable(0), 1);

        const DecodedDownload d = lastDownload();
        QVERIFY2(d.complete, qPrintable(d.problems.join(u'\n')));
        // Pacing is proven on the sender's side elsewhere; the simulator's timestamps also
        // carry its own thread's wake-up delays on a loaded machine, so they are only reported.
        for (const PacingViolation &v : d.violations)
            qInfo("simulator saw %s after %.3f ms of %d", qPrintable(v.what), v.measuredMs, v.requiredMs);
        QCOMPARE(d.station, 1);
        QCOMPARE(d.raw, QByteArray::fromHex("3034300d0d0d040d20202020202020200d040d310d040d"));
        QCOMPARE(m_site->sim()->received().first().byte, uint8_t(123));
        // The edit made during the send waits for the next save.
        QCOMPARE(m_window->config().AlternatePager, QStringLiteral("77"));
    }

    // Exit in the middle of a 1200-baud stream closes the port and the send ends at once;
    // nothing is written after it (what was written before may still be crossing).
    void exitDuringASendEndsItAtOnce()
    {
        openWindow();
        int32_t availableAfterExit = -1;
        qint64 exitAt = -1;
        qint64 exitNs = 0;
        QElapsedTimer clock;
        QTimer::singleShot(700, m_window.get(), [&] {
            exitAt = clock.elapsed();
            exitNs = std::chrono::steady_clock::now().time_since_epoch().count();
            ui().CmdExit->click();
            availableAfterExit = IsPortAvailable(0);
        });
        clock.start();
        ui().CmdSend->click();
        QVERIFY(exitAt > 0);
        QVERIFY(clock.elapsed() - exitAt < 300);
        QVERIFY(m_site->sim()->downloads().isEmpty() || !m_site->sim()->downloads().last().complete);
        QCOMPARE(availableAfterExit, 1);
        QVERIFY(!m_window->isVisible());
        QTest::qWait(300);
        for (const TimedByte &b : m_site->sim()->received())
            QVERIFY(b.ns <= exitNs);
    }

    // A port with no device behind it: the message through the window, no status line,
    // and the station's file written all the same.
    void portWithoutDeviceIsReported()
    {
        openWindow();
        ui().Portspin->setValue(2);
        ui().CmdSend->click();
        QCOMPARE(m_messages.texts, QStringList{QStringLiteral("COMM-DRV Init port error")});
        QVERIFY(ui().Connectinfo->isHidden());
        QVERIFY(QFile::exists(QStringLiteral("pagcfg01.dat")));
        QCOMPARE(IsPortAvailable(0), 1);
    }

    void failuresShowInRed()
    {
        openWindow();
        m_window->setConnectinfo(QStringLiteral("Error in sending data"), SendView::Colour::Failure);
        QCOMPARE(ui().Connectinfo->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    }
};

QTEST_MAIN(TestPagefrmSend)
#include "tst_pagefrm_send.moc"

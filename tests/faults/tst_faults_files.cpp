// The setup window when the station file cannot be written (a read-only working directory,
// a directory in the file's place, a disk that fills) and when it is damaged, empty or
// enormous: the previous file stays whole, the user is told the file and the reason, a
// failed save stops a send before the port is opened, and no file is read into memory whole.

#include "ConfigFile.h"
#include "FaultFixture.h"
#include "Messages.h"
#include "Pagefrm.h"
#include "RecordingMessages.h"
#include "SerialLine.h"
#include "StationSim.h"
#include "SimulatedSite.h"
#include "commdrv.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTest>

namespace {

const QString FileName = QStringLiteral("pagcfg01.dat");
constexpr qint64 Enormous = 300LL * 1024 * 1024;

enum class Fault { ReadOnlyDirectory, DirectoryInPlace, DiskFull };

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestFileFaults : public QObject
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
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
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

    void saveFails_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("read-only working directory") << Fault::ReadOnlyDirectory << QStringLiteral("Permission denied");
        QTest::newRow("station file is a directory") << Fault::DirectoryInPlace << QStringLiteral("directory");
        QTest::newRow("disk fills (file size limit)") << Fault::DiskFull << QStringLiteral("File too large");
    }

    // "Save Data" and "Send Data" both tell the user the file and the reason; the send then
    // opens no port and puts nothing on the line. What was on disk stays as it was, and
    // the edits stay in the window, to be saved once the cause is mended.
    void saveFails()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, reason);
        PagerConfig previous;
        previous.SetDefaults();
        previous.AlternatePager = QStringLiteral("4242");
        if (fault == Fault::DirectoryInPlace) {
            QVERIFY(QDir().mkdir(FileName));
            QVERIFY(Faults::writeAll(FileName + QStringLiteral("/kept.txt"), "kept"));
        } else {
            QVERIFY(ConfigFile::save(previous, FileName).ok);
        }
        const QByteArray before = Faults::readAll(FileName);
        const QStringList entriesBefore = QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

        openWindow();
        // A folder in the file's place loads as no file: the defaults, without a message.
        QVERIFY(m_messages.texts.isEmpty());
        QCOMPARE(ui().AltTxt->text(), QLatin1String(fault == Fault::DirectoryInPlace ? " " : "4242"));
        m_messages = RecordingMessages();
        ui().ManTxt->setText(QStringLiteral("9999"));

        {
            std::unique_ptr<Faults::WriteProtectedDirectory> readOnly;
            std::unique_ptr<Faults::FileSizeLimit> sizeLimit;
            if (fault == Fault::ReadOnlyDirectory) {
                readOnly = std::make_unique<Faults::WriteProtectedDirectory>(m_site->path());
                if (!readOnly->effective())
                    QSKIP("this process can write in a directory of mode 0555 whatever its capabilities");
            } else if (fault == Fault::DiskFull) {
                sizeLimit = std::make_unique<Faults::FileSizeLimit>(512);
                QVERIFY(sizeLimit->active());
            }

            ui().SaveCmd->click();
            qInfo("%s / %s", qPrintable(m_messages.texts.value(0)), qPrintable(m_messages.reasons.value(0)));
            QCOMPARE(m_messages.texts, QStringList{QStringLiteral("Could not save pagcfg01.dat.")});
            QVERIFY2(m_messages.reasons.value(0).startsWith(FileName) && m_messages.reasons.value(0).contains(reason),
                     qPrintable(m_messages.reasons.value(0)));

            ui().CmdSend->click();
            QCOMPARE(m_messages.texts.size(), 2);
            QCOMPARE(m_messages.texts.at(1), QStringLiteral("Configuration not saved; nothing was sent"));
            QCOMPARE(m_messages.reasons.at(1), m_messages.reasons.at(0));
        }
        QVERIFY(ui().Connectinfo->isHidden());
        QCOMPARE(CdrvReceiveDescriptor(0), -1);
        QCOMPARE(IsPortAvailable(0), 1);
        QTest::qWait(200);
        QVERIFY(m_site->sim()->received().isEmpty());

        QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), entriesBefore);
        if (fault == Fault::DirectoryInPlace) {
            QVERIFY(QFileInfo(FileName).isDir());
            QCOMPARE(Faults::readAll(FileName + QStringLiteral("/kept.txt")), QByteArray("kept"));
            QVERIFY(QDir().rename(FileName, QStringLiteral("moved-aside")));
        } else {
            QCOMPARE(Faults::readAll(FileName), before);
        }

        ui().SaveCmd->click();
        QCOMPARE(m_messages.texts.size(), 2);
        PagerConfig saved;
        QVERIFY(ConfigFile::load(saved, FileName).problems.isEmpty());
        QCOMPARE(saved.ManagerPager, QStringLiteral("9999"));
    }

    void damagedStationFile_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("layout"); // 0: as given; 1: then zero bytes; 2: then empty lines
        QTest::addColumn<QString>("problem");

        QRandomGenerator random(5);
        QByteArray noise(64 * 1024, Qt::Uninitialized);
        for (char &b : noise)
            b = char(random.bounded(256));
        const QByteArray header("13\r\n1200\r\n 1 \r\n 0 \r\n 0 \r\n");
        QTest::newRow("binary garbage") << noise << 0 << QString();
        QTest::newRow("empty") << QByteArray() << 0 << QStringLiteral("ends early");
        QTest::newRow("300 MB, one endless line") << header + "1\r\n" << 1 << QStringLiteral("longer than 65536");
        QTest::newRow("300 MB of lines, inputs beyond count")
            << header + "99999999\r\n0\r\n4\r\n\r\n\r\n" << 2 << QStringLiteral("99999999 inputs");
    }

    // The window comes up at once with what could be read, says what could not, keeps the
    // record within its limits and leaves the file as it was.
    void damagedStationFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, layout);
        QFETCH(QString, problem);
        if (layout == 0)
            QVERIFY(Faults::writeAll(FileName, contents));
        else if (layout == 1)
            QVERIFY(Faults::writeSparse(FileName, contents, Enormous));
        else
            QVERIFY(Faults::writeManyLines(FileName, contents, Enormous));
        const qint64 size = QFileInfo(FileName).size();

        Faults::resetPeakMemory();
        const qint64 sizeBefore = Faults::statusKb("VmRSS");
        QElapsedTimer clock;
        clock.start();
        openWindow();
        const qint64 elapsed = clock.elapsed();
        const qint64 peakKb = Faults::statusKb("VmHWM") - sizeBefore;
        qInfo("%lld bytes: window up in %lld ms, peak %lld kB above the size before", size, elapsed, peakKb);
        QVERIFY2(elapsed < 5000, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
        QVERIFY2(peakKb < 64 * 1024, qPrintable(QStringLiteral("%1 kB more at the peak").arg(peakKb)));

        QVERIFY(m_window->isVisible());
        QCOMPARE(m_messages.texts.size(), 1);
        QCOMPARE(m_messages.texts.at(0), QStringLiteral("Not everything in pagcfg01.dat could be used as it stood."));
        QVERIFY2(m_messages.reasons.at(0).contains(problem), qPrintable(m_messages.reasons.at(0)));
        QVERIFY(m_window->config().inputCountN() <= PagerConfig::MaxInputs);
        QVERIFY(ui().InputSpin->maximum() <= PagerConfig::MaxInputs);
        QCOMPARE(QFileInfo(FileName).size(), size);
        QCOMPARE(Faults::readHead(FileName, contents.size()), contents);
    }
};

QTEST_MAIN(TestFileFaults)
#include "tst_faults_files.moc"

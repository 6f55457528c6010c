#include "PortWatcher.h"
#include "PseudoTerminal.h"
#include "commdrv.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <thread>

class TestPortWatcher : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void wakesWaitingEventLoop();
    void quietAfterHangUp();
    void followsClosesAndReopens();
    void fullBufferDoesNotSpin();

private:
    int32_t openPort(int32_t rxSize = 2048) { return InitializePort(0, 0, 0, 0, 9, 0, rxSize, 512, 0); }
    QByteArray takeAll()
    {
        QByteArray bytes(BytesInReceiveBuffer(0), '\0');
        GetPacket(0, static_cast<int32_t>(bytes.size()), bytes.data());
        return bytes;
    }

    std::unique_ptr<ScratchDirectory> m_scratch;
    std::unique_ptr<PseudoTerminal> m_line;
};

void TestPortWatcher::init()
{
    m_scratch = std::make_unique<ScratchDirectory>();
    CdrvSetDeviceRoot(m_scratch->root().toLocal8Bit().constData());
    m_line = std::make_unique<PseudoTerminal>();
    QVERIFY(m_line->isOpen());
    QVERIFY(m_line->link(m_scratch->path(), 1));
}

void TestPortWatcher::cleanup()
{
    if (IsPortAvailable(0) == 0)
        UnInitializePort(0);
    m_line.reset();
    m_scratch.reset();
}

// The timed waits sleep in processEvents until something happens; bytes from another
// thread must end that sleep without any timer of ours.
void TestPortWatcher::wakesWaitingEventLoop()
{
    QCOMPARE(openPort(), 0);
    PortWatcher watcher(0);
    QSignalSpy activity(&watcher, &PortWatcher::activity);
    QTimer::singleShot(3000, [] {}); // guard only
    std::thread sender([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_line->send("05ab");
    });
    QElapsedTimer clock;
    clock.start();
    while (BytesInReceiveBuffer(0) < 4 && clock.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    sender.join();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(activity.count() >= 1);
    QCOMPARE(takeAll(), QByteArray("05ab"));
}

void TestPortWatcher::quietAfterHangUp()
{
    QCOMPARE(openPort(), 0);
    PortWatcher watcher(0);
    QSignalSpy activity(&watcher, &PortWatcher::activity);
    m_line->hangUp();
    QVERIFY(activity.wait(2000));
    QCOMPARE(CdrvReceiveDescriptor(0), -1); // released without anyone asking
    QTest::qWait(300);
    QCOMPARE(activity.count(), 1);
    QCOMPARE(IsPortAvailable(0), CdrvNotOpen);
}

void TestPortWatcher::followsClosesAndReopens()
{
    PortWatcher watcher(0);
    QSignalSpy activity(&watcher, &PortWatcher::activity);
    QCOMPARE(openPort(), 0);
    QVERIFY(m_line->send("1"));
    QVERIFY(activity.wait(2000));
    QCOMPARE(takeAll(), QByteArray("1"));

    QCOMPARE(UnInitializePort(0), 0);
    QCOMPARE(openPort(), 0);
    QVERIFY(m_line->send("2"));
    QVERIFY(activity.wait(2000));
    QCOMPARE(takeAll(), QByteArray("2"));

    // After a hang-up, the next line behind com1 is watched too.
    m_line->hangUp();
    QVERIFY(activity.wait(2000));
    PseudoTerminal next;
    QVERIFY(next.link(m_scratch->path(), 1));
    QCOMPARE(openPort(), 0);
    activity.clear();
    QVERIFY(next.send("3"));
    QVERIFY(activity.wait(2000));
    QCOMPARE(takeAll(), QByteArray("3"));
}

void TestPortWatcher::fullBufferDoesNotSpin()
{
    QCOMPARE(openPort(4), 0);
    PortWatcher watcher(0);
    QSignalSpy activity(&watcher, &PortWatcher::activity);
    QVERIFY(m_line->send("0123456789"));
    QVERIFY(activity.wait(2000));
    QTest::qWait(200);
    QVERIFY2(activity.count() <= 3, qPrintable(QString::number(activity.count())));
    QCOMPARE(BytesInReceiveBuffer(0), 4);

    QByteArray got = takeAll();
    QTRY_COMPARE(BytesInReceiveBuffer(0), 4);
    got += takeAll();
    QTRY_COMPARE(BytesInReceiveBuffer(0), 2);
    got += takeAll();
    QCOMPARE(got, QByteArray("0123456789"));
}

QTEST_GUILESS_MAIN(TestPortWatcher)
#include "tst_portwatcher.moc"

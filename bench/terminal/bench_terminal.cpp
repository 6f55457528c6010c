// Obrelle over the simulated line, run by hand: idle CPU of the program, how soon received
// text is shown, a sustained fast stream with the window answering keys, and memory after
// 10 MB. Prints the figures.

#include "Messages.h"
#include "PortWatcher.h"
#include "PtyLine.h"
#include "Receiver.h"
#include "SerialLine.h"
#include "Termfrm.h"
#include "TerminalState.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMutex>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    const qsizetype i = std::min<qsizetype>(values.size() - 1, qsizetype(p / 100.0 * double(values.size())));
    return values[i];
}

void report(const char *what, const QList<double> &ms)
{
    std::printf("%-44s n=%-5lld median %8.3f ms  p99 %8.3f ms  min %8.3f  max %8.3f\n", what,
                static_cast<long long>(ms.size()), percentile(ms, 50), percentile(ms, 99), percentile(ms, 0),
                percentile(ms, 100));
}

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

double cpuSecondsOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// The far end of the line, on a thread of its own so the window's work cannot delay it.
class Station : public QObject
{
public:
    PtyLine *line = nullptr;
    QMutex mutex;
    QHash<QByteArray, qint64> writtenAt; // "L0000012" -> when it was handed to the line
    QList<qint64> keysAt;                // when each typed byte arrived
    qint64 written = 0;

    void open(const QString &link)
    {
        line = new PtyLine(this);
        // The program's own delay is measured, not the wire's: bytes cross at once.
        line->setLineTime(false);
        connect(line, &PtyLine::bytesWritten, this, [this](const QByteArray &bytes, qint64) {
            const QMutexLocker lock(&mutex);
            written += bytes.size();
        });
        connect(line, &PtyLine::bytesRead, this, [this](const QByteArray &bytes, qint64 ns) {
            const QMutexLocker lock(&mutex);
            for (qsizetype i = 0; i < bytes.size(); ++i)
                keysAt.append(ns);
        });
        if (!line->open(link))
            qFatal("cannot open the line: %s", qPrintable(line->errorString()));
    }
    void send(const QByteArray &bytes)
    {
        QMetaObject::invokeMethod(this, [this, bytes] {
            static const QRegularExpression id(QStringLiteral("[LP]\\d{7}"));
            const qint64 ns = nowNs();
            if (bytes.size() < 100) {
                const QMutexLocker lock(&mutex);
                for (auto m = id.globalMatch(QString::fromLatin1(bytes)); m.hasNext();)
                    writtenAt.insert(m.next().captured().toLatin1(), ns);
            }
            line->write(bytes);
        });
    }
    qint64 writtenSoFar()
    {
        const QMutexLocker lock(&mutex);
        return written;
    }
    qint64 when(const QByteArray &id)
    {
        const QMutexLocker lock(&mutex);
        return writtenAt.value(id, -1);
    }
};

QByteArray idOf(char kind, int n)
{
    return kind + QByteArray::number(n).rightJustified(7, '0');
}

// Waits on the window's event loop (the receive side runs meanwhile).
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool holdsDevice(qint64 pid, const QString &device)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget() == device)
            return true;
    return false;
}

void idleCpu(const QString &obrelle, const QString &dir, const QString &device)
{
    QProcess program;
    program.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(obrelle, {});
    if (!program.waitForStarted(5000)) {
        std::printf("idle CPU: cannot start %s\n", qPrintable(obrelle));
        return;
    }
    runFor(2000);
    const double before = cpuSecondsOf(program.processId());
    QElapsedTimer wall;
    wall.start();
    runFor(10000);
    const double used = cpuSecondsOf(program.processId()) - before;
    std::printf("idle Obrelle, port %s and silent: %.3f s CPU in %.1f s = %.2f %% of one core\n",
                holdsDevice(program.processId(), device) ? "open" : "NOT OPEN", used,
                double(wall.elapsed()) / 1000.0, 100.0 * used / (double(wall.elapsed()) / 1000.0));
    program.terminate();
    if (!program.waitForFinished(3000)) {
        program.kill();
        program.waitForFinished(3000);
    }
}

void printLoad()
{
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
        std::printf("load average %.2f %.2f %.2f\n", load[0], load[1], load[2]);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    QThread stationThread;
    Station station;
    station.moveToThread(&stationThread);
    stationThread.start();
    QMetaObject::invokeMethod(&station, [&] { station.open(dir.filePath(QStringLiteral("com1"))); },
                              Qt::BlockingQueuedConnection);

    idleCpu(QStringLiteral(OBRELLE_PATH), dir.path(), station.line->slavePath());

    TerminalState state;
    state.BaudRate = 9600;
    CommDrvLine serial;
    struct Silent : Messages
    {
        void show(const QString &text, const QString &reason) override
        {
            std::printf("message: %s (%s)\n", qPrintable(text), qPrintable(reason));
        }
    } messages;
    PortWatcher watcher(state.PortId);
    Termfrm form(state, serial, messages);
    QObject::connect(&watcher, &PortWatcher::activity, &form, &Termfrm::portActivity);
    QList<qint64> activityAt;
    QObject::connect(&watcher, &PortWatcher::activity, &form, [&] { activityAt.append(nowNs()); });
    form.start();
    // The accessibility bridge connects to its bus on its own time; the figures count only
    // once it is active.
    if (qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON")) {
        for (int i = 0; i < 30 && !QAccessible::isActive(); ++i)
            runFor(100);
    }
    printLoad();
    std::printf("platform %s, accessibility %s\n", qPrintable(QApplication::platformName()),
                QAccessible::isActive() ? "active" : "off");
    auto *termTxt = form.findChild<QPlainTextEdit *>(QStringLiteral("TermTxt"));

    // Every piece as it lands in TermTxt (this slot runs after the window appended it).
    QHash<QByteArray, qint64> shownAt;
    QHash<QByteArray, qint64> paintedAt;
    QList<QByteArray> awaitingPaint;
    QByteArray received;
    bool keepReceived = false;
    qint64 receivedBytes = 0;
    QObject::connect(&form.receiver(), &Receiver::textArrived, &form, [&](const QString &piece) {
        const qint64 ns = nowNs();
        receivedBytes += piece.size();
        if (keepReceived)
            received += piece.toLatin1();
        static const QRegularExpression id(QStringLiteral("[LP]\\d{7}"));
        for (auto m = id.globalMatch(piece); m.hasNext();) {
            const QByteArray key = m.next().captured().toLatin1();
            shownAt.insert(key, ns);
            awaitingPaint.append(key);
        }
    });
    struct PaintWatch : QObject
    {
        std::function<void()> painted;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                painted();
            return false;
        }
    } paintWatch;
    paintWatch.painted = [&] {
        const qint64 ns = nowNs();
        for (const QByteArray &key : std::as_const(awaitingPaint))
            paintedAt.insert(key, ns);
        awaitingPaint.clear();
    };
    termTxt->viewport()->installEventFilter(&paintWatch);
    runFor(500);

    // Lines ended by CR, 25 ms apart.
    {
        const int lines = 400;
        for (int i = 0; i < lines; ++i) {
            station.send(idOf('L', i) + " a line of text\r");
            runFor(25);
        }
        runFor(300);
        QList<double> shown, painted;
        for (int i = 0; i < lines; ++i) {
            const QByteArray key = idOf('L', i);
            const qint64 sent = station.when(key);
            if (sent < 0 || !shownAt.contains(key))
                continue;
            shown.append(double(shownAt[key] - sent) / 1e6);
            if (paintedAt.contains(key))
                painted.append(double(paintedAt[key] - sent) / 1e6);
        }
        report("CR-ended line in TermTxt after the CR", shown);
        report("CR-ended line painted after the CR", painted);
    }

    // Pieces without CR, 300 ms apart.
    {
        const int pieces = 40;
        for (int i = 0; i < pieces; ++i) {
            station.send(idOf('P', i));
            runFor(300);
        }
        QList<double> shown;
        for (int i = 0; i < pieces; ++i) {
            const QByteArray key = idOf('P', i);
            if (station.when(key) >= 0 && shownAt.contains(key))
                shown.append(double(shownAt[key] - station.when(key)) / 1e6);
        }
        report("piece without CR shown after its last byte", shown);
        for (int i = 0; i < pieces; ++i) {
            const QByteArray key = idOf('P', i);
            const qint64 sent = station.when(key);
            if (sent < 0 || shownAt.value(key) - sent < 110'000'000)
                continue;
            std::printf("  late piece %d: %.3f ms; activity at", i, double(shownAt[key] - sent) / 1e6);
            for (qint64 at : std::as_const(activityAt))
                if (at > sent - 50'000'000 && at < shownAt[key] + 50'000'000)
                    std::printf(" %.3f", double(at - sent) / 1e6);
            std::printf("\n");
        }
    }

    // 11,520 bytes a second for 20 s in 64-byte lines, with a key typed every 20 ms.
    {
        received.clear();
        keepReceived = true;
        const int rate = 11520;
        const int seconds = 20;
        const int lineLength = 64;
        QByteArray stream;
        for (int i = 0; i < rate * seconds / lineLength; ++i)
            stream += idOf('S', i) + " " + QByteArray(lineLength - 11, char('a' + i % 26)) + "\r\n";
        // The first key event makes the keyboard device; that belongs on the window's thread.
        QKeyEvent(QEvent::KeyPress, Qt::Key_K, Qt::NoModifier, QStringLiteral("k")); // NOLINT(bugprone-unused-raii): made only for that side effect
        QList<qint64> keysPostedAt;
        station.keysAt.clear();
        QTimer pacer;
        pacer.setTimerType(Qt::PreciseTimer);
        qsizetype offset = 0;
        QElapsedTimer clock;
        clock.start();
        int ticks = 0;
        QObject::connect(&pacer, &QTimer::timeout, &pacer, [&] {
            const qsizetype due = std::min<qsizetype>(stream.size(), qsizetype(clock.elapsed()) * rate / 1000);
            if (due > offset) {
                station.send(stream.mid(offset, due - offset));
                offset = due;
            }
            if (++ticks % 2 == 0) {
                // Typed from the station's thread's point of view: posted into the window's queue.
                QMetaObject::invokeMethod(&station, [&, termTxt] {
                    keysPostedAt.append(nowNs());
                    QCoreApplication::postEvent(termTxt, new QKeyEvent(QEvent::KeyPress, Qt::Key_K,
                                                                       Qt::NoModifier, QStringLiteral("k")));
                });
            }
        });
        pacer.start(10);
        while (offset < stream.size())
            runFor(50);
        pacer.stop();
        runFor(500);
        keepReceived = false;
        const QByteArray expected = QByteArray(stream).replace("\r", "\r\n");
        std::printf("stream of %lld bytes at %d bytes/s: %s, %lld bytes shown\n", static_cast<long long>(stream.size()),
                    rate, received == expected ? "shown complete and in order" : "LOSS OR DISORDER",
                    static_cast<long long>(received.size()));
        QList<double> keys;
        {
            const QMutexLocker lock(&station.mutex);
            for (qsizetype i = 0; i < std::min(keysPostedAt.size(), station.keysAt.size()); ++i)
                keys.append(double(station.keysAt[i] - keysPostedAt[i]) / 1e6);
        }
        report("key typed during the stream, on the line after", keys);
    }

    // Memory while 10 MB arrive as fast as the line takes them.
    auto flood = [&](const char *what, const QByteArray &unit) {
        const qint64 total = 10 * 1024 * 1024;
        const qint64 start = receivedBytes;
        const qint64 startWritten = station.writtenSoFar();
        qint64 queued = 0;
        qint64 nextMark = 1024 * 1024;
        std::printf("%s: resident %ld KiB before", what, residentKiB());
        QElapsedTimer clock;
        clock.start();
        while (receivedBytes - start < total) {
            if (queued < total && queued - (station.writtenSoFar() - startWritten) < 32 * 1024) {
                station.send(unit);
                queued += unit.size();
            }
            runFor(1);
            if (receivedBytes - start >= nextMark) {
                if (nextMark % (2 * 1024 * 1024) == 0)
                    std::printf(", %lld MB %ld", static_cast<long long>(nextMark >> 20), residentKiB());
                nextMark += 1024 * 1024;
            }
        }
        const double seconds = double(clock.elapsed()) / 1000.0;
        runFor(300);
        std::printf("; after %ld KiB; TermTxt %d blocks; shown in %.1f s (%.0f kB/s)\n", residentKiB(),
                    termTxt->document()->blockCount(), seconds, double(total) / 1000.0 / seconds);
    };
    QByteArray lines;
    for (int i = 0; i < 256; ++i)
        lines += "memory line " + QByteArray::number(i).rightJustified(5, '0') + QByteArray(44, '.') + "\r\n";
    flood("10 MB in 64-byte lines", lines);
    flood("10 MB with no CR at all", QByteArray(16384, 'x'));
    flood("10 MB in 3000-byte lines", QByteArray(2998, 'y') + "\r\n");

    form.Command1_Click();
    QMetaObject::invokeMethod(&station, [&] { delete station.line; }, Qt::BlockingQueuedConnection);
    printLoad();
    stationThread.quit();
    stationThread.wait();
    return 0;
}

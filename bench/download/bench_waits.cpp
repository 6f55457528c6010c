// How exact and how cheap the timed waits are, on the real timer, event loop and serial
// library over a pseudo-terminal:
// - Delay10, Delay and the log-on's pause: never shorter than asked; overshoot median, 95th and 99th
//   percentile, max; and how late errtimer's tick came, when one fell in the pause;
// - CPU time of the waiting thread against wall time;
// - a byte written to the far end during a limited wait: how soon the wait returns it.
// Usage: bench_waits [pauses-per-kind [bytes]]   (defaults 300 and 200)

#include "BenchStats.h"
#include "PagerConfig.h"
#include "SerialLine.h"
#include "TerminalWaits.h"
#include "TimedWaits.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <fcntl.h>
#include <random>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Times `count` calls of `pause`, each nominally `nominal` ms, on the waits whose errtimer is given.
void pauses(const char *name, const QTimer &errtimer, const std::function<void()> &pause, int nominal, int count)
{
    std::vector<double> overshoot, wake;
    int early = 0;
    long long tickNs = 0;
    const QMetaObject::Connection tick = QObject::connect(&errtimer, &QTimer::timeout, [&] { tickNs = bench::nowNs(); });
    const double cpuBefore = bench::threadCpuMs();
    const auto wallBefore = Clock::now();
    for (int i = 0; i < count; ++i) {
        tickNs = 0;
        const long long startNs = bench::nowNs();
        const auto start = Clock::now();
        pause();
        const double took = ms(Clock::now() - start);
        early += took < nominal;
        overshoot.push_back(took - nominal);
        if (tickNs)
            wake.push_back(double(tickNs - startNs) / 1e6 - nominal);
    }
    const double wall = ms(Clock::now() - wallBefore);
    const double cpu = bench::threadCpuMs() - cpuBefore;
    QObject::disconnect(tick);
    const bench::Stats s = bench::stats(overshoot), w = bench::stats(wake);
    std::printf("| %s | %d | %d | %.3f | %.3f | %.3f | %.3f | %.3f | %.2f%% | %d | %.3f |\n", name, count, early, s.min,
                s.median, s.p95, s.p99, s.max, 100.0 * cpu / wall, w.count, w.median);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int pauseCount = argc > 1 ? std::atoi(argv[1]) : 300;
    const int byteCount = argc > 2 ? std::atoi(argv[2]) : 200;

    QTemporaryDir dir;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (!dir.isValid() || master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0
        || !QFile::link(QString::fromLocal8Bit(::ptsname(master)), dir.filePath(QStringLiteral("com1")))
        || !QDir::setCurrent(dir.path())) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    CommDrvLine line;
    SetupState state;
    if (line.InitializePort(0, 0, 0, 0, 9, 0, 1280, 512, 0) != 0 || line.SetPortCharacteristics(0, 7, 0, 3, 0, 4) != 0) {
        std::fprintf(stderr, "cannot open com1: %s\n", line.LastError());
        return 1;
    }
    TimedWaits waits(state, line);

    bench::printLoad();
    std::printf("Pauses, overshoot in ms (CPU: the waiting thread's CPU time / wall time; ticks: pauses\n"
                "errtimer's tick fell in, and how late it came, median ms)\n\n");
    std::printf("| pause | count | early | min | median | p95 | p99 | max | CPU | ticks | tick late |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|\n");
    pauses("Delay10", waits.errtimer(), [&] { waits.Delay10(); }, 10, pauseCount);
    pauses("Delay", waits.errtimer(), [&] { waits.Delay(); }, 100, pauseCount / 3);
    // Obrelle's log-on pauses 200 ms between the bytes of its call.
    bool logonExpired = false;
    TerminalWaits logon(logonExpired);
    pauses("log-on pause", logon.errtimer(), [&] { logon.ShortPause(); }, 200, pauseCount / 6);

    // A writer thread puts one byte on the far end at a random moment of each wait.
    std::vector<double> latency;
    std::atomic<Clock::time_point> written{};
    std::atomic<bool> ready{false};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> delay(5, 40);
    const double cpuBefore = bench::threadCpuMs();
    const auto wallBefore = Clock::now();
    int missed = 0;
    for (int i = 0; i < byteCount; ++i) {
        const int afterMs = delay(random);
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
            written = Clock::now();
            ready = ::write(master, "x", 1) == 1;
        });
        const QByteArray got = waits.waitForBytes(1);
        const auto taken = Clock::now();
        writer.join();
        if (got != "x" || !ready) {
            ++missed;
            continue;
        }
        latency.push_back(ms(taken - written.load()));
    }
    const double wall = ms(Clock::now() - wallBefore);
    const double cpu = bench::threadCpuMs() - cpuBefore;
    line.UnInitializePort(0);
    ::close(master);

    const bench::Stats s = bench::stats(latency);
    std::printf("\nA byte arriving during a limited wait: write on the far end -> wait returns, ms\n\n");
    std::printf("| bytes | missed | min | median | p95 | p99 | max | CPU |\n|---|---|---|---|---|---|---|---|\n");
    std::printf("| %d | %d | %.3f | %.3f | %.3f | %.3f | %.3f | %.2f%% |\n", byteCount, missed, s.min, s.median,
                s.p95, s.p99, s.max, 100.0 * cpu / wall);
    bench::printLoad();
    return 0;
}

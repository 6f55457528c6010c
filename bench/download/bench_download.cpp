// Complete downloads with every group and dial string filled, sent by the real Send Data
// over a pseudo-terminal to the simulated station line and timed by the simulator: from
// the ACK it gave to the memory-clear request to the last byte of the stream, against the
// pauses the stream owes (the floor), 0.6 s + N x 0.3 s + 144 x 10 ms.
//
// Where the time goes, per stream pause and between pauses, on the sender's steady clock:
// - wake-up: errtimer's tick after the pause's nominal end (when the tick ended the pause);
// - tail: from that tick to the end of the pause (events processed on the way out);
// - view: the status-line texts; write: the serial library's writes; other: the rest.
//
// With --window the status lines are the real setup window's labels (shown, so their text
// changes reach accessibility when it is on); otherwise a view that does nothing.
// With --busy-reader the simulator reads the line without sleeping, as a pager interface's
// UART does: no write then waits on the machine waking a sleeping reader.
// The line: the simulator gives each byte 10 bit times at the speed set, so a slow line's
// queue shows: from the memory-clear ACK to the final ACK, against the floor and against
// the wire (when the last byte can have crossed at the earliest, the pauses timed at the
// sender after each record is queued), and the line idle the station saw before the records
// owed a pause, median and least, by the pause owed.
// Usage: bench_download [--baud 1200|2400|9600] [--window] [--busy-reader] [--runs R] [inputs...]
//        (default 1 64 512)

#include "BenchStats.h"
#include "DownloadStream.h"
#include "ExampleConfigs.h"
#include "ForwardingWaits.h"
#include "Messages.h"
#include "Pagefrm.h"
#include "RecordingSendView.h"
#include "SendView.h"
#include "SerialLine.h"
#include "StationProgrammer.h"
#include "StationSim.h"
#include "StationSimThread.h"
#include "TimedWaits.h"
#include "VirtualSetupWaits.h"
#include "commdrv.h"

#include <QAccessible>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <memory>
#include <pthread.h>
#include <string>

namespace {

using bench::nowNs;

// Time spent in calls of one kind, with the moments they ended.
struct Spent
{
    long long ns = 0;
    int calls = 0;
    std::vector<double> us; // each call's length

    template<typename F>
    auto operator()(F call)
    {
        const long long start = nowNs();
        struct Note
        {
            Spent &s;
            long long start;
            ~Note()
            {
                const long long took = nowNs() - start;
                s.ns += took;
                ++s.calls;
                s.us.push_back(double(took) / 1e3);
            }
        } note{*this, start};
        return call();
    }
};

class TimingLine : public SerialLine
{
public:
    explicit TimingLine(SerialLine &line) : m_line(line) {}
    Spent writes;

    int32_t IsPortAvailable(int32_t p) override { return m_line.IsPortAvailable(p); }
    int32_t InitializePort(int32_t p, int32_t i, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f,
                           int32_t g) override
    {
        return m_line.InitializePort(p, i, a, b, c, d, e, f, g);
    }
    int32_t SetPortCharacteristics(int32_t p, int32_t b, int32_t pa, int32_t d, int32_t s, int32_t f) override
    {
        return m_line.SetPortCharacteristics(p, b, pa, d, s, f);
    }
    int32_t SetBaud(int32_t p, int32_t b) override { return m_line.SetBaud(p, b); }
    int32_t CdrvSetTimerResolution(int32_t p, int32_t r) override { return m_line.CdrvSetTimerResolution(p, r); }
    int32_t CdrvDelay(int32_t p, int32_t t) override { return m_line.CdrvDelay(p, t); }
    int32_t RtsOn(int32_t p) override { return m_line.RtsOn(p); }
    int32_t FlushReceiveBuffer(int32_t p) override { return m_line.FlushReceiveBuffer(p); }
    int32_t FlushTransmitBuffer(int32_t p) override { return m_line.FlushTransmitBuffer(p); }
    int32_t PutByte(int32_t p, int32_t b) override { return writes([&] { return m_line.PutByte(p, b); }); }
    int32_t PutPacket(int32_t p, int32_t n, const char *b) override
    {
        return writes([&] { return m_line.PutPacket(p, n, b); });
    }
    int32_t BytesInReceiveBuffer(int32_t p) override { return m_line.BytesInReceiveBuffer(p); }
    int32_t GetPacket(int32_t p, int32_t n, char *b) override { return m_line.GetPacket(p, n, b); }
    int32_t UnInitializePort(int32_t p) override { return m_line.UnInitializePort(p); }
    const char *LastError() override { return m_line.LastError(); }
    int32_t CdrvTransmitTimeLeft(int32_t p) override { return m_line.CdrvTransmitTimeLeft(p); }

private:
    SerialLine &m_line;
};

class QuietView : public SendView
{
public:
    void setConnectinfo(const QString &, Colour) override {}
    void setConnectinfoVisible(bool) override {}
    void setSendinfo(const QString &) override {}
    void setSendinfoVisible(bool) override {}
    void showMessage(const QString &text, const QString &reason) override
    {
        std::fprintf(stderr, "%s %s\n", qPrintable(text), qPrintable(reason));
    }
};

class TimingView : public SendView
{
public:
    explicit TimingView(SendView &view) : m_view(view) {}
    Spent texts;

    void setConnectinfo(const QString &t, Colour c) override { texts([&] { m_view.setConnectinfo(t, c); }); }
    void setConnectinfoVisible(bool v) override { texts([&] { m_view.setConnectinfoVisible(v); }); }
    void setSendinfo(const QString &t) override { texts([&] { m_view.setSendinfo(t); }); }
    void setSendinfoVisible(bool v) override { texts([&] { m_view.setSendinfoVisible(v); }); }
    void showMessage(const QString &t, const QString &r) override { m_view.showMessage(t, r); }

private:
    SendView &m_view;
};

class PrintedMessages : public Messages
{
public:
    void show(const QString &text, const QString &detail) override
    {
        std::fprintf(stderr, "%s %s\n", qPrintable(text), qPrintable(detail));
    }
};

// Every pause with its start, end and the last errtimer tick during it; the writes and
// view calls made so far when it started.
class PhaseWaits : public ForwardingWaits
{
public:
    struct Pause
    {
        int ms;
        long long startNs, endNs, tickNs; // tickNs 0: no tick during the pause
        // Time spent writing and in the status texts so far, when the pause began and ended.
        long long writeNsAtStart, viewNsAtStart, writeNsAtEnd, viewNsAtEnd;
    };
    std::vector<Pause> pauses;

    PhaseWaits(TimedWaits &waits, const Spent &writes, const Spent &view)
        : ForwardingWaits(waits), m_writes(writes), m_view(view)
    {
        QObject::connect(&waits.errtimer(), &QTimer::timeout, [this] { m_tickNs = nowNs(); });
    }

    void Delay() override { timed(100, [this] { m_waits.Delay(); }); }
    void Delay10() override { timed(10, [this] { m_waits.Delay10(); }); }

private:
    template<typename F>
    void timed(int ms, F pause)
    {
        m_tickNs = 0;
        const long long writes = m_writes.ns, view = m_view.ns;
        const long long start = nowNs();
        pause();
        const long long end = nowNs();
        pauses.push_back({ms, start, end, m_tickNs, writes, view, m_writes.ns, m_view.ns});
    }

    const Spent &m_writes;
    const Spent &m_view;
    long long m_tickNs = 0;
};

struct Options
{
    int baud = 9600;
    bool window = false;
    bool busyReader = false;
    int runs = 1;
    QList<int> inputs;
};

int baudOption(int baud)
{
    return baud == 1200 ? 0 : baud == 2400 ? 1 : 2;
}

// The stream on virtual time over a line of that speed: the sum of its pauses, and when its
// last byte has crossed, both from the moment the memory-clear ACK arrived.
struct Floors
{
    double pausesS = 0, wireS = 0;
};

Floors floors(PagerConfig config, int baud)
{
    VirtualClock clock;
    ScriptedLine line(clock);
    line.open = true;
    line.byteNs = 10'000'000'000LL / baud;
    SetupState state;
    VirtualSetupWaits waits(line, state);
    RecordingSendView view;
    DownloadStream(state, line, waits, view).send(config, config.CountGroupPagers(), DownloadStream::WideAreaTotal(config));
    return {double(clock.now()) / 1e9, double(line.idleAtNs) / 1e9};
}

std::string gapText(const DecodedDownload &d, int pauseMs)
{
    for (const DecodedDownload::GapSummary &g : d.wireGaps()) {
        if (g.pauseMs == pauseMs)
            return QStringLiteral("%1 / %2").arg(g.medianMs, 0, 'f', 1).arg(g.minMs, 0, 'f', 1).toStdString();
    }
    return "-";
}

bool downloaded(StationSimThread &sim)
{
    QDeadlineTimer deadline(5000);
    while (sim.sim()->downloads().isEmpty() && !deadline.hasExpired())
        QThread::msleep(10);
    return !sim.sim()->downloads().isEmpty();
}

// The simulator notes a byte just after handing it to the line, where the program may read
// it first.
qint64 finalAckNs(StationSimThread &sim, qint64 streamEndNs)
{
    QDeadlineTimer deadline(1000);
    while (sim.sim()->sentBytes().last().ns < streamEndNs && !deadline.hasExpired())
        QThread::msleep(1);
    return sim.sim()->sentBytes().last().ns;
}

clockid_t simThreadClock(StationSimThread &sim)
{
    clockid_t clock = CLOCK_PROCESS_CPUTIME_ID;
    QMetaObject::invokeMethod(
        sim.sim(), [&] { pthread_getcpuclockid(pthread_self(), &clock); }, Qt::BlockingQueuedConnection);
    return clock;
}

double cpuMs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Each run's excess over the floor, %: measured at the receiver, on the sender's clock, and
// measured less the time spent inside the writes (the machine's pseudo-terminal).
struct Overs
{
    std::vector<double> measured, sender, lessWrites;
};

bool run(int n, const Options &options, const QString &dir, Pagefrm *window, Overs &overs,
         std::vector<std::string> &breakdown, std::vector<std::string> &lineRows)
{
    StationSimThread sim;
    SimSettings settings;
    settings.writeReports = false;
    settings.busyReader = options.busyReader;
    if (!sim.start(settings, dir, 1)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
        return false;
    }
    const clockid_t simClock = simThreadClock(sim);
    PagerConfig config = ExampleConfigs::full(n);
    SetupState state;
    state.SetStation(5);
    SetBaudRate(config, state, baudOption(options.baud));
    SetPortNumber(config, state, 1);
    CommDrvLine commdrv;
    TimingLine line(commdrv);
    TimedWaits real(state, line);
    QuietView quiet;
    TimingView view(window ? static_cast<SendView &>(*window) : quiet);
    PhaseWaits waits(real, line.writes, view.texts);
    StationProgrammer programmer(config, state, line, waits, view);

    const double cpuBefore = bench::processCpuMs() - cpuMs(simClock);
    const double windowCpuBefore = bench::threadCpuMs();
    const long long wallBefore = nowNs();
    const auto outcome = programmer.sendData();
    const double wall = double(nowNs() - wallBefore) / 1e6;
    const double cpu = bench::processCpuMs() - cpuMs(simClock) - cpuBefore;
    const double windowCpu = bench::threadCpuMs() - windowCpuBefore;
    if (outcome != StationProgrammer::Outcome::Sent || !downloaded(sim)) {
        std::fprintf(stderr, "%d inputs: not sent (%d)\n", n, int(outcome));
        return false;
    }
    const DecodedDownload d = sim.sim()->downloads().last();
    if (!d.complete || d.units.isEmpty() || d.units.first().gapNs < 0) {
        std::fprintf(stderr, "%d inputs: incomplete: %s\n", n, qPrintable(d.problems.join(u'\n')));
        return false;
    }

    const qint64 ackNs = d.units.first().firstNs - d.units.first().gapNs;
    const double measured = double(d.endNs - ackNs) / 1e9;
    const double minimum = 0.6 + n * 0.3 + 144 * 0.010;
    double receiverMargin = 1e9;
    for (const StreamUnit &u : d.units) {
        if (u.requiredPauseMs > 0)
            receiverMargin = std::min(receiverMargin, double(u.gapNs) / 1e6 - u.requiredPauseMs);
    }
    // The stream's own pauses: those after the last memory-clear request's four.
    const size_t count = 6 + 3 * size_t(n) + 144;
    const std::vector<PhaseWaits::Pause> stream(waits.pauses.end() - long(count), waits.pauses.end());
    std::vector<double> overshoot, wake, tail, between;
    int early = 0;
    long long inPauses = 0, writeNs = 0, viewNs = 0;
    for (size_t i = 0; i < stream.size(); ++i) {
        const PhaseWaits::Pause &p = stream[i];
        overshoot.push_back(double(p.endNs - p.startNs) / 1e6 - p.ms);
        early += p.endNs - p.startNs < p.ms * 1000000LL;
        inPauses += p.endNs - p.startNs;
        if (p.tickNs) {
            wake.push_back(double(p.tickNs - p.startNs) / 1e6 - p.ms);
            tail.push_back(double(p.endNs - p.tickNs) / 1e6);
        }
        if (i > 0) {
            between.push_back(double(p.startNs - stream[i - 1].endNs) / 1e6);
            writeNs += p.writeNsAtStart - stream[i - 1].writeNsAtEnd;
            viewNs += p.viewNsAtStart - stream[i - 1].viewNsAtEnd;
        }
    }
    const double sent = double(stream.back().endNs - stream.front().startNs) / 1e9;
    double nominal = 0;
    for (const PhaseWaits::Pause &p : stream)
        nominal += p.ms / 1e3;
    overs.sender.push_back(100.0 * (sent - nominal) / minimum);
    const double writeS = double(writeNs) / 1e9;
    const double viewS = double(viewNs) / 1e9;
    const double outside = sent - double(inPauses) / 1e9;
    const bench::Stats o = bench::stats(overshoot), w = bench::stats(wake), t = bench::stats(tail),
                       b = bench::stats(between), wr = bench::stats(line.writes.us);
    const double over = 100.0 * (measured - minimum) / minimum;
    overs.measured.push_back(over);
    const double lessWrites = 100.0 * (measured - minimum - writeS) / minimum;
    overs.lessWrites.push_back(lessWrites);

    std::printf("| %d | %d | %s | %.3f | %.3f | %+.2f%% | %+.2f%% | %+.2f%% | %d | %.3f | %lld | %.3f | %.3f | %.3f | %.3f | %.3f "
                "| %.2f%% | %.2f%% |\n",
                n, options.baud, window ? "window" : "quiet", minimum, measured, over,
                100.0 * (sent - nominal) / minimum, lessWrites, early, o.min,
                (long long)d.violations.size(), receiverMargin, o.median, o.p99, o.max, b.median, 100.0 * cpu / wall,
                100.0 * windowCpu / wall);
    char row[512];
    std::snprintf(row, sizeof row,
                  "| %d | %s | %.3f | %.3f | %.3f | %d | %.3f | %.3f | %.3f | %.3f | %.3f | %.1f | %.1f (%d calls) | "
                  "%.1f (%d calls) | %.0f / %.0f / %.0f | %.1f |\n",
                  n, window ? "window" : "quiet", w.median, w.p99, w.max, w.count, t.median, t.p99, b.median, b.p99,
                  b.max, outside * 1e3, viewS * 1e3, view.texts.calls, writeS * 1e3, line.writes.calls, wr.median,
                  wr.p95, wr.max, (outside - viewS - writeS) * 1e3);
    breakdown.emplace_back(row);

    const Floors floor = floors(config, options.baud);
    const double finalAckS = double(finalAckNs(sim, d.endNs) - ackNs) / 1e9;
    const double ackTimesS = 2.0 * 10 / options.baud + settings.finalAckDelayMs / 1e3;
    std::snprintf(row, sizeof row, "| %d | %d | %.3f | %.3f | %.3f | %+.3f | %s | %s |\n", n, options.baud,
                  floor.pausesS, floor.wireS, finalAckS, finalAckS - floor.wireS - ackTimesS,
                  gapText(d, 100).c_str(), gapText(d, 10).c_str());
    lineRows.emplace_back(row);
    std::fflush(stdout);
    return true;
}

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--baud") && i + 1 < argc)
            options.baud = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--window"))
            options.window = true;
        else if (!std::strcmp(argv[i], "--busy-reader"))
            options.busyReader = true;
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            options.runs = std::max(1, std::atoi(argv[++i]));
        else
            options.inputs << std::atoi(argv[i]);
    }
    if (options.inputs.isEmpty())
        options.inputs = {1, 64, 512};
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const Options options = parse(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return 1;
    // Only the simulator's comN link may be picked, never a device of the machine.
    CdrvSetDeviceRoot(qPrintable(dir.filePath(QStringLiteral("no-devices"))));

    CommDrvLine windowLine;
    PrintedMessages messages;
    std::unique_ptr<Pagefrm> window;
    if (options.window) {
        window = std::make_unique<Pagefrm>(windowLine, &messages);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            std::fprintf(stderr, "the window was not shown\n");
        // The accessibility bridge connects to its bus on its own time.
        if (qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"))
            (void)QTest::qWaitFor([] { return QAccessible::isActive(); }, 3000);
    }
    bench::printLoad();
    std::printf("platform %s, accessibility %s, simulator %s\n", qPrintable(QApplication::platformName()),
                QAccessible::isActive() ? "active" : "off",
                options.busyReader ? "reading without sleeping" : "asleep between bytes");
    std::printf("Complete downloads, all groups and dial strings filled. Measured: from the simulator's ACK\n"
                "to the memory-clear request to the last byte it read; over: past the floor (the pauses'\n"
                "sum). Sender over: the same on the program's clock, from the start of the stream's first\n"
                "pause to the end of its last. Less writes: measured, less the time inside the serial\n"
                "library's writes between pauses. Short: pauses shorter than nominal (sender: as its clock\n"
                "timed them; receiver: as the simulator's thread read the bytes); margin: the shortest\n"
                "pause minus its nominal, ms. Overshoot: past the nominal pause at the sender, ms.\n"
                "Between: from the end of one pause to the start of the next, ms. CPU: the program's\n"
                "threads (all but the simulator's) / wall time; window CPU: the window thread alone.\n\n");
    std::printf("| inputs | baud | view | floor s | measured s | over | sender over | less writes | sender short | sender margin | receiver short "
                "| receiver margin | overshoot median | p99 | max | between median | CPU | window CPU |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    bool ok = true;
    std::vector<std::string> breakdown, lineRows;
    for (int n : options.inputs) {
        Overs overs;
        for (int r = 0; r < options.runs; ++r)
            ok = run(n, options, dir.path(), window.get(), overs, breakdown, lineRows) && ok;
        if (overs.measured.size() > 1)
            std::printf("| %d | %d | median of %zu | | | %+.2f%% | %+.2f%% | %+.2f%% |\n", n, options.baud,
                        overs.measured.size(), bench::stats(overs.measured).median, bench::stats(overs.sender).median,
                        bench::stats(overs.lessWrites).median);
    }
    std::printf("\nWhere the time goes, ms. Wake-up: errtimer's tick after the nominal end of the pause\n"
                "(ticks: pauses a tick fell in); tail: from that tick to the end of the pause; between: see\n"
                "above; outside: all time between the stream's pauses, split into the status texts shown\n"
                "there, the writes and the rest (calls: all, in pauses or not); one write: median / p95 / max,\n"
                "microseconds.\n\n"
                "| inputs | view | wake-up median | p99 | max | ticks | tail median | p99 | between median | p99 "
                "| max | outside | texts | writes | one write | other |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const std::string &row : breakdown)
        std::printf("%s", row.c_str());
    std::printf("\nLine speed, s. Floor: the pauses alone; wire: when the last byte can have crossed at the\n"
                "earliest, each record queued as its pause begins; to final ACK: from the simulator's\n"
                "memory-clear ACK to its final ACK reaching the program; over the wire: that, less the wire,\n"
                "the simulator's %d ms before its final ACK and the two ACKs' own line time. Line idle before\n"
                "the records owed a pause, as the station saw it: median / least, ms.\n\n"
                "| inputs | baud | floor | wire | to final ACK | over the wire | idle before 100 ms pauses "
                "| idle before 10 ms pauses |\n|---|---|---|---|---|---|---|---|\n",
                SimSettings().finalAckDelayMs);
    for (const std::string &row : lineRows)
        std::printf("%s", row.c_str());
    bench::printLoad();
    CdrvSetDeviceRoot("");
    return ok ? 0 : 1;
}

// Complete downloads of 1, 64 and 512 inputs with every group and dial string filled,
// sent by the real Send Data over a pseudo-terminal to the simulated station line and
// timed by the simulator: from the ACK it gave to the memory-clear request to the last
// byte of the stream, against the pauses the stream owes, 0.6 s + N x 0.3 s + 144 x 10 ms.
// Usage: bench_download [inputs...]   (default 1 64 512)

#include "ExampleConfigs.h"
#include "SendView.h"
#include "SerialLine.h"
#include "StationProgrammer.h"
#include "StationSim.h"
#include "StationSimThread.h"
#include "TimedWaits.h"
#include "TimingWaits.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool downloaded(StationSimThread &sim)
{
    QDeadlineTimer deadline(5000);
    while (sim.sim()->downloads().isEmpty() && !deadline.hasExpired())
        QThread::msleep(10);
    return !sim.sim()->downloads().isEmpty();
}

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

bool run(int n, const QString &dir)
{
    StationSimThread sim;
    SimSettings settings;
    settings.writeReports = false;
    if (!sim.start(settings, dir, 1)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
        return false;
    }
    PagerConfig config = ExampleConfigs::full(n);
    SetupState state;
    state.SetStation(5);
    SetBaudRate(config, state, 2);
    SetPortNumber(config, state, 1);
    CommDrvLine line;
    TimedWaits real(state, line);
    TimingWaits waits(real);
    QuietView view;
    StationProgrammer programmer(config, state, line, waits, view);
    const auto outcome = programmer.sendData();
    if (outcome != StationProgrammer::Outcome::Sent
        || !downloaded(sim)) {
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
    const QList<TimingWaits::Pause> stream = waits.pauses.mid(waits.pauses.size() - (6 + 3 * n + 144));
    const double sent = double(stream.last().endNs - stream.first().startNs) / 1e9;
    std::vector<double> overshoot;
    double inPauses = 0;
    for (const TimingWaits::Pause &p : stream) {
        overshoot.push_back(double(p.endNs - p.startNs) / 1e6 - p.ms);
        inPauses += double(p.endNs - p.startNs) / 1e9;
    }
    int stalls = 0;
    double stalled = 0;
    for (double o : overshoot) {
        if (o > 20) {
            ++stalls;
            stalled += o / 1e3;
        }
    }
    std::sort(overshoot.begin(), overshoot.end());
    const double senderMargin = overshoot.front();
    // Stalls: the whole machine held up (on these shared machines the host's CPU quota
    // stops every thread for up to 100 ms under load; a plain sleep shows the same).
    std::fprintf(stderr,
                 "%d inputs: pause overshoot median %.3f ms, p99 %.3f ms, max %.3f ms; %d pauses stalled over 20 ms, "
                 "%.3f s in all; outside pauses %.3f s\n",
                 n, overshoot[overshoot.size() / 2], overshoot[overshoot.size() * 99 / 100], overshoot.back(), stalls,
                 stalled, sent - inPauses);
    std::printf("| %d | %.3f | %.3f | %+.2f%% | %.3f | %lld | %.3f | %lld | %.3f |\n", n, minimum, measured,
                100.0 * (measured - minimum) / minimum, sent, (long long)TimingWaits::early(stream).size(),
                senderMargin, (long long)d.violations.size(), receiverMargin);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<int> inputs;
    for (int i = 1; i < argc; ++i)
        inputs << std::atoi(argv[i]);
    if (inputs.isEmpty())
        inputs = {1, 64, 512};

    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return 1;
    std::printf("Complete downloads, 9600 baud, all groups and dial strings filled; seconds from the\n"
                "simulator's ACK to the memory-clear request to the last byte it read.\n"
                "Short: pauses shorter than nominal (sender: as the waits measured them; receiver: as\n"
                "the simulator's thread read the bytes); margin: the shortest pause minus its nominal, ms.\n"
                "Sender s: from the start of the stream's first pause to the end of its last.\n\n");
    std::printf("| inputs | minimum s | measured s | over | sender s | sender short | sender margin | receiver short | receiver margin |\n"
                "|---|---|---|---|---|---|---|---|---|\n");
    bool ok = true;
    for (int n : inputs)
        ok = run(n, dir.path()) && ok;
    return ok ? 0 : 1;
}

// stationsim: a simulated station line for the programs to talk to when no hardware is
// attached. Links DIR/comN to a pseudo-terminal and plays the stations until killed.

#include "LineEvents.h"
#include "StationSim.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

// Quits the application on SIGINT and SIGTERM, so the link is removed on the way out.
void quitOnSignals(QCoreApplication &app)
{
    if (::pipe(signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

void quitWhenStdinCloses(QCoreApplication &app)
{
    auto *notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app, notifier] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            notifier->setEnabled(false);
            app.quit();
        }
    });
}

void reportDownloads(StationSim &sim, const QString &dir)
{
    QObject::connect(&sim, &StationSim::downloadFinished, &sim, [dir](const DecodedDownload &d) {
        out() << "station " << d.station << ": download " << (d.complete ? "received" : "incomplete") << ", "
              << d.raw.size() << " bytes, " << d.violations.size() << " pacing violations, "
              << d.problems.size() << " problems; report "
              << QDir(dir).filePath(QStringLiteral("received-station%1.txt").arg(d.station, 2, 10, QLatin1Char('0')))
              << Qt::endl;
    });
    QObject::connect(&sim, &StationSim::loggedOn, &sim, [](int station) {
        out() << "station " << station << ": logged on" << Qt::endl;
    });
    QObject::connect(&sim, &StationSim::lineDropped, &sim, [] { out() << "line dropped" << Qt::endl; });
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("stationsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated station line on a pseudo-terminal.\n\n") + faultHelp());
    parser.addHelpOption();
    const QCommandLineOption dirOption(QStringLiteral("dir"), QStringLiteral("Working directory that gets the comN link."), QStringLiteral("DIR"));
    const QCommandLineOption comOption(QStringLiteral("com"), QStringLiteral("Port number N of the link comN (default 1)."), QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption pagerOption(QStringLiteral("pager-station"), QStringLiteral("The one station that is a pager interface (default: every station)."), QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption stationsOption(QStringLiteral("stations"), QStringLiteral("Stations present, e.g. 1-8,12 (default 1-32)."), QStringLiteral("LIST"));
    const QCommandLineOption faultOption(QStringLiteral("fault"), QStringLiteral("A fault mode (repeatable; see above)."), QStringLiteral("FAULT"));
    const QCommandLineOption stdinOption(QStringLiteral("until-stdin-closes"), QStringLiteral("Stop when standard input closes."));
    const QCommandLineOption toleranceOption(QStringLiteral("pacing-tolerance"), QStringLiteral("How much shorter than owed a pause may look (ms, default 0.5)."), QStringLiteral("MS"), QStringLiteral("0.5"));
    const QCommandLineOption eventsOption(QStringLiteral("line-events"), QStringLiteral("Print line speed changes, station calls, NAKs and download digests."));
    const QCommandLineOption instantOption(QStringLiteral("instant-line"), QStringLiteral("Bytes reach the far end at write time, with no line time (by default each byte takes 10 bit times at the speed the program set, both ways)."));
    parser.addOptions({dirOption, comOption, pagerOption, stationsOption, faultOption, stdinOption, toleranceOption, eventsOption, instantOption});
    parser.process(app);

    QTextStream err(stderr);
    if (!parser.isSet(dirOption)) {
        err << "stationsim: --dir DIR is required" << Qt::endl;
        return 2;
    }
    SimSettings settings;
    bool ok = true;
    const int com = parser.value(comOption).toInt(&ok);
    if (!ok || com < 1) {
        err << "stationsim: --com needs a port number from 1" << Qt::endl;
        return 2;
    }
    settings.pagerStation = parser.value(pagerOption).toInt(&ok);
    if (!ok || settings.pagerStation < 0 || settings.pagerStation > 32) {
        err << "stationsim: --pager-station needs a station number 1 to 32, or 0 for every station" << Qt::endl;
        return 2;
    }
    if (parser.isSet(stationsOption)) {
        const std::optional<QList<int>> stations = parseStationList(parser.value(stationsOption));
        if (!stations) {
            err << "stationsim: --stations needs numbers 1 to 32, e.g. 1-8,12" << Qt::endl;
            return 2;
        }
        settings.stations = *stations;
    }
    settings.pacingToleranceMs = parser.value(toleranceOption).toDouble(&ok);
    if (!ok || settings.pacingToleranceMs < 0) {
        err << "stationsim: --pacing-tolerance needs a number of milliseconds" << Qt::endl;
        return 2;
    }
    settings.instantLine = parser.isSet(instantOption);
    for (const QString &fault : parser.values(faultOption)) {
        QString why;
        if (!applyFault(fault, settings, &why)) {
            err << "stationsim: " << why << Qt::endl;
            return 2;
        }
    }

    const QString dir = QDir(parser.value(dirOption)).absolutePath();
    StationSim sim;
    sim.setSettings(settings);
    reportDownloads(sim, dir);
    if (!sim.start(dir, com)) {
        err << "stationsim: " << sim.errorString() << Qt::endl;
        return 1;
    }
    out() << sim.linkPath() << " -> " << sim.slavePath() << Qt::endl;
    if (parser.isSet(eventsOption))
        new LineEvents(sim, out());

    quitOnSignals(app);
    if (parser.isSet(stdinOption))
        quitWhenStdinCloses(app);
    const int result = app.exec();
    sim.stop();
    return result;
}

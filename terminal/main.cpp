#include "ModalMessages.h"
#include "PortWatcher.h"
#include "SerialLine.h"
#include "SiteFile.h"
#include "Termfrm.h"
#include "TerminalState.h"

#include <QApplication>
#include <QIcon>

// Obrelle, the station terminal: reads "config.dat" from the working directory, opens the
// port, and runs until Exit or the close box.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Obrelle"));
    QGuiApplication::setDesktopFileName(QStringLiteral("obrelle"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("obrelle")));
    TerminalState state;
    const SiteFileResult site = LoadConfig(state);
    if (!site.problem.isEmpty())
        qWarning("%s %s; the rest keeps its defaults", qPrintable(site.path), qPrintable(site.problem));

    CommDrvLine line;
    ModalMessages messages(QStringLiteral("Velgrin Terminal Program"), QMessageBox::Warning);
    PortWatcher watcher(state.PortId);
    Termfrm window(state, line, messages);
    QObject::connect(&watcher, &PortWatcher::activity, &window, &Termfrm::portActivity);
    QObject::connect(&window, &Termfrm::ended, &app, &QCoreApplication::quit);
    window.start();
    return app.exec();
}

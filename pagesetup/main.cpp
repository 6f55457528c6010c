// Tarnwick, the pager setup program: one window, no command line; the station files are
// in the working directory.

#include "Pagefrm.h"
#include "SerialLine.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tarnwick"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tarnwick")));

    CommDrvLine line;
    Pagefrm window(line);
    window.show();
    return app.exec();
}

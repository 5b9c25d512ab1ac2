#include "app/CommandLine.h"
#include "app/ProgramMain.h"
#include "app/TApplication.h"
#include "storage/unitAppInformation.h"
#include "sync/SyncRunner.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QString::fromLocal8Bit(AppTitle()));
    QCoreApplication::setApplicationVersion(
        QString::fromLocal8Bit(AppMajorVersion() + AppMinorVersion()));

    TCommandLine commandLine(CheckSyncServer, RunSyncNow);
    {
        // Read before the GUI exists, so that --help, --version and a mistake are answered also
        // where there is no display.
        QCoreApplication core(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        commandLine.process(QCoreApplication::arguments(), out, err);
    }
    if (!commandLine.shouldRun())
        return commandLine.exitStatus();

    TApplication app(argc, argv);
    // Lets the desktop match the window to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VC_APP_ID));
    return RunProgram();
}

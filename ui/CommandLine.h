#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

class QTextStream;

// The program's command line. Without arguments the window opens as always; --help and
// --version answer and end the program before any window or data folder exists, and anything
// else it does not know ends it with a message and status 2.
//
// Needs only a QCoreApplication (for the program's name and version), so it can run before the
// GUI, on a machine without a display.
class TCommandLine {
public:
    enum { UsageError = 2 };

    TCommandLine();

    // Reads the arguments, the program's path first. Help and version texts go to out, a mistake
    // to err.
    void process(const QStringList& arguments, QTextStream& out, QTextStream& err);

    // Whether the window is to open; otherwise the program ends with exitStatus().
    bool shouldRun() const { return run_; }
    int exitStatus() const { return status_; }

private:
    void addToolkitOptions();
    void stop(int status);

    QCommandLineParser parser_;
    QCommandLineOption helpOption_;
    QCommandLineOption versionOption_;
    bool run_ = true;
    int status_ = 0;
};

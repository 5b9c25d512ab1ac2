#pragma once

#include "sync/SyncAccount.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

class QTextStream;

// The program's command line. Without arguments the window opens as always; --help and
// --version answer and end the program before any window or data folder exists, and anything
// else it does not know ends it with a message and status 2. --import FILE and --export FILE
// move contacts in or out without a window, for scripts and backups: they print the summary
// and end with status 0, or print the reason and end with status 1. --sync-setup URL USER and
// --sync-now set up the sync account and sync the book with it, the same way; setting up reads
// the password from standard input, never from the command line.
//
// Needs only a QCoreApplication (for the program's name and version), so it can run before the
// GUI, on a machine without a display.
class TCommandLine {
public:
    enum { Failed = 1, UsageError = 2 };

    // The checker tries the server when an account is set up, the runner does a sync; without
    // them, both say that sync is not available.
    explicit TCommandLine(SyncChecker checker = {}, SyncRunner runner = {});

    // Reads the arguments, the program's path first. Help and version texts go to out, a mistake
    // to err.
    void process(const QStringList& arguments, QTextStream& out, QTextStream& err);

    // Whether the window is to open; otherwise the program ends with exitStatus().
    bool shouldRun() const { return run_; }
    int exitStatus() const { return status_; }

private:
    void addToolkitOptions();
    void stop(int status);
    void fail(const QString& program, QTextStream& err, const QString& reason);
    void transfer(const QString& program, QTextStream& out, QTextStream& err);
    void setUpSync(const QString& program, QTextStream& out, QTextStream& err);
    void syncNow(const QString& program, QTextStream& out, QTextStream& err);
    void findDuplicates(const QString& program, QTextStream& out, QTextStream& err);

    QCommandLineParser parser_;
    QCommandLineOption helpOption_;
    QCommandLineOption versionOption_;
    QCommandLineOption importOption_;
    QCommandLineOption exportOption_;
    QCommandLineOption findDuplicatesOption_;
    QCommandLineOption syncSetupOption_;
    QCommandLineOption syncNowOption_;
    SyncChecker checker_;
    SyncRunner runner_;
    bool run_ = true;
    int status_ = 0;
};

#pragma once

// A private CUPS scheduler for tests: it runs from a temporary folder, listens only on its own
// socket and captures every job sent to its printers as the file the program produced, in
// outDir() as job-<id>.pdf. Nothing of the machine's own CUPS is read or changed.
//
// Typical use (as root):
//     CupsQueue queue;
//     queue.useInThisProcess();               // before anything asks for printers
//     QVERIFY2(queue.start(&error), ...);
//     QVERIFY2(queue.addPrinter("Sheet", true, &error), ...);
//     ... print ...
//     QString pdf = queue.waitForNewJob(before, 60000);
//
// libcups remembers the server of a process at its first use, so useInThisProcess() must come
// before the first printer lookup of the process, and one process can talk to one scheduler only.
// The scheduler is stopped by the destructor, and on Linux also dies with the test process.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

class CupsQueue {
public:
    static constexpr const char* kSchedulerPath = "/usr/sbin/cupsd";

    // Why a private scheduler cannot run on this machine; empty when it can.
    static QString unavailableReason() {
        if (!QFileInfo(QString::fromLatin1(kSchedulerPath)).isExecutable())
            return QStringLiteral("CUPS scheduler %1 is not installed")
                .arg(QString::fromLatin1(kSchedulerPath));
        if (geteuid() != 0)
            return QStringLiteral("a private CUPS scheduler needs root (its backend must run "
                                  "as root to write the captured jobs)");
        for (const char* tool : {"lpadmin", "lpstat"})
            if (toolPath(QString::fromLatin1(tool)).isEmpty())
                return QStringLiteral("CUPS client tool %1 is not installed")
                    .arg(QString::fromLatin1(tool));
        return {};
    }

    CupsQueue() : root_(QStringLiteral("/tmp/vc-cups-XXXXXX")) {}
    ~CupsQueue() { stop(); }
    CupsQueue(const CupsQueue&) = delete;
    CupsQueue& operator=(const CupsQueue&) = delete;

    QString rootDir() const { return root_.path(); }
    QString socketPath() const { return root_.path() + QStringLiteral("/cups.sock"); }
    QString outDir() const { return root_.path() + QStringLiteral("/out"); }
    QString errorLogPath() const { return root_.path() + QStringLiteral("/log/error_log"); }
    qint64 pid() const { return scheduler_.processId(); }
    bool isRunning() const { return scheduler_.state() != QProcess::NotRunning; }

    // Points this process's CUPS client at the private scheduler and drops the variables that
    // would pick a destination of their own.
    void useInThisProcess() const {
        qputenv("CUPS_SERVER", QFile::encodeName(socketPath()));
        qunsetenv("LPDEST");
        qunsetenv("PRINTER");
    }

    // The environment for a child process (another test program, a CUPS tool) that should use
    // the private scheduler.
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CUPS_SERVER"), socketPath());
        env.remove(QStringLiteral("LPDEST"));
        env.remove(QStringLiteral("PRINTER"));
        return env;
    }

    bool start(QString* error, int timeoutMs = 30000) {
        if (!root_.isValid())
            return fail(error, QStringLiteral("cannot create a temporary folder"));
        if (!writeTree(error))
            return false;

        scheduler_.setProgram(QString::fromLatin1(kSchedulerPath));
        scheduler_.setArguments({QStringLiteral("-f"), QStringLiteral("-c"),
                                 root_.path() + QStringLiteral("/conf/cupsd.conf"),
                                 QStringLiteral("-s"),
                                 root_.path() + QStringLiteral("/conf/cups-files.conf")});
        scheduler_.setStandardOutputFile(root_.path() + QStringLiteral("/log/stdout"));
        scheduler_.setStandardErrorFile(root_.path() + QStringLiteral("/log/stderr"));
#ifdef __linux__
        // A crashed or killed test must not leave a scheduler behind.
        scheduler_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
        scheduler_.start();
        if (!scheduler_.waitForStarted(timeoutMs))
            return fail(error, QStringLiteral("cupsd did not start: ") + scheduler_.errorString());

        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            if (!isRunning())
                return fail(error, QStringLiteral("cupsd exited: ") + schedulerLog());
            if (QFileInfo::exists(socketPath())) {
                QString output;
                if (runTool(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &output) &&
                    output.contains(QStringLiteral("is running")))
                    return true;
            }
            QThread::msleep(50);
        }
        stop();
        return fail(error, QStringLiteral("cupsd did not answer on its socket: ") + schedulerLog());
    }

    // Stops the scheduler by its process id; safe to call more than once.
    void stop() {
        if (!isRunning())
            return;
        scheduler_.terminate();
        if (!scheduler_.waitForFinished(15000)) {
            scheduler_.kill();
            scheduler_.waitForFinished(5000);
        }
    }

    // A print queue that captures its jobs into outDir(); optionally the server's default.
    bool addPrinter(const QString& name, bool makeDefault, QString* error) {
        QString output;
        if (!runTool(QStringLiteral("lpadmin"),
                     {QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                      QStringLiteral("capture:") + outDir()},
                     &output))
            return fail(error, QStringLiteral("lpadmin -p failed: ") + output);
        if (makeDefault &&
            !runTool(QStringLiteral("lpadmin"), {QStringLiteral("-d"), name}, &output))
            return fail(error, QStringLiteral("lpadmin -d failed: ") + output);
        return true;
    }

    bool removePrinter(const QString& name, QString* error) {
        QString output;
        if (!runTool(QStringLiteral("lpadmin"), {QStringLiteral("-x"), name}, &output))
            return fail(error, QStringLiteral("lpadmin -x failed: ") + output);
        return true;
    }

    // Completed jobs captured so far (the backend renames a job into place when it is whole).
    QStringList jobFiles() const {
        QStringList files;
        const QStringList names =
            QDir(outDir()).entryList({QStringLiteral("job-*.pdf")}, QDir::Files, QDir::Name);
        for (const QString& name : names)
            files.append(outDir() + QLatin1Char('/') + name);
        return files;
    }

    // Waits for a job file that was not among `known`; empty when none came in time.
    QString waitForNewJob(const QStringList& known, int timeoutMs = 60000) const {
        QElapsedTimer clock;
        clock.start();
        do {
            for (const QString& file : jobFiles())
                if (!known.contains(file))
                    return file;
            QThread::msleep(50);
        } while (clock.elapsed() < timeoutMs);
        return {};
    }

    // Runs a CUPS client tool against the private scheduler; output holds stdout and stderr.
    bool runTool(const QString& tool, const QStringList& arguments, QString* output) const {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QString program = toolPath(tool);
        if (program.isEmpty()) {
            if (output)
                *output = tool + QStringLiteral(" not found");
            return false;
        }
        process.start(program, arguments);
        const bool finished = process.waitForFinished(30000);
        if (output)
            *output = QString::fromLocal8Bit(process.readAll()) + process.errorString();
        if (!finished) {
            process.kill();
            process.waitForFinished(5000);
            return false;
        }
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QString schedulerLog() const {
        QString text;
        for (const QString& name :
             {QStringLiteral("/log/stderr"), QStringLiteral("/log/error_log")}) {
            QFile file(root_.path() + name);
            if (file.open(QIODevice::ReadOnly))
                text += QString::fromLocal8Bit(file.readAll().right(4000));
        }
        return text;
    }

private:
    // lpadmin lives in sbin, which a test's PATH may lack.
    static QString toolPath(const QString& tool) {
        const QString found = QStandardPaths::findExecutable(tool);
        if (!found.isEmpty())
            return found;
        return QStandardPaths::findExecutable(
            tool, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    }

    static bool fail(QString* error, const QString& message) {
        if (error)
            *error = message;
        return false;
    }

    static bool writeFile(const QString& path, const QByteArray& text,
                          QFileDevice::Permissions permissions) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(text) != text.size())
            return false;
        file.close();
        return file.setPermissions(permissions);
    }

    bool writeTree(QString* error) {
        const QString t = root_.path();
        const QByteArray tb = QFile::encodeName(t);
        // The scheduler's unprivileged helpers must be able to pass through the folder.
        QFile::setPermissions(t, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                     QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                     QFileDevice::ExeOther);
        QDir dir(t);
        for (const char* sub : {"conf", "spool", "log", "cache", "state", "out", "bin/backend"})
            if (!dir.mkpath(QString::fromLatin1(sub)))
                return fail(error, QStringLiteral("cannot create ") + t + QLatin1Char('/') + sub);
        for (const char* link : {"filter", "cgi-bin", "daemon", "monitor", "notifier", "driver"}) {
            const QString name = QString::fromLatin1(link);
            if (!QFile::link(QStringLiteral("/usr/lib/cups/") + name,
                             t + QStringLiteral("/bin/") + name))
                return fail(error, QStringLiteral("cannot link /usr/lib/cups/") + name);
        }

        const QByteArray cupsd = "Listen " + tb +
                                 "/cups.sock\n"
                                 "WebInterface No\n"
                                 "Browsing No\n"
                                 "DefaultAuthType None\n"
                                 "LogLevel warn\n"
                                 "<Location />\n"
                                 "  Order allow,deny\n"
                                 "  Allow all\n"
                                 "</Location>\n"
                                 "<Policy default>\n"
                                 "  <Limit All>\n"
                                 "    Order deny,allow\n"
                                 "  </Limit>\n"
                                 "</Policy>\n";
        const QByteArray files = "ServerRoot " + tb +
                                 "/conf\n"
                                 "RequestRoot " +
                                 tb +
                                 "/spool\n"
                                 "CacheDir " +
                                 tb +
                                 "/cache\n"
                                 "StateDir " +
                                 tb +
                                 "/state\n"
                                 "ErrorLog " +
                                 tb +
                                 "/log/error_log\n"
                                 "AccessLog " +
                                 tb +
                                 "/log/access_log\n"
                                 "PageLog " +
                                 tb +
                                 "/log/page_log\n"
                                 "ServerBin " +
                                 tb +
                                 "/bin\n"
                                 "DataDir /usr/share/cups\n"
                                 "TempDir " +
                                 tb +
                                 "/spool\n"
                                 "SystemGroup root\n";
        // Lists itself when asked with no arguments; otherwise copies the job (file argument or
        // standard input) into the folder named by the device URI, whole files only.
        const QByteArray backend =
            "#!/bin/sh\n"
            "if [ $# -eq 0 ]; then\n"
            "  echo 'direct capture \"Unknown\" \"Capture job files\"'\n"
            "  exit 0\n"
            "fi\n"
            "dir=\"${DEVICE_URI#capture:}\"\n"
            "tmp=\"$dir/.job-$1.part\"\n"
            "if [ -n \"$6\" ]; then cp \"$6\" \"$tmp\"; else cat > \"$tmp\"; fi"
            " || exit 1\n"
            "mv \"$tmp\" \"$dir/job-$1.pdf\" || exit 1\n"
            "exit 0\n";
        const auto readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ReadGroup | QFileDevice::ReadOther;
        // Mode 0700: the scheduler runs a backend that only root may read as root.
        const auto ownerOnly =
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        if (!writeFile(t + QStringLiteral("/conf/cupsd.conf"), cupsd, readable) ||
            !writeFile(t + QStringLiteral("/conf/cups-files.conf"), files, readable) ||
            !writeFile(t + QStringLiteral("/bin/backend/capture"), backend, ownerOnly))
            return fail(error, QStringLiteral("cannot write the scheduler's files in ") + t);
        return true;
    }

    QTemporaryDir root_;
    QProcess scheduler_;
};

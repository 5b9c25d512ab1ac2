// The sync account from the command line against a real Secret Service, gnome-keyring-daemon on
// a session bus of its own. Each command is a process of its own (this executable in its child
// role: the real command line and a stand-in server), as libsecret keeps its first bus for good.

#include "app/CommandLine.h"
#include "tests/common/DavServers.h"
#include "tests/common/TestHome.h"

#include <QProcess>

#include <QtTest>

namespace {
const QString kPassword = QStringLiteral("Sésame ouvre-toi");
const QString kUrl = QStringLiteral("https://dav.example.com/ada/");

int RunChild(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The stand-in server takes kPassword alone; its sync tells what it was given.
    const QString no = QStringLiteral("The server refused the password.");
    TCommandLine commandLine(
        [&](const QUrl&, const QString&, const QString& password) {
            return SyncCheckResult{password == kPassword, "Office", no};
        },
        [&](const SyncAccount& account, const QString& password, const QString& book) {
            return SyncRunResult{password == kPassword, account.user + " into " + book, no};
        });
    QTextStream out(stdout), err(stderr);
    commandLine.process(app.arguments(), out, err);
    return commandLine.exitStatus();
}
} // namespace

class TestSyncAccount : public QObject {
    Q_OBJECT
    QTemporaryDir keyringHome_;
    QProcess bus_, keyring_;
    QString busAddress_;
    int users_ = 0;
    const QString self_ = QCoreApplication::applicationFilePath();

    // Starts program in p on the test's bus, with HOME at home and none of the user's folders
    // elsewhere, so that anything written lands there; then the extra variables.
    void start(QProcess& p, const QString& program, const QStringList& args, const QString& home,
               const QStringList& extra = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_DATA_HOME", "XDG_CONFIG_HOME",
              "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", kSyncPasswordVariable})
            env.remove(name);
        for (const QString& v : QStringList{"HOME=" + home, "VC_SYNC_CHILD=1",
                                            "DBUS_SESSION_BUS_ADDRESS=" + busAddress_} +
                                    extra)
            env.insert(v.section('=', 0, 0), v.section('=', 1, -1));
        p.setProcessEnvironment(env);
        p.start(program, args);
    }
    struct Run {
        int status;
        QString out, err;
    };
    Run run(const QString& program, const QStringList& args, const QString& home,
            const QString& input = {}, const QStringList& extra = {}) {
        QProcess p;
        start(p, program, args, home, extra);
        p.write(input.toUtf8());
        p.closeWriteChannel();
        const bool done = p.waitForFinished(60000);
        return {done ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
    }
    // What the keyring holds for user at kUrl, by libsecret's own tool.
    QString inKeyring(const QString& user) {
        const QStringList args{"lookup", "server", "Vellicard", "user", user + "@" + kUrl};
        return run("secret-tool", args, keyringHome_.path()).out;
    }

private slots:
    void initTestCase() {
        bus_.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        for (QDeadlineTimer deadline(30000); !bus_.canReadLine();)
            QVERIFY2(bus_.waitForReadyRead(deadline.remainingTime()), "no bus address");
        busAddress_ = bus_.readLine().trimmed();
        // Its files go to a HOME of its own, away from the program's.
        start(keyring_, "gnome-keyring-daemon",
              {"--foreground", "--unlock", "--components=secrets"}, keyringHome_.path());
        keyring_.write("unlock"); // written out before waiting on anything else
        QVERIFY(keyring_.waitForBytesWritten(30000));
        keyring_.closeWriteChannel();
        const QStringList args{"wait", "--session", "--timeout", "30", "org.freedesktop.secrets"};
        const Run wait = run("gdbus", args, keyringHome_.path());
        QVERIFY2(wait.status == 0, qPrintable(wait.err));
    }
    void cleanupTestCase() {
        for (QProcess* p : {&keyring_, &bus_}) {
            p->terminate();
            QVERIFY(p->waitForFinished(30000));
        }
    }

    void setUpThenSync_data() {
        QTest::addColumn<bool>("keyring");
        QTest::addColumn<QString>("variable"); // for the sync
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        QTest::newRow("keyring") << true << QString() << 0 << " into ";
        QTest::newRow("variable before keyring") << true << "wrong" << 1 << "refused";
        QTest::newRow("no keyring") << false << QString() << 1 << "set VELLICARD_SYNC_PASSWORD";
        QTest::newRow("no keyring, variable") << false << kPassword << 0 << " into ";
    }
    void setUpThenSync() {
        QFETCH(bool, keyring);
        QFETCH(QString, variable);
        QFETCH(int, status);
        QFETCH(QString, output);
        TestHome home;
        const QString user = QString("ada%1").arg(++users_);
        QStringList bus;
        if (!keyring)
            bus << "DBUS_SESSION_BUS_ADDRESS=unix:path=" + home.path() + "/nowhere";
        Run setUp = run(self_, {"--sync-setup", kUrl, user}, home.path(), kPassword + "\n", bus);
        QCOMPARE(setUp.out, "Sync set up with Office at " + kUrl + " as " + user + ".\n");
        QCOMPARE(setUp.err.contains("No desktop keyring is reachable"), !keyring);
        QCOMPARE(setUp.status, 0);
        QCOMPARE(inKeyring(user), keyring ? kPassword : QString());
        const QSettings ini(home.dataFolder() + "/Vellicard.ini", QSettings::IniFormat);
        QCOMPARE(ini.value("Sync/Url").toString() + ini.value("Sync/User").toString(), kUrl + user);
        QVERIFY(!setUp.err.contains(kPassword));
        QCOMPARE(run("grep", {"-rlF", kPassword, home.path()}, home.path()).out, QString());

        const Run sync = run(self_, {"--sync-now"}, home.path(), {},
                             bus + QStringList{kSyncPasswordVariable + ("=" + variable)});
        QVERIFY2((sync.out + sync.err).contains(output), qPrintable(sync.out + sync.err));
        QCOMPARE(sync.status, status);
        QCOMPARE(sync.out, status ? QString() : user + " into " + home.dbPath() + "\n");
        // Another account in its place takes the old password out of the keyring.
        run(self_, {"--sync-setup", kUrl, "eve"}, home.path(), kPassword + "\n", bus);
        QCOMPARE(inKeyring(user), QString());
    }

    void nothingStored_data() {
        QTest::addColumn<QString>("program"); // this executable's stand-in server, or the real one
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString real = qEnvironmentVariable("VC_BIN_DIR") + "/vellicard";
        const QStringList setUp{"--sync-setup", kUrl, "USER"};
        const QStringList inUrl{"--sync-setup", "https://a:" + kPassword + "@x/", "USER"};
        QTest::newRow("server refuses") << self_ << setUp << "x\n" << 1 << "refused the password";
        QTest::newRow("no password")
            << self_ << setUp << "" << 1 << "No password on standard input";
        QTest::newRow("password in address") << self_ << inUrl << kPassword << 1 << "not in it";
        QTest::newRow("not set up")
            << self_ << QStringList{"--sync-now"} << "" << 1 << "Sync is not set up: run";
        // The program's own check, of a port nobody listens on.
        QTest::newRow("program: set up")
            << real
            << QStringList{"--sync-setup", QString("http://127.0.0.1:%1/").arg(FreePort()), "USER"}
            << kPassword << 1 << "cannot be reached";
        QTest::newRow("program: help")
            << real << QStringList{"--help"} << "" << 0 << "--sync-setup <URL> <USER>";
    }
    void nothingStored() {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(QString, input);
        QFETCH(int, status);
        QFETCH(QString, message);
        TestHome home;
        const QString user = QString("ada%1").arg(++users_);
        const Run r = run(program, args.replaceInStrings("USER", user), home.path(), input);
        const QString text = r.out + r.err;
        QVERIFY2(text.contains(message) && !text.contains(kPassword), qPrintable(text));
        QCOMPARE(r.status, status);
        QCOMPARE(inKeyring(user), QString());
        QVERIFY(!QFile::exists(home.dataFolder() + "/Vellicard.ini"));
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("VC_SYNC_CHILD"))
        return RunChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestSyncAccount test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_syncaccount.moc"

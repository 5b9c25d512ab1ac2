// The Sync Settings dialog with radicale on loopback and a real Secret Service (gnome-keyring-
// daemon on a session bus of its own). libsecret keeps the first bus it meets for the whole
// process, so main() starts the bus and runs this executable again inside it; the cases without
// a keyring run it once more, with a bus address that leads nowhere.

#include "Boxes.h"
#include "DavServers.h"
#include "ErrorDisplay.h"
#include "SyncSettingsForm.h"
#include "TestHome.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <optional>

namespace {
const QString kPassword = QStringLiteral("Sésame ouvre-toi");
const char* const kBusVariable = "VC_KEYRING_BUS";

template <typename T> T* Field(QWidget* form, const char* name) {
    return form->findChild<T*>(QLatin1String(name));
}

QString Output(const QString& program, const QStringList& args, const QStringList& env = {}) {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString& v : env)
        e.insert(v.section('=', 0, 0), v.section('=', 1));
    p.setProcessEnvironment(e);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? QString(p.readAll()) : "status 1: " + p.readAll();
}
} // namespace

class TestSyncSettings : public QObject {
    Q_OBJECT
    int users_ = 0;

private slots:
    void initTestCase() {
        SetEventLoopRunning(true);
        FailOnUnexpectedBoxes();
    }

    void testConnection_data() {
        QTest::addColumn<int>("server"); // 0 radicale, 1 radicale with its own certificate, 2 none
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("books");
        QTest::newRow("two books") << 0 << "secret" << "2 address books found"
                                   << QStringList{"/user/contacts/", "/user/work/"};
        QTest::newRow("wrong password") << 0 << "wrong" << "refused the user name or password"
                                        << QStringList();
        QTest::newRow("unreachable") << 2 << "secret" << "cannot be reached" << QStringList();
        QTest::newRow("untrusted") << 1 << "secret" << "not trusted" << QStringList();
    }
    void testConnection() {
        QFETCH(int, server);
        QFETCH(QString, password);
        QFETCH(QString, result);
        QFETCH(QStringList, books);
        TestHome home;
        std::optional<RadicaleServer> dav;
        QUrl url(QString("http://127.0.0.1:%1/").arg(FreePort()));
        if (server < 2) {
            dav.emplace("user", "secret", server == 1);
            QVERIFY2(dav->error().isEmpty(), qPrintable(dav->error()));
            QVERIFY(server == 1 || dav->makeCollection("/user/work/"));
            url = dav->url("/");
        }
        if (server == 1) // the server's own certificate, as openssl gives its digest
            result = "SHA-256 fingerprint " +
                     Output("openssl", {"x509", "-noout", "-fingerprint", "-sha256", "-in",
                                        dav->certificatePath()})
                         .section('=', 1)
                         .trimmed();
        TSyncSettingsForm form;
        form.show();
        Field<QLineEdit>(&form, "txtSyncUrl")->setText(url.toString());
        Field<QLineEdit>(&form, "txtSyncUser")->setText("user");
        Field<QLineEdit>(&form, "txtSyncPassword")->setText(password);
        QTest::mouseClick(Field<QPushButton>(&form, "btnSyncTest"), Qt::LeftButton);
        const QString said = Field<QLabel>(&form, "lblSyncTestResult")->text();
        QVERIFY2(said.contains(result), qPrintable(said));
        auto* list = Field<QListWidget>(&form, "lstSyncBooks");
        QCOMPARE(list->count(), books.size());
        for (int i = 0; i < books.size(); ++i) { // the first is chosen at once
            list->setCurrentRow(i);
            QCOMPARE(Field<QLineEdit>(&form, "txtSyncUrl")->text(), dav->url(books[i]).toString());
        }
    }

    void save_data() {
        QTest::addColumn<bool>("keyring");
        QTest::addColumn<bool>("before"); // an account set up with its password before
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("answer"); // to msgSyncKeyring; NoButton when it must not come
        QTest::addColumn<bool>("saved");
        QTest::newRow("keyring") << true << false << kPassword << 0 << true;
        QTest::newRow("empty password keeps the stored one") << true << true << "" << 0 << true;
        QTest::newRow("no keyring, for this run") << false << false << kPassword
                                                  << int(QMessageBox::Yes) << true;
        QTest::newRow("no keyring, back") << false << false << kPassword << int(QMessageBox::No)
                                          << false;
    }
    void save() {
        QFETCH(bool, keyring);
        QFETCH(bool, before);
        QFETCH(QString, typed);
        QFETCH(int, answer);
        QFETCH(bool, saved);
        if (!keyring && qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS") ==
                            qEnvironmentVariable(kBusVariable)) {
            const QString self = QCoreApplication::applicationFilePath();
            const QString out = Output(self, {QString("save:") + QTest::currentDataTag()},
                                       {"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"});
            QVERIFY2(out.contains("Totals: 3 passed, 0 failed"),
                     qPrintable(out));
            return;
        }
        TestHome home;
        const QString user = QString("ada%1").arg(++users_);
        const SyncAccount old{"http://127.0.0.1:1/old/", user}, now{"http://127.0.0.1:1/", user};
        if (before) {
            QCOMPARE(SaveSyncAccount(old), QString());
            QCOMPARE(StoreSyncPassword(old, kPassword).outcome, KeyringAnswer::Done);
        }
        QString placeholder;
        bool stillOpen = false;
        WhenShown box(Named("msgSyncKeyring"), [&](QWidget* w) {
            static_cast<QMessageBox*>(w)->button(QMessageBox::StandardButton(answer))->click();
        });
        WhenShown form(Named("SyncSettingsForm"), [&](QWidget* f) {
            placeholder = Field<QLineEdit>(f, "txtSyncPassword")->placeholderText();
            Field<QLineEdit>(f, "txtSyncUrl")->setText(now.url);
            Field<QLineEdit>(f, "txtSyncUser")->setText(user);
            Field<QLineEdit>(f, "txtSyncPassword")->setText(typed);
            Field<QCheckBox>(f, "chkSyncTimed")->setChecked(true);
            Field<QSpinBox>(f, "spnSyncMinutes")->setValue(30);
            QTest::mouseClick(Field<QPushButton>(f, "btnSyncSave"), Qt::LeftButton);
            if ((stillOpen = f->isVisible()))
                QTest::mouseClick(Field<QPushButton>(f, "btnSyncClose"), Qt::LeftButton);
        });
        QCOMPARE(ShowSyncSettings(nullptr), saved);
        QCOMPARE(box.Seen(), answer != QMessageBox::NoButton);
        QCOMPARE(stillOpen, !saved);
        QCOMPARE(placeholder, QString(before ? "stored in the keyring" : ""));
        const QSettings ini(SyncSettingsPath(), QSettings::IniFormat);
        QCOMPARE(ini.value("Sync/Url").toString(), saved ? now.url : QString());
        QCOMPARE(LoadSyncInterval(), saved ? 30 : 0);
        const SyncPassword found = PasswordForSync(now);
        QCOMPARE(found.password, saved ? kPassword : QString());
        QCOMPARE(found.source, !saved ? SyncPassword::None
                                      : keyring ? SyncPassword::Keyring : SyncPassword::ThisRun);
        QVERIFY2(saved || found.error.contains("open Sync Settings"), qPrintable(found.error));
        if (keyring) // libsecret's own tool; the old account's entry is gone
            QCOMPARE(Output("secret-tool", {"lookup", "server", "Vellicard", "user",
                                            user + "@" + now.url}),
                     kPassword);
        QCOMPARE(ReadSyncPassword(old).outcome,
                 keyring ? KeyringAnswer::NotFound : KeyringAnswer::Unreachable);
        QCOMPARE(Output("grep", {"-rlF", kPassword, home.path()}), "status 1: ");
    }
};

// Outside the test's bus, this runs the tests again in a session bus of their own, with an
// unlocked keyring in a fresh HOME; both are stopped by their pids afterwards.
const char* const kOnKeyringBus = R"(k=$(mktemp -d) && mkfifo "$k/bus" || exit 1
dbus-daemon --session --nofork --print-address=3 3>"$k/bus" & bus=$!
read -r DBUS_SESSION_BUS_ADDRESS <"$k/bus"
export DBUS_SESSION_BUS_ADDRESS VC_KEYRING_BUS="$DBUS_SESSION_BUS_ADDRESS"
printf unlock | env -u XDG_RUNTIME_DIR HOME="$k" gnome-keyring-daemon --foreground --unlock \
    --components=secrets >/dev/null & keyring=$!
gdbus wait --session --timeout 30 org.freedesktop.secrets && "$@"; status=$?
kill $keyring $bus; wait; rm -rf "$k"; exit $status)";

int main(int argc, char** argv) {
    qunsetenv(kSyncPasswordVariable);
    if (!qEnvironmentVariableIsSet(kBusVariable)) {
        QCoreApplication app(argc, argv);
        QProcess tests;
        tests.setProcessChannelMode(QProcess::ForwardedChannels);
        tests.start("sh", QStringList{"-c", kOnKeyringBus, "sh", app.applicationFilePath()} +
                              app.arguments().mid(1));
        tests.waitForFinished(-1);
        return tests.exitStatus() == QProcess::NormalExit ? tests.exitCode() : 1;
    }
    QApplication app(argc, argv);
    TestSyncSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_syncsettings.moc"

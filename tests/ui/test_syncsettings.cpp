// Sync Settings with radicale and a real keyring. libsecret keeps its first bus for good: main()
// reruns the tests on a bus with the keyring, save() its no-keyring rows on one that is not there.

#include "tests/common/Boxes.h"
#include "tests/common/DavServers.h"
#include "tests/common/TestHome.h"
#include "ui/dialogs/ErrorDisplay.h"
#include "ui/sync/SyncSettingsForm.h"

#include <QtTest>
#include <QtWidgets>

namespace {
const QString kPassword = QStringLiteral("Sésame ouvre-toi");
const char* const kBusVariable = "VC_KEYRING_BUS";

template <typename T> T* Field(QWidget* form, const char* name) {
    return form->findChild<T*>(QLatin1String(name));
}

void Fill(QWidget* form, const QString& url, const QString& user, const QString& password) {
    Field<QLineEdit>(form, "txtSyncUrl")->setText(url);
    Field<QLineEdit>(form, "txtSyncUser")->setText(user);
    Field<QLineEdit>(form, "txtSyncPassword")->setText(password);
}

QString Output(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? QString(p.readAll()) : "status 1: " + p.readAll();
}
} // namespace

class TestSyncSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        SetEventLoopRunning(true);
        FailOnUnexpectedBoxes();
    }

    void testConnection_data() {
        QTest::addColumn<int>("server"); // 0 radicale, 1 radicale with its own certificate, 2 none
        QTest::addColumn<bool>("rightPassword");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("books");
        const QStringList two{"/user/contacts/", "/user/work/"};
        QTest::newRow("two books") << 0 << true << "2 address books found" << two;
        QTest::newRow("wrong password") << 0 << false << "refused the user name" << QStringList();
        QTest::newRow("unreachable") << 2 << true << "cannot be reached" << QStringList();
        QTest::newRow("untrusted") << 1 << true << "SHA-256 fingerprint " << QStringList();
    }
    void testConnection() {
        QFETCH(int, server);
        QFETCH(bool, rightPassword);
        QFETCH(QString, result);
        QFETCH(QStringList, books);
        std::optional<RadicaleServer> dav;
        QUrl url(QString("http://127.0.0.1:%1/").arg(FreePort()));
        if (server < 2) {
            dav.emplace("user", "secret", server == 1);
            QVERIFY2(dav->error().isEmpty(), qPrintable(dav->error()));
            QVERIFY(dav->makeCollection("/user/work/"));
            url = dav->url("/");
        }
        if (server == 1) { // the digest of the server's own certificate, as openssl gives it
            const QStringList x509{"x509", "-noout", "-fingerprint", "-sha256", "-in"};
            result += Output("openssl", x509 + QStringList(dav->certificatePath())).section('=', 1);
        }
        TSyncSettingsForm form;
        form.show();
        Fill(&form, url.toString(), "user", rightPassword ? "secret" : "wrong");
        QTest::mouseClick(Field<QPushButton>(&form, "btnSyncTest"), Qt::LeftButton);
        const QString said = Field<QLabel>(&form, "lblSyncTestResult")->text();
        QVERIFY2(said.contains(result.trimmed()), qPrintable(said));
        auto* list = Field<QListWidget>(&form, "lstSyncBooks");
        QCOMPARE(list->count(), books.size());
        for (int i = 0; i < books.size(); ++i) { // the first is chosen at once
            list->setCurrentRow(i);
            QCOMPARE(Field<QLineEdit>(&form, "txtSyncUrl")->text(), dav->url(books[i]).toString());
        }
    }

    void save_data() {
        QTest::addColumn<bool>("keyring");
        QTest::addColumn<bool>("before"); // an account set up with its password; none typed now
        QTest::addColumn<bool>("saved");  // without keyring: Yes to keeping it for this run
        QTest::newRow("keyring") << true << false << true;
        QTest::newRow("empty password keeps the stored one") << true << true << true;
        QTest::newRow("no keyring, this run") << false << false << true;
        QTest::newRow("no keyring, back") << false << false << false;
    }
    void save() {
        QFETCH(bool, keyring);
        QFETCH(bool, before);
        QFETCH(bool, saved);
        if (!keyring && qgetenv("DBUS_SESSION_BUS_ADDRESS") == qgetenv(kBusVariable)) {
            const QString out = Output("env", {"DBUS_SESSION_BUS_ADDRESS=unix:path=/no/bus",
                                               QCoreApplication::applicationFilePath(),
                                               QString("save:") + QTest::currentDataTag()});
            QVERIFY2(out.contains("Totals: 3 passed, 0 failed"), qPrintable(out));
            return;
        }
        TestHome home;
        const QString user = QTest::currentDataTag();
        const SyncAccount old{"http://127.0.0.1:1/old/", user}, now{"http://127.0.0.1:1/", user};
        if (before) {
            QCOMPARE(SaveSyncAccount(old), QString());
            QCOMPARE(StoreSyncPassword(old, kPassword).outcome, KeyringAnswer::Done);
        }
        QString placeholder;
        bool stillOpen = false;
        WhenShown box(Named("msgSyncKeyring"), [&](QWidget* w) {
            static_cast<QMessageBox*>(w)
                ->button(saved ? QMessageBox::Yes : QMessageBox::No)
                ->click();
        });
        WhenShown form(Named("SyncSettingsForm"), [&](QWidget* f) {
            placeholder = Field<QLineEdit>(f, "txtSyncPassword")->placeholderText();
            Fill(f, now.url, user, before ? "" : kPassword);
            Field<QCheckBox>(f, "chkSyncTimed")->setChecked(true);
            Field<QSpinBox>(f, "spnSyncMinutes")->setValue(30);
            QTest::mouseClick(Field<QPushButton>(f, "btnSyncSave"), Qt::LeftButton);
            if ((stillOpen = f->isVisible()))
                QTest::mouseClick(Field<QPushButton>(f, "btnSyncClose"), Qt::LeftButton);
        });
        QCOMPARE(ShowSyncSettings(nullptr), saved);
        QCOMPARE(box.Seen(), !keyring);
        QCOMPARE(stillOpen, !saved);
        QCOMPARE(placeholder, QString(before ? "stored in the keyring" : ""));
        const QSettings ini(SyncSettingsPath(), QSettings::IniFormat);
        QCOMPARE(ini.value("Sync/Url").toString(), saved ? now.url : QString());
        QCOMPARE(LoadSyncInterval(), saved ? 30 : 0);
        const SyncPassword found = PasswordForSync(now);
        QCOMPARE(found.password, saved ? kPassword : QString());
        QCOMPARE(found.source, !saved    ? SyncPassword::None
                               : keyring ? SyncPassword::Keyring
                                         : SyncPassword::ThisRun);
        QCOMPARE(ReadSyncPassword(old).outcome, // the old account's entry is gone
                 keyring ? KeyringAnswer::NotFound : KeyringAnswer::Unreachable);
        QCOMPARE(Output("grep", {"-rlF", kPassword, home.path()}), "status 1: ");
    }
};

// Runs the tests on a bus of their own with an unlocked keyring in a fresh HOME; stops both.
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
    QApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet(kBusVariable))
        return QProcess::execute("sh", QStringList{"-c", kOnKeyringBus, "sh"} + app.arguments());
    TestSyncSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_syncsettings.moc"

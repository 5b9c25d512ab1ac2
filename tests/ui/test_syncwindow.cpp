// The sync from the window, with a real radicale on loopback: the menu, a sync that leaves the
// window working, the timed sync and the open editor, a save over a sync's change (and over
// another program's), and closing.

#include "model/ContactColumns.h"
#include "storage/AddressBook.h"
#include "storage/ContactStatements.h"
#include "sync/DavClient.h"
#include "sync/SyncAccount.h"
#include "sync/Synchronizer.h"
#include "tests/common/DavServers.h"
#include "tests/ui/FormDriver.h"
#include "ui/sync/SyncControl.h"

#include <QMenu>
#include <QSemaphore>

namespace {
// Cards as another program writes them, straight into the server's storage.
void PutCards(RadicaleServer& server, int count, const QString& company) {
    const QString folder = server.collectionFolder("/user/contacts/");
    for (int i = 0; i < count; ++i) {
        QFile f(QString("%1/bulk%2.vcf").arg(folder).arg(i));
        QVERIFY(f.open(QFile::WriteOnly));
        f.write(QString("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:bulk%1\r\nFN:Bulk %1\r\nN:Bulk;%1;;;\r\n"
                        "ORG:%2 %1\r\nEND:VCARD\r\n")
                    .arg(i)
                    .arg(company)
                    .toUtf8());
    }
}
} // namespace

class TestSyncWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<RadicaleServer> server_;

    void setUp(FormDriver& d) {
        const SyncAccount account{server_->url("/").toString(), "user"};
        QVERIFY(SaveSyncAccount(account).isEmpty());
        KeepSyncPasswordForThisRun(account, "secret");
        d.form->syncControl()->followSettings();
    }
    // As a user does it: File > Sync Settings..., the server's address, Test Connection, the
    // book found, Save, and (no keyring here) the password kept for this run.
    void setUpThroughTheDialog(FormDriver& d) {
        const auto named = [](const char* name) {
            return [name](QWidget* w) { return w->objectName() == name; };
        };
        WhenShown keyring(named("msgSyncKeyring"), [](QWidget* w) {
            static_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click();
        });
        QString chosen;
        WhenShown dialog(named("SyncSettingsForm"), [&](QWidget* f) {
            f->findChild<QLineEdit*>("txtSyncUrl")->setText(server_->url("/").toString());
            f->findChild<QLineEdit*>("txtSyncUser")->setText("user");
            f->findChild<QLineEdit*>("txtSyncPassword")->setText("secret");
            QTest::mouseClick(f->findChild<QPushButton*>("btnSyncTest"), Qt::LeftButton);
            chosen = f->findChild<QLineEdit*>("txtSyncUrl")->text();
            QTest::mouseClick(f->findChild<QPushButton*>("btnSyncSave"), Qt::LeftButton);
        });
        d.Trigger("mnuSyncSettings");
        QVERIFY(keyring.Seen());
        QCOMPARE(chosen, server_->url("/user/contacts/").toString());
    }
    // Runs File > Synchronize (or waits for a sync already started) to its end.
    void syncToTheEnd(FormDriver& d, bool byHand = true) {
        QSignalSpy done(d.form->syncControl(), &TSyncControl::syncFinished);
        if (byHand)
            d.Trigger("mnuSync");
        QVERIFY(done.count() == 1 || done.wait(60000));
        QVERIFY2(done.first().at(0).toBool(), qPrintable(done.first().at(1).toString()));
    }

private slots:
    // No keyring answers on a bus that is not there: passwords are kept for the run.
    void initTestCase() { qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/no/bus"); }
    void init() {
        server_ = std::make_unique<RadicaleServer>();
        QVERIFY2(server_->error().isEmpty(), qPrintable(server_->error()));
    }
    void cleanup() {
        SetSyncStepObserver(nullptr);
        server_.reset();
    }

    // Two desks, each a HOME of its own, share one address book, set up and synced from the
    // window alone: a contact added on the first reaches the second's list, under the search it
    // shows and with its selection kept.
    void twoDesksShareABook() {
        {
            FormDriver a;
            const QList<QAction*> items = a.W<QMenu>("mnuFile")->actions();
            QCOMPARE(items.indexOf(a.Action("mnuSync")) + 1, items.indexOf(a.Action("mnuSyncSettings")));
            QVERIFY(items.at(items.indexOf(a.Action("mnuImport")) - 1)->isSeparator());
            QVERIFY(!a.Action("mnuSync")->isEnabled());
            setUpThroughTheDialog(a);
            QVERIFY(a.Action("mnuSync")->isEnabled());
            a.Click("tlbarAddNewCust");
            a.Type("txtCustCmpnyName", "Jaxx Shared");
            QVERIFY(!a.Action("mnuSync")->isEnabled()); // not with the editor open
            a.Click("btnSave");
            SeenBox summary;
            AnswerNextBox(&summary, QMessageBox::Ok);
            syncToTheEnd(a);
            QVERIFY(summary.seen);
            QVERIFY2(summary.text.contains(": 4 sent, 0 received"), qPrintable(summary.text));
        }
        FormDriver b;
        setUpThroughTheDialog(b);
        b.ChooseSearch(1);
        b.Type("txtCustSearch", "j");
        const QStringList before = b.Companies();
        QVERIFY(!before.isEmpty() && !before.contains("Jaxx Shared"));
        const QString selected = b.Cell(0, TCustomerListModel::CustId);
        QTreeView* list = b.W<QTreeView>("lstvCustomers");
        list->selectionModel()->select(list->model()->index(0, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        SeenBox summary;
        AnswerNextBox(&summary, QMessageBox::Ok);
        syncToTheEnd(b);
        QVERIFY2(summary.text.contains(": 0 sent, 1 received"), qPrintable(summary.text));
        QVERIFY(b.Companies().contains("Jaxx Shared"));
        QCOMPARE(b.Edit("txtCustSearch")->text(), QString("j"));
        const QModelIndexList rows = list->selectionModel()->selectedRows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(b.Cell(rows.first().row(), TCustomerListModel::CustId), selected);
    }

    // Halfway through six hundred cards arriving, the sync waits until the window has taken a
    // typed search character, filtered its list and painted it.
    void windowWorksDuringASync() {
        PutCards(*server_, 600, "Bulk");
        FormDriver d;
        setUp(d);
        d.ChooseSearch(1);
        QSemaphore painted;
        bool typed = false;
        struct Paints : QObject {
            std::function<void()> onPaint;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint && onPaint)
                    onPaint();
                return false;
            }
        } paints;
        QTreeView* list = d.W<QTreeView>("lstvCustomers");
        list->viewport()->installEventFilter(&paints);
        int steps = 0;
        SetSyncStepObserver([&] {
            if (++steps != 2)
                return;
            QMetaObject::invokeMethod(d.form.get(), [&] {
                QTest::keyClicks(d.Edit("txtCustSearch"), "B");
                typed = d.Companies().size() > 0 && d.Companies().first().startsWith("Bulk");
                paints.onPaint = [&] {
                    paints.onPaint = nullptr;
                    painted.release();
                };
            });
            QVERIFY(painted.tryAcquire(1, 60000));
        });
        SeenBox summary;
        AnswerNextBox(&summary, QMessageBox::Ok);
        syncToTheEnd(d);
        QCOMPARE(steps > 2, true);
        QVERIFY(typed);
        QVERIFY2(summary.text.contains("600 received"), qPrintable(summary.text));
        QCOMPARE(d.Count("dbCustCompany LIKE 'Bulk %'"), 600);
    }

    // A timed sync waits while a contact is open and runs when the window is back in the list;
    // without news to tell, it shows no box (an unexpected one fails the test).
    void timedSyncWaitsForTheEditor() {
        FormDriver d;
        setUp(d);
        PutCards(*server_, 1, "Timed");
        QSignalSpy started(d.form->syncControl(), &TSyncControl::syncStarted);
        d.ClickRow(0);
        d.form->syncControl()->timedSyncDue();
        QCOMPARE(started.count(), 0);
        QVERIFY(!d.form->syncControl()->running());
        d.Click("btnCancel");
        QVERIFY(started.count() == 1 || started.wait(10000));
        syncToTheEnd(d, false);
        QVERIFY(d.Companies().contains("Timed 0"));
        // It has run: a later return to the list starts none. The window's own turn after the
        // return, where a waiting sync starts, comes before this one.
        d.ClickRow(0);
        QVERIFY(d.EditMode());
        d.Click("btnCancel");
        QVERIFY(d.ListMode());
        bool turned = false;
        QTimer::singleShot(0, d.form.get(), [&] { turned = true; });
        QTRY_VERIFY(turned);
        QCOMPARE(started.count(), 1);
        QVERIFY(!d.form->syncControl()->running());
    }

    // A sync (here one a cron job runs) changes the open contact; the save merges the user's
    // change into it and says so.
    void saveMergesWhatASyncBrought() {
        FormDriver d;
        const QString deskB = d.home.path() + "/b.db";
        QVERIFY(QFile::copy(d.home.dbPath(), deskB));
        setUp(d);
        SeenBox first;
        AnswerNextBox(&first, QMessageBox::Ok);
        syncToTheEnd(d);
        d.ClickRow(0);
        const int id = d.Id().toInt();
        const QString company = d.Edit("txtCustCmpnyName")->text();
        {
            TDavClient client(server_->url("/"), "user", "secret");
            SyncAddressBook(client, deskB.toStdString()); // matches the samples
            RawDb(deskB).exec(QString("UPDATE Customers SET dbCustEmail='new@b.example', "
                                      "dbCustPhone='(555)000-1111' WHERE dbCustCompany='%1'")
                                  .arg(company));
            SyncAddressBook(client, deskB.toStdString());
            TDavClient cron(server_->url("/"), "user", "secret");
            SyncAddressBook(cron, d.home.dbPath().toStdString());
        }
        QCOMPARE(d.Value(id, "dbCustEmail"), QString("new@b.example"));
        d.Mask("txtCustPhone")->setText("(777)222-3333");
        d.Edit("txtCustFrstName")->setText("Merged");
        SeenBox merged;
        AnswerNextBox(&merged, QMessageBox::Ok);
        d.Click("btnSave");
        QVERIFY(merged.seen);
        QVERIFY2(merged.text.contains("changed by a sync"), qPrintable(merged.text));
        QCOMPARE(d.Value(id, "dbCustEmail"), QString("new@b.example"));
        QCOMPARE(d.Value(id, "dbCustPhone"), QString("(555)000-1111"));
        QCOMPARE(d.Value(id, "dbCustFirstName"), QString("Merged"));
        QVERIFY2(d.Value(id, "dbCustNotes").contains("this desk's value: Phone: (777)222-3333"),
                 qPrintable(d.Value(id, "dbCustNotes")));
    }

    // In a synced book another program (a script, a second copy) changes the open contact: the
    // save writes what the window shows over it, as in a book without a sync, and tells nothing.
    void saveOverAnotherProgramsChange() {
        FormDriver d;
        setUp(d);
        SeenBox first;
        AnswerNextBox(&first, QMessageBox::Ok);
        syncToTheEnd(d);
        d.ClickRow(0);
        const std::string id = d.Id().toStdString();
        // As the editor saves it, which is what it shows.
        const auto stored = [&] {
            return TAddressBook(d.home.dbPath().toStdString())
                .SavedContacts(BuildSelectByIdStatement(id))
                .at(0);
        };
        ContactValues shown = stored();
        {
            TAddressBook other(d.home.dbPath().toStdString());
            ContactValues values = other.Load(id).Values();
            values[col::Email] = "script@c.example";
            other.Save(values, id);
        }
        QCOMPARE(stored()[col::Email], std::string("script@c.example"));
        d.Edit("txtCustFrstName")->setText("Mine");
        SeenBox merged;
        AnswerNextBox(&merged, QMessageBox::Ok);
        d.Click("btnSave");
        QVERIFY2(!merged.seen, qPrintable(merged.text));
        shown[col::FirstName] = "Mine";
        const ContactValues saved = stored();
        for (int i = 0; i < kDataColumns; ++i)
            QCOMPARE(QString::fromStdString(SaveOrderColumns()[i] + ": " + saved[i]),
                     QString::fromStdString(SaveOrderColumns()[i] + ": " + shown[i]));
    }

    // Closing the window in the middle of a sync stops it after the change under way: the book
    // is whole, and the next sync finishes the job without doubles.
    void closingDuringASync() {
        PutCards(*server_, 600, "Closing");
        FormDriver d;
        setUp(d);
        // The sync goes on once the close has asked it to stop.
        QSemaphore asked;
        connect(d.form->syncControl(), &TSyncControl::stopRequested, this,
                [&] { asked.release(); }, Qt::DirectConnection);
        int steps = 0;
        SetSyncStepObserver([&] {
            if (++steps != 2)
                return;
            QMetaObject::invokeMethod(d.form.get(), [&] { d.form->close(); });
            QVERIFY(asked.tryAcquire(1, 30000));
        });
        QSignalSpy done(d.form->syncControl(), &TSyncControl::syncFinished);
        d.Trigger("mnuSync");
        QVERIFY(done.wait(60000));
        QVERIFY(!d.form->isVisible());
        QVERIFY(!done.first().at(0).toBool());
        const int partial = d.Count("dbCustCompany LIKE 'Closing %'");
        QVERIFY2(partial < 600, qPrintable(QString::number(partial)));
        QCOMPARE(RawDb(d.home.dbPath()).value("PRAGMA integrity_check"), QString("ok"));
        SetSyncStepObserver(nullptr);
        TDavClient client(server_->url("/"), "user", "secret");
        SyncAddressBook(client, d.home.dbPath().toStdString());
        QCOMPARE(d.Count("dbCustCompany LIKE 'Closing %'"), 600);
    }
};

QTEST_MAIN(TestSyncWindow)
#include "test_syncwindow.moc"

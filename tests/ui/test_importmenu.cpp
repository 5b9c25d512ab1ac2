// File > Import Contacts... and Export Contacts...: where they stand, that they are usable only
// in list mode, what they do with the file the user chooses, and Cancel during a big import.

#include "tests/ui/FormDriver.h"
#include "ui/dialogs/FileChooser.h"

#include <QFileDialog>
#include <QMenu>
#include <QProgressBar>
#include <QProgressDialog>
#include <QSignalSpy>

namespace {

// Answers at once with the file the test chose; an empty one is a cancelled dialog.
struct FakeChooser : TFileChooser {
    QString file, filter;
    int asked = 0;
    QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override {
        ++asked;
        return file;
    }
    QString SaveFileName(QWidget*, const QString&, const QString&, const QString&,
                         QString* selectedFilter) override {
        ++asked;
        *selectedFilter = filter;
        return file;
    }
};

FakeChooser* UseChooser(FormDriver& d, const QString& file, const QString& filter = {}) {
    auto chooser = std::make_unique<FakeChooser>();
    chooser->file = file;
    chooser->filter = filter;
    FakeChooser* kept = chooser.get();
    d.form->SetFileChooser(std::move(chooser));
    return kept;
}

QString WriteCards(const QString& path, int count) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    for (int i = 0; i < count; ++i)
        f.write(QString("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Kay;Ada;;;\r\nORG:Kay Engines %1\r\n"
                        "END:VCARD\r\n")
                    .arg(i)
                    .toUtf8());
    return path;
}

} // namespace

class TestImportMenu : public QObject {
    Q_OBJECT

private slots:
    void standAboveExit() {
        FormDriver d;
        QStringList items; // a separator as "-"
        for (QAction* a : d.W<QMenu>("mnuFile")->actions())
            items << (a->isSeparator() ? "-" : a->objectName() + " " + a->text());
        QCOMPARE(items, QStringList({"mnuSync Synchronize", "mnuSyncSettings Sync Settings...", "-",
                                     "mnuImport Import Contacts...",
                                     "mnuExport Export Contacts...",
                                     "mnuFindDuplicates Find Duplicates...", "-", "mnuClose Exit"}));
    }

    void onlyInListMode_data() {
        QTest::addColumn<bool>("stored");
        QTest::newRow("new contact") << false;
        QTest::newRow("stored contact") << true;
    }
    void onlyInListMode() {
        QFETCH(bool, stored);
        FormDriver d;
        QVERIFY(d.Action("mnuImport")->isEnabled() && d.Action("mnuExport")->isEnabled());
        if (stored)
            d.OpenCompany("Janes Place");
        else
            d.Click("tlbarAddNewCust");
        QVERIFY(d.EditMode());
        QVERIFY(!d.Action("mnuImport")->isEnabled() && !d.Action("mnuExport")->isEnabled() &&
                !d.Action("mnuFindDuplicates")->isEnabled());
        d.Click("btnCancel");
        QVERIFY(d.ListMode());
        QVERIFY(d.Action("mnuImport")->isEnabled() && d.Action("mnuExport")->isEnabled());
    }

    // The one test of the desktop's real file dialog: answered once it is up, by its show event.
    void importThroughTheRealDialog() {
        FormDriver d;
        const QString file = WriteCards(d.home.path() + "/new.vcf", 1);
        QVERIFY(!file.isEmpty());
        QString caption;
        WhenShown dialog([](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; },
                         [&](QWidget* w) {
                             auto* chooser = static_cast<QFileDialog*>(w);
                             caption = chooser->windowTitle();
                             // Typed as a user does, whatever the dialog has read of the folder.
                             chooser->findChild<QLineEdit*>("fileNameEdit")->setText(file);
                             static_cast<QDialog*>(chooser)->accept(); // as OK does
                         });
        SeenBox summary;
        AnswerNextBox(&summary, QMessageBox::Ok);
        d.Trigger("mnuImport");
        QVERIFY(dialog.Seen());
        QCOMPARE(caption, QString("Import Contacts"));
        QVERIFY(summary.seen);
        QVERIFY2(summary.text.startsWith("Imported 1 contact, 0 skipped"),
                 qPrintable(summary.text));
        QVERIFY(d.Companies().contains("Kay Engines 0"));
    }

    void cancelledChooserDoesNothing_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("import") << "mnuImport";
        QTest::newRow("export") << "mnuExport";
    }
    void cancelledChooserDoesNothing() {
        QFETCH(QString, action);
        FormDriver d;
        FakeChooser* chooser = UseChooser(d, QString());
        d.Trigger(action); // no box may come up
        QCOMPARE(chooser->asked, 1);
        QCOMPARE(QDir(d.home.path()).entryList({"*.vcf", "*.csv"}, QDir::Files), QStringList());
        QCOMPARE(d.Rows(), 3);
    }

    // The file type follows the filter chosen when the name has no suffix of its own.
    void exportTakesTheChosenType_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("CSV filter") << "book"
                                    << "CSV files (*.csv)"
                                    << "book.csv" << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("vCard filter") << "book"
                                      << "vCard files (*.vcf *.vcard)"
                                      << "book.vcf" << QByteArray("BEGIN:VCARD");
        QTest::newRow("own suffix wins") << "book.csv"
                                         << "vCard files (*.vcf *.vcard)"
                                         << "book.csv" << QByteArray("\xEF\xBB\xBF");
    }
    void exportTakesTheChosenType() {
        QFETCH(QString, name);
        QFETCH(QString, filter);
        QFETCH(QString, written);
        QFETCH(QByteArray, start);
        FormDriver d;
        UseChooser(d, d.home.path() + "/" + name, filter);
        SeenBox summary;
        AnswerNextBox(&summary, QMessageBox::Ok);
        d.Trigger("mnuExport");
        QVERIFY(summary.seen);
        QFile f(d.home.path() + "/" + written);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(written));
        const QByteArray bytes = f.readAll();
        QVERIFY2(bytes.startsWith(start), bytes.left(40).constData());
        QVERIFY(bytes.contains("Janes Place"));
    }

    // Cancel in the progress of a big import undoes it: the list and the book are as before.
    void cancelDuringABigImport() {
        FormDriver d;
        UseChooser(d, WriteCards(d.home.path() + "/big.vcf", 400));
        bool cancelled = false;
        WhenShown progress(Named("dlgImportProgress"), [&](QWidget* w) {
            cancelled = true;
            static_cast<QProgressDialog*>(w)->cancel();
        });
        SeenBox summary;
        AnswerNextBox(&summary, QMessageBox::Ok);
        d.Trigger("mnuImport");
        QVERIFY(cancelled);
        QVERIFY(summary.seen);
        QCOMPARE(summary.text, QString("Import cancelled: the address book is unchanged."));
        QCOMPARE(d.Count(), 3);
        QCOMPARE(d.Rows(), 3);
    }

    // The import goes on while the window's thread is busy elsewhere: the progress moves while a
    // handler of the dialog's own waits in an event loop of its own.
    void importRunsBesideTheWindow() {
        FormDriver d;
        UseChooser(d, WriteCards(d.home.path() + "/big.vcf", 400));
        bool moved = false;
        WhenShown progress(Named("dlgImportProgress"), [&](QWidget* w) {
            QSignalSpy step(w->findChild<QProgressBar*>(), &QProgressBar::valueChanged);
            moved = step.wait(30000);
        });
        SeenBox summary;
        AnswerNextBox(&summary, QMessageBox::Ok);
        d.Trigger("mnuImport");
        QVERIFY(moved);
        QVERIFY2(summary.text.startsWith("Imported 400 contacts"), qPrintable(summary.text));
        QCOMPARE(d.Count(), 403);
    }

    // What the import throws on its own thread reaches the user as an error, and nothing else.
    void failedImportTellsWhy() {
        FormDriver d;
        const QString file = d.home.path() + "/notes.txt";
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("shopping list\n");
        f.close();
        UseChooser(d, file);
        SeenBox error;
        AnswerNextBox(&error, QMessageBox::Ok);
        d.Trigger("mnuImport");
        QVERIFY(error.error);
        QVERIFY2(error.text.contains("neither a vCard"), qPrintable(error.text));
        QCOMPARE(d.Count(), 3);
    }
};

QTEST_MAIN(TestImportMenu)
#include "test_importmenu.moc"

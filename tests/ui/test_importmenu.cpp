// File > Import Contacts... and Export Contacts...: where they stand, that they are usable only
// in list mode, and that an import through them shows in the list.

#include "FormDriver.h"

#include <QFileDialog>
#include <QMenu>

class TestImportMenu : public QObject {
    Q_OBJECT

private slots:
    void standAboveExit() {
        FormDriver d;
        const QList<QAction*> items = d.W<QMenu>("mnuFile")->actions();
        QCOMPARE(items.size(), 4);
        QCOMPARE(items[0]->objectName(), "mnuImport");
        QCOMPARE(items[0]->text(), "Import Contacts...");
        QCOMPARE(items[1]->objectName(), "mnuExport");
        QCOMPARE(items[1]->text(), "Export Contacts...");
        QVERIFY(items[2]->isSeparator());
        QCOMPARE(items[3]->objectName(), "mnuClose");
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
        QVERIFY(!d.Action("mnuImport")->isEnabled() && !d.Action("mnuExport")->isEnabled());
        d.Click("btnCancel");
        QVERIFY(d.ListMode());
        QVERIFY(d.Action("mnuImport")->isEnabled() && d.Action("mnuExport")->isEnabled());
    }

    void importShowsInTheList() {
        FormDriver d;
        const QString file = d.home.path() + "/new.vcf";
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(
                "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Kay;Ada;;;\r\nORG:Kay Engines\r\nEND:VCARD\r\n");
        }
        ExpectingDialog expecting;
        // The file dialog is answered as soon as it is up; then the summary.
        QTimer answer;
        SeenBox summary;
        bool chosen = false;
        connect(&answer, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                dialog->selectFile(file);
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
                chosen = true;
                AnswerNextBox(&summary, QMessageBox::Ok);
            }
        });
        answer.start(10);
        d.Trigger("mnuImport");
        QVERIFY(chosen);
        QTRY_VERIFY(summary.seen);
        QVERIFY2(summary.text.startsWith("Imported 1 contact, 0 skipped"),
                 qPrintable(summary.text));
        QVERIFY(d.Companies().contains("Kay Engines"));
    }
};

QTEST_MAIN(TestImportMenu)
#include "test_importmenu.moc"

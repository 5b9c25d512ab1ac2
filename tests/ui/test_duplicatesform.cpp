// File > Find Duplicates...: the groups with their reasons, the values to keep, Merge, Undo
// Merge and Not Duplicates, through the dialog's own controls.
#include "tests/ui/FormDriver.h"

#include <QDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTreeWidget>

class TestDuplicatesForm : public QObject {
    Q_OBJECT

private slots:
    void mergeUndoAndNotDuplicates() {
        FormDriver d;
        d.Sql("INSERT INTO Customers(dbCustomer_ID,dbCustFirstName,dbCustLastName,dbCustEmail) "
              "VALUES(10,'ANN','LEE','Ann@Lee.example'),(11,'Ann','Lee','ann@lee.example'),"
              "(12,'','Lee','ann@LEE.example');");
        QStringList seen;
        QString notes;
        WhenShown form(Named("DuplicatesForm"), [&](QWidget* w) {
            auto* list = w->findChild<QTreeWidget*>("lstvDuplicates");
            auto* fields = w->findChild<QTableWidget*>("tblMergeFields");
            // The groups are found on a thread: each step waits for the list to come.
            QSignalSpy refilled(w, SIGNAL(refilled()));
            auto settle = [&] {
                if (w->property("finding").toBool())
                    QVERIFY(refilled.wait(30000));
            };
            auto click = [&](const char* name) {
                w->findChild<QPushButton*>(name)->click();
                settle();
                seen << QString::number(list->topLevelItemCount());
            };
            settle();
            seen << list->topLevelItem(0)->text(0) << list->topLevelItem(0)->text(1)
                 << QString::number(fields->columnCount());
            // The first contact's value is kept where both are filled; the user takes the
            // second's last name instead.
            QCOMPARE(fields->item(0, 1)->checkState(), Qt::Checked);
            fields->item(1, 2)->setCheckState(Qt::Checked);
            QCOMPARE(fields->item(1, 1)->checkState(), Qt::Unchecked);
            click("btnMerge");
            notes = d.Value(10, "dbCustNotes") + "|" + d.Value(10, "dbCustLastName") + "|" +
                    QString::number(d.Count("dbCustomer_ID IN (11,12)"));
            click("btnUndoMerge");
            click("btnNotDuplicates");
            static_cast<QDialog*>(w)->accept();
        });
        d.Trigger("mnuFindDuplicates");
        QVERIFY(form.Seen());
        QCOMPARE(seen, QStringList({"ANN LEE / Ann Lee / Lee", "same e-mail address ann@lee.example", "4", "0", "1", "0"}));
        QCOMPARE(notes, QString("Merged, other value: First Name: Ann\r\n"
                                "Merged, other value: Last Name: LEE\r\n"
                                "Merged, other value: E-mail: ann@lee.example\r\n"
                                "Merged, other value: E-mail: ann@LEE.example|Lee|0"));
        // Undone: both back as they were.
        QCOMPARE(d.Value(10, "dbCustLastName"), QString("LEE"));
        QCOMPARE(d.Value(11, "dbCustEmail"), QString("ann@lee.example"));
        QCOMPARE(d.Value(12, "dbCustEmail"), QString("ann@LEE.example"));
        QCOMPARE(d.Rows(), 6);
    }
};

QTEST_MAIN(TestDuplicatesForm)
#include "test_duplicatesform.moc"

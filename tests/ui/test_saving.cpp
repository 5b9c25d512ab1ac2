// Saving, deleting, cancelling and closing through the real window on a real database file:
// what is typed is stored exactly, every question comes when it should, and failures lose
// nothing.
#include "tests/ui/FormDriver.h"

#include <QFileInfo>

namespace {
// Holds a lock on the database from a second connection, as another program would; closing the
// connection gives it up.
std::unique_ptr<RawDb> Lock(const QString& path, const char* begin) {
    auto db = std::make_unique<RawDb>(path);
    return db->exec(begin).isEmpty() ? std::move(db) : nullptr;
}
} // namespace

class SavingTest : public QObject {
    Q_OBJECT
private slots:
    void newContactIsSavedAndListed() {
        FormDriver d;
        d.Click("tlbarAddNewCust");
        d.Type("txtCustCmpnyName", "Acme Tools");
        d.Type("txtCustFrstName", "Ann");
        d.Type("txtCustPhone", "5551234567");
        d.W<QTabWidget>("PageControl1")->setCurrentIndex(2);
        d.Type("txtExtraPhoneExt2", "42");
        QVERIFY(d.Enabled("btnSave"));
        d.Click("btnSave");
        QVERIFY(SavingForm != nullptr); // the indicator stays up after a quick save...
        QCOMPARE(SavingForm->windowTitle(), QString("Saving Contact Information..."));
        QVERIFY(d.ListMode());
        QCOMPARE(d.Combo()->currentIndex(), 0);
        QCOMPARE(d.Rows(), 4);
        QVERIFY(d.RowOfCompany("Acme Tools") >= 0);
        QCOMPARE(d.Value(4, "dbCustCompany"), QString("Acme Tools"));
        QCOMPARE(d.Value(4, "dbCustPhone"), QString("(555)123-4567"));
        QCOMPARE(d.Value(4, "dbCustFax"), QString("(   )   -    "));
        QCOMPARE(d.Value(4, "dbExtraPhoneExt2"), QString("42   "));
        QCOMPARE(d.Value(4, "dbExtraPhoneExt1"), QString("     "));
        QCOMPARE(d.Value(4, "dbCustLastName"), QString(""));
        QCOMPARE(d.Value(4, "dbExtraNotes5"), QString(""));
        QTRY_VERIFY_WITH_TIMEOUT(SavingForm == nullptr, 30000); // ...and goes by itself
    }

    void oneFieldOfEachKindChanged() {
        FormDriver d;
        const QMap<QString, QString> before = d.StoredRow(1);
        d.OpenCompany("Joes Bar and Grill");
        d.Edit("txtCustAddress")->selectAll();
        QTest::keyClicks(d.Edit("txtCustAddress"), "9 New Road");
        TMaskEdit* fax = d.Mask("txtCustFax");
        fax->setFocus();
        fax->setCursorPosition(1);
        QTest::keyClicks(fax, "999");
        TNoteMemo* notes = d.Note("txtContNotes");
        notes->setFocus();
        notes->moveCursor(QTextCursor::End);
        QTest::keyClick(notes, Qt::Key_Return);
        QTest::keyClicks(notes, "Closed Mondays");
        d.W<QTabWidget>("PageControl1")->setCurrentIndex(2);
        d.Edit("txtExtraTitle2")->selectAll();
        QTest::keyClicks(d.Edit("txtExtraTitle2"), "Head Chef");
        d.Click("btnSave");
        QVERIFY(d.ListMode());
        QMap<QString, QString> expected = before;
        // Masked fields are written back in their masked form ("123" as "  123", "" as blanks).
        for (const ContactField& f : LoadOrderFields())
            if (f.kind == FieldKind::Masked)
                expected[QString::fromStdString(f.column)] =
                    d.Mask(f.control)->valueFor(before[QString::fromStdString(f.column)]);
        expected["dbCustAddress"] = "9 New Road";
        expected["dbCustFax"] = "(999)123-4568";
        expected["dbCustNotes"] = "Notes about Joes Bar and Grill Here!\r\nClosed Mondays";
        expected["dbExtraTitle2"] = "Head Chef";
        const QMap<QString, QString> after = d.StoredRow(1);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(it.key() + "=" + after[it.key()], it.key() + "=" + it.value());
        QCOMPARE(d.Cell(d.RowOfCompany("Joes Bar and Grill"), TCustomerListModel::Address),
                 QString("9 New Road"));
    }

    // Texts that read like SQL, a column name, format directives or wildcards are stored as typed.
    void hardValuesRoundTrip() {
        FormDriver d;
        d.Click("tlbarAddNewCust");
        const QString note = QString("line one \"quoted\"\r\n") + QString(470, 'x') + "\r\nend";
        QMap<QString, QString> typed = {
            {"txtCustFrstName", "dbCustLastName"},
            {"txtCustLstName", "O'Brien \"Bob\""},
            {"txtCustCmpnyName", " "},
            {"txtCustAddress", "'); DROP TABLE Customers; --"},
            {"txtCtyStZip", "C:\\path\\%s %n 100%_"},
            {"txtCustEmail", QString::fromUtf8("jürgen@bücher.example.com")},
            {"txtCustWebAddress", "www.example.com/a b?c=\"d\""},
            {"txtExtraName1", QString::fromUtf8("Zoë Ørsted-Łukasz")},
            {"txtExtraTitle1", "\"\"\""},
            {"txtExtraEmail5", "dbCustomer_ID"},
        };
        for (auto it = typed.cbegin(); it != typed.cend(); ++it)
            d.Edit(it.key())->setText(it.value());
        d.Note("txtContNotes")->setText(note);
        d.Note("txtExtraNotes3")->setText("a\r\nb\r\n");
        d.Click("btnSave");
        QVERIFY(d.ListMode());
        QCOMPARE(d.Value(4, "dbCustFirstName"), QString("dbCustLastName"));
        QCOMPARE(d.Value(4, "dbCustCompany"), QString(" "));
        QCOMPARE(d.Value(4, "dbCustNotes"), note);
        QCOMPARE(d.Value(4, "dbCustPhone"), QString("(   )   -    "));
        QCOMPARE(d.Count(), 4);

        d.OpenCompany(" ");
        QCOMPARE(d.Id(), QString("4"));
        for (auto it = typed.cbegin(); it != typed.cend(); ++it)
            QCOMPARE(d.Edit(it.key())->text(), it.value());
        QCOMPARE(d.Note("txtContNotes")->text(), note);
        QCOMPARE(d.Note("txtExtraNotes3")->text(), QString("a\r\nb\r\n"));
        QVERIFY(!d.Enabled("btnSave"));
    }

    void deleteAskedAndAnsweredYes() {
        FormDriver d;
        d.Sql("UPDATE Customers SET dbCustNotes = '" + QString(60000, 'n') +
              "' WHERE dbCustomer_ID = 3");
        const qint64 before = QFileInfo(d.home.dbPath()).size();
        d.OpenCompany("Janes Place");
        SeenBox box;
        AnswerNextBox(&box, QMessageBox::Yes);
        d.Click("btnDelete");
        QVERIFY(box.seen);
        QCOMPARE(box.text, QString("Delete this contact from your list?"));
        QCOMPARE(box.caption, QString("Delete Contact?"));
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.defaultButton, QMessageBox::Yes);
        QVERIFY(d.ListMode());
        QCOMPARE(d.Rows(), 2);
        QCOMPARE(d.Count("dbCustomer_ID = 3"), 0);
        QVERIFY(QFileInfo(d.home.dbPath()).size() < before - 50000); // compacted
    }

    void deleteAnsweredNoKeepsTheEditor() {
        FormDriver d;
        d.OpenCompany("Janes Place");
        d.Type("txtCustAddress", " 2");
        QVERIFY(d.Enabled("btnSave"));
        SeenBox box;
        AnswerNextBox(&box, QMessageBox::No);
        d.Click("btnDelete");
        QVERIFY(box.seen);
        QVERIFY(d.EditMode());
        QVERIFY(d.Enabled("btnSave"));
        QCOMPARE(d.Edit("txtCustAddress")->text(), QString("55555 Street Place 2"));
        QCOMPARE(d.Count(), 3);
        // Escape cannot slip past the question.
        SeenBox escaped;
        AnswerNextBox(&escaped, QMessageBox::NoButton);
        d.Click("btnDelete");
        QVERIFY(escaped.seen);
    }

    void cancelWithAndWithoutChanges() {
        FormDriver d;
        d.OpenCompany("Janes Place");
        d.Click("btnCancel"); // unchanged: no question, which would be a box nobody expects
        QVERIFY(d.ListMode());

        d.OpenCompany("Janes Place");
        d.Type("txtCustAddress", "X");
        SeenBox no;
        AnswerNextBox(&no, QMessageBox::No);
        d.Click("btnCancel");
        QVERIFY(no.seen);
        QCOMPARE(no.text, QString("Save changes to this contact?"));
        QCOMPARE(no.caption, QString("Save Changes?"));
        QCOMPARE(no.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(no.icon, QMessageBox::NoIcon);
        QVERIFY(d.ListMode());
        QCOMPARE(d.Value(3, "dbCustAddress"), QString("55555 Street Place"));

        d.OpenCompany("Janes Place");
        d.Type("txtCustAddress", "Y");
        SeenBox yes;
        AnswerNextBox(&yes, QMessageBox::Yes);
        d.Click("btnCancel");
        QVERIFY(yes.seen);
        QVERIFY(d.ListMode());
        QCOMPARE(d.Value(3, "dbCustAddress"), QString("55555 Street PlaceY"));

        // All names emptied: the edit counts as unchanged and is discarded without a question.
        d.OpenCompany("Janes Place");
        for (const char* name : {"txtCustFrstName", "txtCustLstName", "txtCustCmpnyName"})
            d.Edit(name)->clear();
        d.Type("txtCustAddress", "Z");
        QVERIFY(!d.Enabled("btnSave"));
        d.Click("btnCancel");
        QVERIFY(d.ListMode());
        QCOMPARE(d.Value(3, "dbCustAddress"), QString("55555 Street PlaceY"));
    }

    void closeQuestionAnswers() {
        {
            FormDriver d;
            d.form->close(); // unchanged: closes without a question
            QVERIFY(!d.form->isVisible());
        }
        {
            FormDriver d;
            d.OpenCompany("Janes Place");
            d.Type("txtCustAddress", "C");
            for (QMessageBox::StandardButton answer :
                 {QMessageBox::Cancel, QMessageBox::NoButton}) {
                SeenBox box;
                AnswerNextBox(&box, answer);
                d.Trigger("mnuClose");
                QVERIFY(box.seen);
                QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
                QVERIFY(d.form->isVisible());
                QVERIFY(d.EditMode());
                QCOMPARE(d.Edit("txtCustAddress")->text(), QString("55555 Street PlaceC"));
            }
            SeenBox no;
            AnswerNextBox(&no, QMessageBox::No);
            d.form->close();
            QVERIFY(!d.form->isVisible());
            QCOMPARE(d.Value(3, "dbCustAddress"), QString("55555 Street Place"));
        }
        {
            FormDriver d;
            d.OpenCompany("Janes Place");
            d.Type("txtCustAddress", "S");
            SeenBox yes;
            AnswerNextBox(&yes, QMessageBox::Yes);
            d.form->close();
            QVERIFY(!d.form->isVisible());
            QCOMPARE(d.Value(3, "dbCustAddress"), QString("55555 Street PlaceS"));
        }
    }

    // A save that fails keeps the editor with the user's values and Save enabled, whichever way
    // it was started; the window does not close.
    void failedSaveLosesNothing() {
        FormDriver d;
        d.OpenCompany("Janes Place");
        d.Type("txtCustAddress", "!");
        auto lock = Lock(d.home.dbPath(), "BEGIN EXCLUSIVE");
        QVERIFY(lock);
        auto stillEditing = [&d] {
            QVERIFY(d.form->isVisible());
            QVERIFY(d.EditMode() && d.Enabled("btnSave"));
            QCOMPARE(d.Edit("txtCustAddress")->text(), QString("55555 Street Place!"));
        };

        SeenBox error;
        AnswerNextBox(&error, QMessageBox::Ok);
        d.Click("btnSave");
        QVERIFY(error.seen);
        QVERIFY2(error.text.contains("database is locked"), qPrintable(error.text));
        QCOMPARE(error.icon, QMessageBox::Critical);
        stillEditing();

        SeenBox yes, error2;
        AnswerBoxes({{&yes, QMessageBox::Yes}, {&error2, QMessageBox::Ok}});
        d.Click("btnCancel");
        QVERIFY(yes.seen && error2.seen);
        stillEditing();

        SeenBox closeYes, error3;
        AnswerBoxes({{&closeYes, QMessageBox::Yes}, {&error3, QMessageBox::Ok}});
        d.form->close();
        QVERIFY(closeYes.seen && error3.seen);
        stillEditing();

        // Once the other program lets go, the same edit saves.
        lock.reset();
        QCOMPARE(d.Value(3, "dbCustAddress"), QString("55555 Street Place"));
        d.Click("btnSave");
        QVERIFY(d.ListMode());
        QCOMPARE(d.Value(3, "dbCustAddress"), QString("55555 Street Place!"));
    }

    // Delete on a database that cannot be opened asks nothing and changes nothing.
    void deleteWithLockedDatabase() {
        FormDriver d;
        d.OpenCompany("Janes Place");
        {
            const auto lock = Lock(d.home.dbPath(), "BEGIN EXCLUSIVE");
            QVERIFY(lock);
            SeenBox box;
            AnswerNextBox(&box, QMessageBox::Ok);
            d.Click("btnDelete");
            QTRY_VERIFY(box.seen);
            QCOMPARE(box.icon, QMessageBox::Critical); // the error, not the question
            QVERIFY(d.EditMode());
        }
        QCOMPARE(d.Count(), 3);

        // The delete statement itself fails: back to the list, then the error.
        const auto writer = Lock(d.home.dbPath(), "BEGIN IMMEDIATE");
        QVERIFY(writer);
        SeenBox yes, error;
        AnswerBoxes({{&yes, QMessageBox::Yes}, {&error, QMessageBox::Ok}});
        d.Click("btnDelete");
        QVERIFY(yes.seen && error.seen);
        QVERIFY2(
            error.text.startsWith(
                "Error executing SQL statement \"DELETE FROM Customers WHERE dbCustomer_ID = 3;\""),
            qPrintable(error.text));
        QVERIFY(d.ListMode());
        QCOMPARE(d.Rows(), 3);
    }
};

QTEST_MAIN(SavingTest)
#include "test_saving.moc"

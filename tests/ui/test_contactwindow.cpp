// The contact window in list mode and on loading: its controls, modes, the list and search, the
// 45 fields of a loaded contact, tab captions and the change tracking.
#include "tests/ui/FormDriver.h"

#include <QHeaderView>
#include <QMenuBar>

namespace {
// Which control shows which column, in loading order, written out here rather than taken from
// the window's own table so that a wrong pairing there cannot pass.
struct Shown {
    QString column, control;
    char kind; // e edit, m masked, n note
};
const QList<Shown> kFields = [] {
    QList<Shown> fields = {{"dbCustCompany", "txtCustCmpnyName", 'e'},
                           {"dbCustFirstName", "txtCustFrstName", 'e'},
                           {"dbCustLastName", "txtCustLstName", 'e'},
                           {"dbCustEmail", "txtCustEmail", 'e'},
                           {"dbCustWebSite", "txtCustWebAddress", 'e'},
                           {"dbCustAddress", "txtCustAddress", 'e'},
                           {"dbCustCtyStZp", "txtCtyStZip", 'e'},
                           {"dbCustPhone", "txtCustPhone", 'm'},
                           {"dbCustFax", "txtCustFax", 'm'},
                           {"dbCustNotes", "txtContNotes", 'n'}};
    for (const QString n : {"1", "2", "3", "4", "5"})
        fields << Shown{"dbExtraName" + n, "txtExtraName" + n, 'e'}
               << Shown{"dbExtraTitle" + n, "txtExtraTitle" + n, 'e'}
               << Shown{"dbExtraPhone" + n, "txtExtraPhone" + n, 'm'}
               << Shown{"dbExtraPhoneExt" + n, "txtExtraPhoneExt" + n, 'm'}
               << Shown{"dbExtraFax" + n, "txtExtraFax" + n, 'm'}
               << Shown{"dbExtraEmail" + n, "txtExtraEmail" + n, 'e'}
               << Shown{"dbExtraNotes" + n, "txtExtraNotes" + n, 'n'};
    return fields;
}();

const QStringList kAllControls = [] {
    QStringList names = {"CustomersForm",   "MainMenu1",        "mnuFile",
                         "mnuClose",        "mnuMainHelp",      "mnuHelp",
                         "mnuAbout",        "mnuPrint",         "tlbarCustomers",
                         "tlbarAddNewCust", "lblCustSearch",    "cmboCustSearch",
                         "Label1",          "txtCustSearch",    "pnlLstViewContacts",
                         "pnlContacts",     "lstvCustomers",    "gbxCustomer",
                         "PageControl1",    "lblCustId",        "lblCustPhoneNm",
                         "lblCustFaxNm",    "lblSendCustEmail", "lblCustWebSite",
                         "btnSave",         "btnCancel",        "btnDelete",
                         "Label6",          "TabSheet1"};
    for (const Shown& f : kFields)
        names << f.control;
    for (int n = 1; n <= 5; ++n)
        names << QString("TabSheet%1").arg(n + 1) << QString("lblSendExtraEmail%1").arg(n);
    return names;
}();

QStringList Ids(const FormDriver& d) {
    QStringList ids;
    for (int r = 0; r < d.Rows(); ++r)
        ids << d.Cell(r, TCustomerListModel::CustId);
    return ids;
}
} // namespace

class ContactWindowTest : public QObject {
    Q_OBJECT
private slots:
    void everyControlCarriesItsName() {
        FormDriver d;
        for (const QString& name : kAllControls) {
            QObject* o = name == "CustomersForm" ? d.form.get() : d.form->findChild<QObject*>(name);
            QVERIFY2(o, qPrintable(name));
        }
        QCOMPARE(d.Edit("txtCustCmpnyName")->maxLength(), 25);
        QCOMPARE(d.Edit("txtCustFrstName")->maxLength(), 18);
        QCOMPARE(d.Edit("txtExtraName3")->maxLength(), 36);
        QCOMPARE(d.Edit("txtExtraTitle3")->maxLength(), 14);
        QCOMPARE(d.Edit("txtExtraEmail5")->maxLength(), 35);
        QCOMPARE(d.Search()->maxLength(), 25);
        QCOMPARE(d.Note("txtContNotes")->maxLength(), 500);
        QCOMPARE(d.Note("txtExtraNotes2")->maxLength(), 200);
        QCOMPARE(d.Note("txtContNotes")->size(), QSize(499, 119));
        QCOMPARE(d.Note("txtExtraNotes4")->size(), QSize(185, 89));
        QCOMPARE(d.W("txtCustCmpnyName")->toolTip(), QString("Contacts Company Name"));
        QCOMPARE(d.W("btnSave")->toolTip(), QString("Save changes for this contact to your list"));
        QCOMPARE(d.W("lblSendExtraEmail2")->toolTip(),
                 QString("Send this contact a Email - Internet connection required"));
        QCOMPARE(d.Action("mnuPrint")->text(), QString("Print Contact Information"));
        QCOMPARE(d.W<QToolButton>("tlbarAddNewCust")->text(), QString("Add New Contact"));
        QCOMPARE(d.W<QLabel>("lblCustSearch")->text(), QString("    Search Contacts By:  "));
        // The print command stands on the menu bar itself.
        QVERIFY(d.W<QMenuBar>("MainMenu1")->actions().contains(d.Action("mnuPrint")));
        QCOMPARE(d.form->centralWidget()->width(), 744);
        QCOMPARE(d.W("pnlContacts")->geometry(), d.W("pnlLstViewContacts")->geometry());
    }

    void startsInListModeWithEveryContact() {
        FormDriver d;
        QCOMPARE(d.form->windowTitle(), QString("Quorva Vellicard"));
        QVERIFY(d.ListMode());
        QCOMPARE(d.Rows(), 3);
        QCOMPARE(Ids(d), QStringList({"1", "2", "3"}));
        QCOMPARE(d.Combo()->currentIndex(), 0);
        QCOMPARE(d.Combo()->currentText(), QString("All Contacts"));
        QVERIFY(d.Search()->text().isEmpty());
        QVERIFY(!d.Search()->isEnabled());
        QVERIFY(d.Enabled("tlbarAddNewCust"));
        QVERIFY(!d.Enabled("btnSave") && !d.Enabled("btnCancel") && !d.Enabled("btnDelete"));
        QVERIFY(!d.Action("mnuPrint")->isVisible());
        QVERIFY(!d.List()->selectionModel()->hasSelection());
        QCOMPARE(d.W<QGroupBox>("gbxCustomer")->title(), QString("Contact Information Work Area"));
        // Cells: the name column always carries its separator.
        const int joes = d.RowOfCompany("Joes Bar and Grill");
        QCOMPARE(d.Cell(joes, TCustomerListModel::Name), QString(", "));
        QCOMPARE(d.Cell(joes, TCustomerListModel::Phone), QString("(225)123-4567"));
        QCOMPARE(d.Cell(joes, TCustomerListModel::CtyStZp), QString("Joe City, State, 12345"));
        // Columns: the identifier is hidden, the city column takes the rest of the width.
        QHeaderView* header = d.List()->header();
        QVERIFY(d.List()->isColumnHidden(TCustomerListModel::CustId));
        QCOMPARE(header->sectionSize(TCustomerListModel::Company), 140);
        QCOMPARE(header->sectionSize(TCustomerListModel::Name), 140);
        QCOMPARE(header->sectionSize(TCustomerListModel::Address), 130);
        QCOMPARE(header->sectionSize(TCustomerListModel::Phone), 90);
        QCOMPARE(header->sectionSize(TCustomerListModel::Fax), 90);
        QCOMPARE(header->sectionSize(TCustomerListModel::CtyStZp),
                 d.List()->viewport()->width() - 140 - 140 - 130 - 90 - 90);
        QCOMPARE(d.List()->model()->headerData(4, Qt::Horizontal).toString(),
                 QString("City, State, Zip Code"));
    }

    void addNewContactOpensAnEmptyEditor() {
        FormDriver d;
        d.Click("tlbarAddNewCust");
        QVERIFY(d.EditMode());
        QCOMPARE(d.W<QGroupBox>("gbxCustomer")->title(), QString("New Contact Information"));
        QVERIFY(d.Enabled("btnCancel"));
        QVERIFY(!d.Enabled("btnDelete") && !d.Enabled("btnSave"));
        QVERIFY(!d.Enabled("tlbarAddNewCust") && !d.Enabled("cmboCustSearch") &&
                !d.Enabled("lblCustSearch") && !d.Enabled("txtCustSearch"));
        QVERIFY(!d.Action("mnuPrint")->isVisible());
        QVERIFY(d.Id().isEmpty());
        QCOMPARE(d.Mask("txtCustPhone")->value(), QString("(   )   -    "));
        QCOMPARE(d.Mask("txtExtraPhoneExt1")->value(), QString("     "));
        QCOMPARE(QApplication::focusWidget(), d.W("txtCustCmpnyName"));

        // Only a name enables Save; the phone alone does not.
        d.Type("txtCustPhone", "5551234567");
        QCOMPARE(d.Mask("txtCustPhone")->value(), QString("(555)123-4567"));
        QVERIFY(!d.Enabled("btnSave"));
        d.Type("txtCustCmpnyName", " ");
        QVERIFY(d.Enabled("btnSave")); // a blank counts as filled
        QVERIFY(!d.Enabled("btnDelete"));
        d.Edit("txtCustCmpnyName")->clear();
        QVERIFY(!d.Enabled("btnSave"));
        d.Type("txtCustLstName", "x");
        QVERIFY(d.Enabled("btnSave"));
    }

    void linkLabelsFollowTheirFields() {
        FormDriver d;
        d.Click("tlbarAddNewCust");
        QVERIFY(!d.Enabled("lblSendCustEmail") && !d.Enabled("lblCustWebSite"));
        d.Type("txtCustEmail", "a@b");
        QVERIFY(d.Enabled("lblSendCustEmail"));
        d.Type("txtCustWebAddress", "w");
        QVERIFY(d.Enabled("lblCustWebSite"));
        d.Edit("txtExtraEmail3")->setText("x");
        QVERIFY(d.Enabled("lblSendExtraEmail3"));
        QVERIFY(!d.Enabled("lblSendExtraEmail2"));
        d.Edit("txtCustEmail")->clear();
        QVERIFY(!d.Enabled("lblSendCustEmail"));
    }

    // Every one of the 45 fields arrives in its control from a row written with known values.
    void loadingFillsEveryField() {
        FormDriver d;
        // Each column gets a value no other column has, so a swapped pair shows.
        auto valueOf = [](const Shown& f, int k) {
            if (f.kind == 'm')
                return f.column.contains("PhoneExt")
                           ? QString::number(10000 + k)
                           : QString("(%1)555-%2").arg(200 + k).arg(1000 + k);
            if (f.kind == 'n')
                return f.column + "\r\nsecond line";
            return f.column.mid(2, 12);
        };
        QStringList columns, values;
        for (int k = 0; k < kFields.size(); ++k) {
            columns << kFields[k].column;
            values << "'" + valueOf(kFields[k], k) + "'";
        }
        d.Sql("INSERT INTO Customers(" + columns.join(",") + ") VALUES(" + values.join(",") + ")");
        d.ChooseSearch(0);
        const int row = d.RowOfCompany("CustCompany");
        QVERIFY(row >= 0);
        d.ClickRow(row);
        QVERIFY(d.EditMode());
        QCOMPARE(d.Id(), QString("4"));
        for (int k = 0; k < kFields.size(); ++k) {
            const Shown& f = kFields[k];
            const QString shown = f.kind == 'm'   ? d.Mask(f.control)->value()
                                  : f.kind == 'n' ? d.Note(f.control)->text()
                                                  : d.Edit(f.control)->text();
            QVERIFY2(shown == valueOf(f, k), qPrintable(f.control + ": " + shown));
        }
        QVERIFY(!d.Enabled("btnSave"));
        QVERIFY(d.Enabled("btnCancel") && d.Enabled("btnDelete"));
        QVERIFY(!d.Enabled("tlbarAddNewCust") && !d.Enabled("cmboCustSearch") &&
                !d.Enabled("txtCustSearch"));
        QVERIFY(d.Action("mnuPrint")->isVisible());
        QCOMPARE(d.W<QGroupBox>("gbxCustomer")->title(), QString("Edit Contact Information"));
        QCOMPARE(QApplication::focusWidget(), d.W("txtCustCmpnyName"));
        QCOMPARE(d.W<QTabWidget>("PageControl1")->currentIndex(), 0);
        // The first change of any field enables Save: here a fax digit.
        d.Mask("txtCustFax")->setFocus();
        d.Mask("txtCustFax")->setCursorPosition(1);
        QTest::keyClick(d.Mask("txtCustFax"), Qt::Key_9);
        QVERIFY(d.Enabled("btnSave"));
    }

    // The sample row 2 leaves many columns NULL: they load as empty text and empty masks.
    void loadingNullHeavyRow() {
        FormDriver d;
        d.Sql("UPDATE Customers SET dbCustPhone = NULL, dbExtraPhoneExt1 = NULL WHERE "
              "dbCustomer_ID = 2");
        d.ChooseSearch(0);
        d.ClickRow(1);
        QCOMPARE(d.Id(), QString("2"));
        QCOMPARE(d.Edit("txtCustFrstName")->text(), QString("Mark"));
        QVERIFY(d.Edit("txtCustWebAddress")->text().isEmpty());
        QCOMPARE(d.Mask("txtCustPhone")->value(), QString("(   )   -    "));
        QCOMPARE(d.Mask("txtExtraPhoneExt1")->value(), QString("     "));
        QCOMPARE(d.Mask("txtExtraPhone1")->value(), QString("(   )   -    "));
        QVERIFY(d.Note("txtContNotes")->text().isEmpty());
        QCOMPARE(d.Note("txtExtraNotes2")->text(), QString("3 Years Old"));
        QVERIFY(!d.Enabled("lblSendCustEmail")); // empty e-mail
        QVERIFY(!d.Enabled("lblCustWebSite"));
        QVERIFY(!d.Enabled("btnSave"));
        auto* tabs = d.W<QTabWidget>("PageControl1");
        QCOMPARE(tabs->tabText(1), QString("Wife"));
        QCOMPARE(tabs->tabText(2), QString("Son"));
        QCOMPARE(tabs->tabText(3), QString("Extra Contact 3"));
        QCOMPARE(tabs->tabText(5), QString("Extra Contact 5"));
    }

    void tabCaptionsComeFromTitlesWhenLoaded() {
        FormDriver d;
        d.Sql("UPDATE Customers SET dbExtraTitle1 = '', dbExtraTitle4 = '   ' WHERE dbCustomer_ID "
              "= 1");
        d.OpenCompany("Joes Bar and Grill");
        auto* tabs = d.W<QTabWidget>("PageControl1");
        QCOMPARE(tabs->tabText(0), QString("Notes"));
        QCOMPARE(tabs->tabText(1), QString("Extra Contact 1"));
        QCOMPARE(tabs->tabText(2), QString("Manager"));
        QCOMPARE(tabs->tabText(3), QString("A/R"));
        QCOMPARE(tabs->tabText(4), QString("   "));
        QCOMPARE(tabs->tabText(5), QString("Shipping"));
        QVERIFY(d.Enabled("lblSendCustEmail") && d.Enabled("lblCustWebSite"));
        QVERIFY(d.Enabled("lblSendExtraEmail2"));
        // A title typed now shows on its tab only when the contact is loaded again.
        tabs->setCurrentIndex(1);
        d.Type("txtExtraTitle1", "Boss");
        QCOMPARE(tabs->tabText(1), QString("Extra Contact 1"));
        QVERIFY(d.Enabled("btnSave"));
    }

    void resetEmptiesEverythingFromAnyState() {
        FormDriver d;
        d.OpenCompany("Joes Bar and Grill");
        d.W<QTabWidget>("PageControl1")->setCurrentIndex(3);
        d.form->pClearCustForm();
        QVERIFY(d.ListMode());
        for (const ContactField& f : LoadOrderFields()) {
            QString text = FieldText(d.W(f.control));
            QVERIFY2(text.remove(QRegularExpression("[()\\- ]")).isEmpty(), qPrintable(f.control));
        }
        QVERIFY(d.Id().isEmpty());
        QCOMPARE(d.W<QTabWidget>("PageControl1")->currentIndex(), 0);
        QCOMPARE(d.W<QTabWidget>("PageControl1")->tabText(1), QString("Extra Contact 1"));
        QVERIFY(!d.Enabled("lblSendCustEmail") && !d.Enabled("lblSendExtraEmail1"));
        QVERIFY(!d.Action("mnuPrint")->isVisible());
        QCOMPARE(d.Rows(), 3);
        // Running it again from list mode changes nothing.
        d.form->pClearCustForm();
        QVERIFY(d.ListMode());
        QCOMPARE(d.Rows(), 3);
    }

    void searchNarrowsAsTyped() {
        FormDriver d;
        d.Sql("INSERT INTO Customers(dbCustCompany, dbCustLastName, dbCustFirstName) VALUES"
              "('jolly \"Joe''s\" 100%', 'Öberg', 'al_x'), ('Banjo', 'öberg', 'Alex'),"
              "('JOnes', NULL, 'bob')");
        d.ChooseSearch(0);
        QCOMPARE(d.Rows(), 6);
        d.ChooseSearch(1);
        QVERIFY(d.Search()->isEnabled());
        QCOMPARE(QApplication::focusWidget(), d.Search());
        QCOMPARE(d.Rows(), 6); // no refill until the first character
        QTest::keyClicks(d.Search(), "j");
        QCOMPARE(d.Companies(), QStringList({"Joes Bar and Grill", "Janes Place",
                                             "jolly \"Joe's\" 100%", "JOnes"}));
        QTest::keyClicks(d.Search(), "O");
        QCOMPARE(d.Companies(),
                 QStringList({"Joes Bar and Grill", "jolly \"Joe's\" 100%", "JOnes"}));
        QTest::keyClick(d.Search(), Qt::Key_Backspace);
        QCOMPARE(d.Rows(), 4);
        d.Search()->setText("jolly \"joe's\" 100");
        QCOMPARE(d.Companies(), QStringList({"jolly \"Joe's\" 100%"}));
        d.Search()->setText("%jo");
        QCOMPARE(d.Companies(),
                 QStringList({"Joes Bar and Grill", "jolly \"Joe's\" 100%", "Banjo", "JOnes"}));
        d.Search()->setText("j_n");
        QCOMPARE(d.Companies(), QStringList({"Janes Place", "JOnes"}));
        QVERIFY(!d.List()->selectionModel()->hasSelection());

        // Switching kinds empties the text and refills once with "%" alone: NULL names drop out.
        d.ChooseSearch(2);
        QVERIFY(d.Search()->text().isEmpty());
        QCOMPARE(d.Rows(), 5);
        // Letters outside a to z are not folded: Ö and ö match only themselves.
        d.Search()->setText("Ö");
        QCOMPARE(d.Companies(), QStringList({"jolly \"Joe's\" 100%"}));
        d.Search()->setText("ö");
        QCOMPARE(d.Companies(), QStringList({"Banjo"}));
        d.ChooseSearch(3);
        d.Search()->setText("AL_");
        QCOMPARE(d.Companies(), QStringList({"jolly \"Joe's\" 100%", "Banjo"}));
        d.Search()->setText("al\\");
        QCOMPARE(d.Rows(), 0);

        // The 26th character cannot be typed.
        d.Search()->clear();
        QTest::keyClicks(d.Search(), QString(30, 'z'));
        QCOMPARE(d.Search()->text().size(), 25);

        d.ChooseSearch(0);
        QVERIFY(!d.Search()->isEnabled());
        QVERIFY(d.Search()->text().isEmpty());
        QCOMPARE(d.Rows(), 6);
        QCOMPARE(QApplication::focusWidget(), d.List());
    }

    // A search does not survive opening a contact and coming back.
    void searchIsResetAfterEditing() {
        FormDriver d;
        d.ChooseSearch(1);
        QTest::keyClicks(d.Search(), "jan");
        QCOMPARE(d.Rows(), 1);
        d.ClickRow(0);
        QVERIFY(d.EditMode());
        d.Click("btnCancel");
        QVERIFY(d.ListMode());
        QCOMPARE(d.Combo()->currentIndex(), 0);
        QVERIFY(d.Search()->text().isEmpty() && !d.Search()->isEnabled());
        QCOMPARE(d.Rows(), 3);
    }

    void clickOnEmptySpaceDoesNothing() {
        FormDriver d;
        QTest::mouseClick(d.List()->viewport(), Qt::LeftButton, {},
                          QPoint(50, d.List()->viewport()->height() - 5));
        QVERIFY(d.ListMode());
        QVERIFY(d.Id().isEmpty());
    }

    void keyboardOpensTheSelectedRow() {
        FormDriver d;
        d.List()->setFocus();
        d.List()->setCurrentIndex(d.List()->model()->index(2, 1));
        QTest::keyClick(d.List(), Qt::Key_Return);
        QVERIFY(d.EditMode());
        QCOMPARE(d.Id(), QString("3"));
    }

    // The row went away behind the program's back: the message, and the window stays in list mode.
    void loadingAVanishedRow() {
        FormDriver d;
        d.Sql("DELETE FROM Customers WHERE dbCustomer_ID = 2");
        SeenBox box;
        AnswerNextBox(&box, QMessageBox::Ok);
        d.ClickRow(1);
        QTRY_VERIFY(box.seen);
        QCOMPARE(box.text, QString("Field dbCustCompany Not found. Empty dataset."));
        QCOMPARE(box.caption, QString("Vellicard"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QVERIFY(d.ListMode());
        QCOMPARE(d.Id(), QString("2"));
        QVERIFY(d.Edit("txtCustCmpnyName")->text().isEmpty());
    }

    // A refill that fails keeps the rows the list showed; the window carries on.
    void failedRefillKeepsTheList() {
        FormDriver d;
        d.Sql("ALTER TABLE Customers RENAME TO Gone");
        d.ChooseSearch(1);
        SeenBox box;
        AnswerNextBox(&box, QMessageBox::Ok);
        QTest::keyClicks(d.Search(), "j");
        QTRY_VERIFY(box.seen);
        QVERIFY2(box.text.startsWith("Error executing SQL \"SELECT * FROM Customers WHERE "
                                     "UPPER(dbCustCompany) LIKE 'J%'\""),
                 qPrintable(box.text));
        QCOMPARE(d.Rows(), 3);
        QVERIFY(d.form->isVisible());
    }

    // Notes: a stored note over the line limit loads whole; edits over it are undone.
    void noteLimits() {
        FormDriver d;
        d.Sql("UPDATE Customers SET dbCustNotes = '1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9' "
              "WHERE dbCustomer_ID = 3");
        d.OpenCompany("Janes Place");
        TNoteMemo* notes = d.Note("txtContNotes");
        QCOMPARE(notes->text(), QString("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9"));
        QCOMPARE(notes->displayedLineCount(), 9);
        QVERIFY(!d.Enabled("btnSave"));
        notes->setFocus();
        notes->moveCursor(QTextCursor::End);
        QTest::keyClick(notes, Qt::Key_Return);
        QCOMPARE(notes->text(), QString("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9"));

        TNoteMemo* extra = d.Note("txtExtraNotes1");
        d.W<QTabWidget>("PageControl1")->setCurrentIndex(1);
        extra->setFocus();
        QTest::keyClicks(extra, "a");
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(extra, Qt::Key_Return);
            QTest::keyClicks(extra, "b");
        }
        QCOMPARE(extra->displayedLineCount(), 5);
        QTest::keyClick(extra, Qt::Key_Return);
        QTest::keyClicks(extra, "c");
        QCOMPARE(extra->text(), QString("a\r\nb\r\nb\r\nb\r\nb\r\n"));
        QVERIFY(d.Enabled("btnSave"));
    }
};

QTEST_MAIN(ContactWindowTest)
#include "test_contactwindow.moc"

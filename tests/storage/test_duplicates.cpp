// Which contacts are found as likely one person or company, and why: pairs that must group and
// pairs that must not.
#include "model/ContactColumns.h"
#include "storage/AddressBook.h"
#include "storage/CustomerRows.h"
#include "storage/DuplicateFinder.h"
#include "storage/DuplicateMerge.h"
#include "storage/SQLiteTable3.h"
#include "storage/SyncStore.h"
#include "storage/unitBuildData.h"
#include "storage/unitFilePath.h"
#include "tests/common/TestHome.h"

#include <QtTest>

namespace {

// "dbCustLastName=Lee;dbCustEmail=ann@lee.example" as a contact the editor would save.
ContactValues Contact(const QString& fields) {
    ContactValues v;
    for (int i = 0; i < kDataColumns; ++i)
        v[i] = EmptyValueOf(ContactColumnTable()[i].type);
    for (const QString& field : fields.split(';', Qt::SkipEmptyParts)) {
        const auto at = std::find(SaveOrderColumns().begin(), SaveOrderColumns().end(),
                                  field.section('=', 0, 0).toStdString());
        v[at - SaveOrderColumns().begin()] = field.section('=', 1).toStdString();
    }
    return v;
}

} // namespace

class TestDuplicates : public QObject {
    Q_OBJECT

private slots:
    void pairs_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("reason"); // empty: no group
        const QString ann = "dbCustFirstName=Ann;dbCustLastName=Lee;";
        QTest::newRow("e-mail, any case")
            << "dbCustFirstName=ANN;dbCustLastName=LEE;dbCustEmail=Ann@Lee.example"
            << ann + "dbCustCompany=Lee Bakery;dbCustEmail=ann@lee.example"
            << "same e-mail address ann@lee.example";
        QTest::newRow("an extra person's e-mail")
            << "dbCustCompany=Acme;dbCustEmail=desk@acme.example"
            << "dbCustCompany=Other;dbExtraEmail3=DESK@acme.example"
            << "same e-mail address desk@acme.example";
        QTest::newRow("one phone, the same last name")
            << "dbCustFirstName=Bob;dbCustLastName=Stone;dbCustPhone=(512)555-0101"
            << "dbCustFirstName=Robert;dbCustLastName=Stone;dbCustPhone=(512)555-0101"
            << "same phone number (512)555-0101 and last name Stone";
        QTest::newRow("a fax and an extra person's phone, the same company")
            << "dbCustCompany=Acme Tools;dbCustFax=(512)555-0199"
            << "dbCustCompany=ACME  tools;dbExtraPhone2=(512)555-0199"
            << "same phone number (512)555-0199 and company Acme Tools";
        QTest::newRow("name with accents and spacing, the same company")
            << "dbCustFirstName=José ;dbCustLastName= Álvarez;dbCustCompany=Álvarez & Hijos"
            << "dbCustFirstName=jose;dbCustLastName=alvarez;dbCustCompany=Alvarez, Hijos"
            << "same name José Álvarez and company Álvarez & Hijos";
        QTest::newRow("name and city line")
            << ann + "dbCustCtyStZp=Austin, TX 78701" << ann + "dbCustCtyStZp=austin TX 78701"
            << "same name Ann Lee and city line Austin, TX 78701";
        QTest::newRow("homonyms") << "dbCustFirstName=John;dbCustLastName=Smith;dbCustCompany=A "
                                     "Corp;dbCustPhone=(512)555-0001;dbCustAddress=1 Main St"
                                  << "dbCustFirstName=John;dbCustLastName=Smith;dbCustCompany=B "
                                     "Corp;dbCustPhone=(512)555-0002;dbCustAddress=9 Elm St"
                                  << "";
        QTest::newRow("a shared office number, other last names")
            << ann + "dbCustPhone=(512)555-0100" << "dbCustFirstName=Bob;dbCustLastName=Stone;"
                                                  "dbCustPhone=(512)555-0100"
            << "";
        QTest::newRow("a name alone") << ann << ann << "";
        QTest::newRow("two empty contacts") << "" << "" << "";
        QTest::newRow("seven digits") << ann + "dbCustPhone=(   )555-0100"
                                      << ann + "dbCustPhone=(   )555-0100" << "";
    }
    void pairs() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, reason);
        TestHome home;
        PrepareDataFiles();
        TSQLiteDatabase db(ContactDbPath());
        WriteContact(db, Contact(first), std::string());
        const std::string secondId = WriteContact(db, Contact(second), std::string());
        std::size_t contacts = 0;
        const std::vector<DuplicateGroup> groups = FindDuplicates(db, &contacts);
        QCOMPARE(contacts, std::size_t(5)); // with the three samples, which never group
        QCOMPARE(groups.size(), std::size_t(reason.isEmpty() ? 0 : 1));
        if (reason.isEmpty())
            return;
        QCOMPARE(QString::fromStdString(groups[0].reason), reason);
        const std::int64_t last = std::stoll(secondId);
        QCOMPARE(groups[0].ids, (std::vector<std::int64_t>{last - 1, last}));
    }

    // A merge keeps the first contact's row with the merged values and takes the second away, in
    // one go; undone, both come back byte for byte under their ids, but not once the merged
    // contact was changed.
    void mergeAndUndo() {
        TestHome home;
        PrepareDataFiles();
        TSQLiteDatabase db(ContactDbPath());
        const std::int64_t a = std::stoll(WriteContact(db, Contact("dbCustLastName=Lee"), ""));
        const std::int64_t b = std::stoll(WriteContact(db, Contact("dbCustCompany=Lee Bakery"), ""));
        // What the editor cannot show stays as it was: a blob and a text that is not UTF-8.
        db.RunStatement("UPDATE Customers SET dbCustNotes=x'00ff01' WHERE dbCustomer_ID=" +
                        std::to_string(a) + ";");
        db.RunStatement("UPDATE Customers SET dbCustAddress=CAST(x'4dfc6c6c6572' AS TEXT) WHERE "
                        "dbCustomer_ID=" + std::to_string(b) + ";");
        const std::string dump = "SELECT group_concat(dbCustomer_ID||':'||quote(dbCustLastName)||"
                                 "quote(dbCustCompany)||quote(dbCustNotes)||hex(dbCustAddress)||"
                                 "typeof(dbCustAddress),'|') FROM Customers";
        const std::string before = db.OpenResult(dump)->TextOrEmptyAt(0);
        const std::int64_t merge = MergeContactRows(
            db, a, b, Contact("dbCustLastName=Lee;dbCustCompany=Lee Bakery"));
        QCOMPARE(db.OpenResult("SELECT count(*) FROM Customers WHERE dbCustomer_ID=" +
                               std::to_string(b))->TextOrEmptyAt(0), std::string("0"));
        QCOMPARE(db.OpenResult("SELECT dbCustCompany||typeof(dbCustNotes) FROM Customers WHERE "
                               "dbCustomer_ID=" + std::to_string(a))->TextOrEmptyAt(0),
                 std::string("Lee Bakeryblob"));
        UndoContactMerge(db, merge);
        QCOMPARE(db.OpenResult(dump)->TextOrEmptyAt(0), before);
        const std::int64_t again = MergeContactRows(db, a, b, Contact("dbCustLastName=Lee"));
        db.RunStatement("UPDATE Customers SET dbCustFirstName='Ann' WHERE dbCustomer_ID=" +
                        std::to_string(a) + ";");
        const std::string changed = db.OpenResult(dump)->TextOrEmptyAt(0);
        QVERIFY_THROWS_EXCEPTION(EAddressBookError, UndoContactMerge(db, again));
        QCOMPARE(db.OpenResult(dump)->TextOrEmptyAt(0), changed);
        QVERIFY_THROWS_EXCEPTION(EAddressBookError, MergeContactRows(db, a, b, Contact("")));
    }

    // "Not duplicates" is kept in the book: the group stays away on the next connection, and
    // other groups are found as before.
    void notDuplicatesIsRemembered() {
        TestHome home;
        PrepareDataFiles();
        std::vector<std::int64_t> first;
        {
            TSQLiteDatabase db(ContactDbPath());
            for (const char* fields : {"dbCustEmail=a@x.example", "dbCustEmail=A@x.example",
                                       "dbCustEmail=b@x.example", "dbCustEmail=b@x.example"})
                WriteContact(db, Contact(fields), std::string());
            const std::vector<DuplicateGroup> groups = FindDuplicates(db);
            QCOMPARE(groups.size(), std::size_t(2));
            first = groups[0].ids;
            MarkNotDuplicates(db, first);
        }
        TSQLiteDatabase again(ContactDbPath());
        const std::vector<DuplicateGroup> groups = FindDuplicates(again);
        QCOMPARE(groups.size(), std::size_t(1));
        QVERIFY(groups[0].ids != first);
        QCOMPARE(QString::fromStdString(groups[0].reason), QString("same e-mail address b@x.example"));
    }

    // What any one thing links is one group, named by the first link, in the order of the ids.
    void linksChain() {
        TestHome home;
        PrepareDataFiles();
        TSQLiteDatabase db(ContactDbPath());
        db.RunStatement("DELETE FROM Customers;");
        for (const char* fields :
             {"dbCustLastName=Stone;dbCustPhone=(512)555-0101", "dbCustEmail=x@y.example",
              "dbCustLastName=Stone;dbCustPhone=(512)555-0101;dbCustEmail=X@y.example",
              "dbCustCompany=Alone"})
            WriteContact(db, Contact(fields), std::string());
        const std::vector<DuplicateGroup> groups = FindDuplicates(db);
        QCOMPARE(groups.size(), std::size_t(1));
        QCOMPARE(groups[0].ids, (std::vector<std::int64_t>{1, 2, 3}));
    }

    // A merge forgotten when its dialog closed leaves the card a sync has still to carry; the
    // next merge is numbered after it, so undoing that one does not take the card away.
    void carriedCardOutlivesItsMerge() {
        TestHome home;
        PrepareDataFiles();
        TSyncStore(ContactDbPath()).Load();
        TSQLiteDatabase db(ContactDbPath());
        const std::int64_t a = std::stoll(WriteContact(db, Contact("dbCustLastName=Lee"), ""));
        const std::int64_t b = std::stoll(WriteContact(db, Contact("dbCustLastName=LEE"), ""));
        db.RunStatement("INSERT INTO VellicardSyncContacts VALUES('u'," + std::to_string(b) + ",'');");
        db.RunStatement("INSERT INTO VellicardSyncCards VALUES('h','u','u',0,'e','BEGIN:VCARD');");
        const std::int64_t first = MergeContactRows(db, a, b, Contact("dbCustLastName=Lee"));
        ForgetContactMerges(db, {first});
        const std::int64_t c = std::stoll(WriteContact(db, Contact("dbCustLastName=Lee"), ""));
        UndoContactMerge(db, MergeContactRows(db, a, c, Contact("dbCustLastName=Lee")));
        QCOMPARE(db.OpenResult("SELECT count(*) FROM VellicardSyncCarried WHERE row=" +
                               std::to_string(a))->IntegerAt(0), std::int64_t(1));
    }
};

QTEST_GUILESS_MAIN(TestDuplicates)
#include "test_duplicates.moc"

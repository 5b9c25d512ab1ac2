// The statements that write and search contacts, run against a real database file.
#include "interchange/TextCodec.h"
#include "model/ContactColumns.h"
#include "storage/AddressBook.h"
#include "storage/ContactStatements.h"
#include "storage/CustomerRows.h"
#include "storage/SQLiteTable3.h"
#include "storage/SqlLiteral.h"
#include "storage/unitBuildData.h"
#include "storage/unitFilePath.h"
#include "tests/common/TestHome.h"

#include <QFileInfo>
#include <QtTest>

using namespace std::string_literals;

namespace {
ContactValues Values(const std::string& fill) {
    ContactValues v;
    for (int i = 0; i < kDataColumns; ++i)
        v[i] = fill + std::to_string(i);
    return v;
}

ContactValues ReadBack(TSQLiteDatabase& db, const std::string& where) {
    auto t = db.OpenResult("SELECT * FROM Customers WHERE " + where);
    if (t->AtEnd())
        throw std::runtime_error("no row " + where);
    ContactValues v;
    for (int i = 0; i < kDataColumns; ++i)
        v[i] = t->TextOrEmptyAt(t->ColumnOf(SaveOrderColumns()[i]));
    return v;
}

QStringList Ids(TSQLiteDatabase& db, const std::string& statement) {
    QStringList ids;
    auto t = db.OpenResult(statement);
    while (!t->AtEnd()) {
        ids << QString::fromStdString(t->TextOrEmptyAt(t->ColumnOf("dbCustomer_ID")));
        t->Advance();
    }
    return ids;
}
} // namespace

class StatementsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestHome> home;
    static qint64 LastId(TSQLiteDatabase& db) {
        auto t = db.OpenResult("SELECT last_insert_rowid()");
        return t->IntegerAt(0);
    }

private slots:
    void init() {
        home = std::make_unique<TestHome>();
        PrepareDataFiles();
    }
    void cleanup() { home.reset(); }

    void literalDoublesSingleQuotes() {
        QCOMPARE(SqlText("it's"), std::string("'it''s'"));
        QCOMPARE(SqlText(""), std::string("''"));
        QCOMPARE(SqlText("\"x\""), std::string("'\"x\"'"));
    }

    void statementShapes() {
        const std::string update = BuildUpdateStatement(Values("v"), "12");
        QVERIFY(update.rfind("UPDATE Customers SET dbCustFirstName = 'v0',dbCustLastName = 'v1',",
                             0) == 0);
        QVERIFY(update.find(",dbExtraEmail3 ='v29',") != std::string::npos);
        QVERIFY(update.find(",dbExtraNotes1 = 'v16',") != std::string::npos);
        QVERIFY(QString::fromStdString(update).endsWith(
            "'v43',dbExtraNotes5 = 'v44' WHERE dbCustomer_ID = 12;"));
        const std::string insert = BuildInsertStatement(Values("v"));
        QVERIFY(insert.rfind("INSERT INTO Customers(dbCustFirstName,dbCustLastName,dbCustCompany,",
                             0) == 0);
        QVERIFY(insert.find("dbExtraNotes5)VALUES('v0','v1',") != std::string::npos);
        QVERIFY(QString::fromStdString(insert).endsWith(",'v43','v44');"));
        QCOMPARE(BuildDeleteStatement("7"),
                 std::string("DELETE FROM Customers WHERE dbCustomer_ID = 7;"));
        QCOMPARE(BuildSelectByIdStatement("7"),
                 std::string("SELECT * FROM Customers WHERE dbCustomer_ID = 7"));
        QCOMPARE(BuildSearchStatement(SearchKind::All, "ignored"),
                 std::string("SELECT * FROM Customers"));
        QCOMPARE(BuildSearchStatement(SearchKind::LastName, "ab"),
                 std::string("SELECT * FROM Customers WHERE UPPER(dbCustLastName) LIKE 'AB%'"));
        QCOMPARE(UpperAscii("azAZ09\xc3\xa9_%"), std::string("AZAZ09\xc3\xa9_%"));
    }

    // The identifier goes into statements unquoted, so nothing but an integer may pass.
    void identifierMustBeAnInteger() {
        for (const char* bad : {"", "1 OR 1=1", "1;DROP TABLE Customers", "abc", "-", " 1"})
            QVERIFY_THROWS_EXCEPTION(ESQLiteException, BuildDeleteStatement(bad));
        QCOMPARE(BuildDeleteStatement("-3"),
                 std::string("DELETE FROM Customers WHERE dbCustomer_ID = -3;"));
    }

    // Whatever is typed is stored exactly, including texts that read like SQL or like a column.
    void hostileValuesRoundTrip() {
        ContactValues v = Values("x");
        v[0] = "dbCustLastName";
        v[1] = "O'Brien \"Bob\"";
        v[2] = "'); DROP TABLE Customers; --";
        v[3] = "back\\slash %s %n %d";
        v[4] = "100% _under_";
        v[5] = "Gr\xc3\xbc\xc3\x9f"
               "e \xe2\x82\xac";
        v[7] = "(   )   -    ";
        v[9] = "line 1\r\nline 2\r\n\r\n";
        v[13] = "     ";
        v[14] = std::string(500, 'n');
        v[20] = " ";
        TSQLiteDatabase db(ContactDbPath());
        WriteContact(db, v, "");
        const std::string id = std::to_string(LastId(db));
        QCOMPARE(ReadBack(db, "dbCustomer_ID = " + id), v);

        ContactValues changed = v;
        changed[6] = "dbCustCompany";
        changed[44] = "\"\"\"";
        WriteContact(db, changed, id);
        QCOMPARE(ReadBack(db, "dbCustomer_ID = " + id), changed);
        QCOMPARE(Ids(db, "SELECT * FROM Customers").size(), 4);
    }

    // An update whose row another copy of the program deleted meanwhile keeps what was typed.
    void updateOfVanishedRowKeepsTheContact() {
        TSQLiteDatabase db(ContactDbPath());
        DeleteContact(db, "2");
        WriteContact(db, Values("kept"), "2");
        QCOMPARE(Ids(db, "SELECT * FROM Customers WHERE dbCustFirstName = 'kept0'").size(), 1);
    }

    // The book reports each change it makes, with the contact's identifier, once it is made.
    void bookReportsItsChanges() {
        TAddressBook book(ContactDbPath());
        QStringList seen;
        book.OnChange([&](const BookChange& c) {
            static const char* const kinds[] = {"added", "updated", "deleted"};
            seen << QString("%1 %2").arg(kinds[int(c.kind)]).arg(QString::fromStdString(c.id));
        });
        const std::string id = book.Save(Values("new"), "");
        book.Load(id);
        book.Save(Values("changed"), id);
        book.Delete("2", [] { return false; });
        book.Delete(id, [] { return true; });
        book.Save(Values("again"), id); // its row has gone: added afresh
        QCOMPARE(seen, (QStringList{"added 4", "updated 4", "deleted 4", "added 4"}));
    }

    void searchMatchesPrefixCaseAndWildcards() {
        TSQLiteDatabase db(ContactDbPath());
        ContactValues a = Values("a");
        a[2] = "Joe's \"Diner\"";
        WriteContact(db, a, ""); // id 4
        ContactValues b = Values("b");
        b[2] = "jolly 100%";
        WriteContact(db, b, ""); // id 5
        ContactValues c = Values("c");
        c[2] = "Banjo";
        WriteContact(db, c, ""); // id 6
        QCOMPARE(Ids(db, BuildSearchStatement(SearchKind::Company, "jo")),
                 QStringList({"1", "4", "5"}));
        QCOMPARE(Ids(db, BuildSearchStatement(SearchKind::Company, "JOE'")), QStringList({"4"}));
        QCOMPARE(Ids(db, BuildSearchStatement(SearchKind::Company, "Joe's \"")),
                 QStringList({"4"}));
        QCOMPARE(Ids(db, BuildSearchStatement(SearchKind::Company, "%jo")),
                 QStringList({"1", "4", "5", "6"}));
        QCOMPARE(Ids(db, BuildSearchStatement(SearchKind::Company, "j_l")), QStringList({"5"}));
        // Empty text: every non-NULL company, empty ones included (row 2 has "").
        QCOMPARE(Ids(db, BuildSearchStatement(SearchKind::Company, "")),
                 QStringList({"1", "2", "3", "4", "5", "6"}));
        // Last name: row 1 is "" (listed), rows 4 to 6 hold x1.
        QCOMPARE(Ids(db, BuildSearchStatement(SearchKind::LastName, "")).size(), 6);
    }

    void deleteRemovesTheRowAndCompacts() {
        TSQLiteDatabase db(ContactDbPath());
        ContactValues big = Values("big");
        for (int i = 0; i < kDataColumns; ++i)
            big[i] = std::string(4000, 'a' + i % 26);
        for (int i = 0; i < 10; ++i)
            WriteContact(db, big, "");
        const qint64 before = QFileInfo(QString::fromStdString(ContactDbPath())).size();
        for (const QString& id :
             Ids(db, "SELECT * FROM Customers WHERE dbCustFirstName LIKE 'aaaa%'"))
            DeleteContact(db, id.toStdString());
        const qint64 after = QFileInfo(QString::fromStdString(ContactDbPath())).size();
        QVERIFY2(after < before / 4, qPrintable(QString("%1 -> %2").arg(before).arg(after)));
        QCOMPARE(Ids(db, "SELECT * FROM Customers"), QStringList({"1", "2", "3"}));
    }

    // A zero character can reach a field by pasting, but no statement text can carry one: it is
    // left out, and everything else of the contact is stored.
    void literalLeavesZeroBytesOut() {
        QCOMPARE(SqlText("a\0b"s), "'ab'"s);
        QCOMPARE(SqlText("\0"s), "''"s);
        QCOMPARE(SqlText("O'\0Brien"s), "'O''Brien'"s);
        QVERIFY(BuildInsertStatement(ContactValues{"x\0y"s}).find('\0') == std::string::npos);
    }

    void contactWithZeroBytesIsSavedWithoutThem() {
        ContactValues values;
        values[0] = "Ann\0"s;
        values[1] = "\0Smith"s;
        values[2] = "Acme\0 Ltd"s;
        values[44] = "last\0"s;
        TSQLiteDatabase db(ContactDbPath());
        WriteContact(db, values, "");
        const std::string id =
            std::to_string(db.OpenResult("SELECT last_insert_rowid()")->IntegerAt(0));
        auto row = db.OpenResult(BuildSelectByIdStatement(id));
        QCOMPARE(row->TextOrEmptyAt(row->ColumnOf("dbCustFirstName")), "Ann"s);
        QCOMPARE(row->TextOrEmptyAt(row->ColumnOf("dbCustLastName")), "Smith"s);
        QCOMPARE(row->TextOrEmptyAt(row->ColumnOf("dbCustCompany")), "Acme Ltd"s);
        QCOMPARE(row->TextOrEmptyAt(row->ColumnOf("dbExtraNotes5")), "last"s);

        values[2] = "Acme\0\0 Inc"s;
        WriteContact(db, values, id);
        row = db.OpenResult(BuildSelectByIdStatement(id));
        QCOMPARE(row->TextOrEmptyAt(row->ColumnOf("dbCustCompany")), "Acme Inc"s);

        auto found = db.OpenResult(BuildSearchStatement(SearchKind::Company, "Ac\0me"s));
        QCOMPARE(found->RowCount(), 1u);
        QCOMPARE(found->TextOrEmptyAt(found->ColumnOf("dbCustomer_ID")), id);
    }
};

QTEST_GUILESS_MAIN(StatementsTest)
#include "test_statements.moc"

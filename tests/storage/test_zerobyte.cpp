// A zero character can reach a field by pasting. Statement texts end at their first zero byte, so
// such a value used to cut the statement inside its literal and the save failed; the zero byte
// is now left out and everything else of the contact is stored.
#include "ContactColumns.h"
#include "ContactStatements.h"
#include "ContactStore.h"
#include "SQLiteTable3.h"
#include "SqlLiteral.h"
#include "TestHome.h"
#include "unitBuildData.h"
#include "unitFilePath.h"

#include <QtTest>

using namespace std::string_literals;

class ZeroByteTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestHome> home;

private slots:
    void init() {
        home = std::make_unique<TestHome>();
        PrepareDataFiles();
    }
    void cleanup() { home.reset(); }

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

        auto found = db.OpenResult(BuildSearchStatement(1, "Ac\0me"s));
        QCOMPARE(found->RowCount(), 1u);
        QCOMPARE(found->TextOrEmptyAt(found->ColumnOf("dbCustomer_ID")), id);
    }
};

QTEST_APPLESS_MAIN(ZeroByteTest)
#include "test_zerobyte.moc"

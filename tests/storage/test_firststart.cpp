// First start: folders, the database file, its schema and the three sample contacts, and the
// rule that an existing file is never touched.
#include "model/ContactColumns.h"
#include "storage/BusyNotice.h"
#include "storage/SQLiteTable3.h"
#include "storage/unitAppInformation.h"
#include "storage/unitBuildData.h"
#include "storage/unitCreateDB.h"
#include "storage/unitFilePath.h"
#include "tests/common/RawDb.h"
#include "tests/common/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

namespace {
std::string Cell(TSQLiteTable& t, const char* column) {
    return t.TextOrEmptyAt(t.ColumnOf(column));
}

// Whether a column of a row is SQL NULL, asked of the engine directly.
bool IsNull(const QString& db, int id, const QString& column) {
    return RawDb(db).value(
               QString("SELECT %1 FROM Customers WHERE dbCustomer_ID=%2").arg(column).arg(id)) ==
           "<NULL>";
}

// The table as it must stand in every address book, written out in full.
const char* const kCustomersTable =
    "CREATE TABLE Customers(dbCustomer_ID INTEGER PRIMARY KEY,dbCustFirstName VARCHAR(18),dbC"
    "ustLastName VARCHAR(18),dbCustCompany VARCHAR(25),dbCustAddress VARCHAR(30),dbCustCtyStZ"
    "p VARCHAR(30),dbCustEmail VARCHAR(35),dbCustWebSite VARCHAR(35),dbCustPhone VARCHAR(14),"
    "dbCustFax VARCHAR(14),dbCustNotes VARCHAR(500),dbExtraName1 VARCHAR(36),dbExtraTitle1 VA"
    "RCHAR(14),dbExtraPhone1 VARCHAR(15),dbExtraPhoneExt1 VARCHAR(5),dbExtraFax1 VARCHAR(15),"
    "dbExtraEmail1 VARCHAR(35),dbExtraNotes1 VARCHAR(200),dbExtraName2 VARCHAR(36),dbExtraTit"
    "le2 VARCHAR(14),dbExtraPhone2 VARCHAR(15),dbExtraPhoneExt2 VARCHAR(5),dbExtraFax2 VARCHA"
    "R(15),dbExtraEmail2 VARCHAR(35),dbExtraNotes2 VARCHAR(200),dbExtraName3 VARCHAR(36),dbEx"
    "traTitle3 VARCHAR(14),dbExtraPhone3 VARCHAR(15),dbExtraPhoneExt3 VARCHAR(5),dbExtraFax3 "
    "VARCHAR(15),dbExtraEmail3 VARCHAR(35),dbExtraNotes3 VARCHAR(200),dbExtraName4 VARCHAR(36"
    "),dbExtraTitle4 VARCHAR(14),dbExtraPhone4 VARCHAR(15),dbExtraPhoneExt4 VARCHAR(5),dbExtr"
    "aFax4 VARCHAR(15),dbExtraEmail4 VARCHAR(35),dbExtraNotes4 VARCHAR(200),dbExtraName5 VARC"
    "HAR(36),dbExtraTitle5 VARCHAR(14),dbExtraPhone5 VARCHAR(15),dbExtraPhoneExt5 VARCHAR(5),"
    "dbExtraFax5 VARCHAR(15),dbExtraEmail5 VARCHAR(35),dbExtraNotes5 VARCHAR(200));";

class RecordingNotice : public IBusyNotice {
public:
    QStringList events;
    void Begin(const std::string& caption) override {
        events << "begin " + QString::fromStdString(caption);
    }
    void End() override { events << "end"; }
};
} // namespace

class FirstStartTest : public QObject {
    Q_OBJECT
private slots:
    void pathsFollowHome() {
        TestHome home;
        QCOMPARE(QString::fromStdString(BaseFolder()), home.path() + "/QuorvaSoftWare/");
        QCOMPARE(QString::fromStdString(DataFolder()), home.path() + "/QuorvaSoftWare/Vellicard2");
        QCOMPARE(QString::fromStdString(ContactDbPath()), home.dbPath());
        QCOMPARE(QString::fromStdString(AppFullTitle()), QString("Quorva Vellicard"));
        QCOMPARE(QString::fromStdString(AppMajorVersion() + AppMinorVersion()), QString("2.1"));
    }

    void firstStartBuildsSchemaAndSamples() {
        TestHome home;
        RecordingNotice notice;
        SetBusyNotice(&notice);
        PrepareDataFiles();
        SetBusyNotice(nullptr);
        QCOMPARE(notice.events, QStringList({"begin Building DataBase...", "end"}));
        QVERIFY(QFileInfo(home.dbPath()).isFile());
        QVERIFY(!QFile::exists(home.dbPath() + ".building"));

        TSQLiteDatabase db(home.dbPath().toStdString());
        auto schema = db.OpenResult("SELECT sql FROM sqlite_master WHERE name='Customers'");
        QCOMPARE(QString::fromStdString(schema->TextAt(0)) + ";", QString(kCustomersTable));

        auto rows = db.OpenResult("SELECT * FROM Customers");
        QCOMPARE(rows->RowCount(), 3u);
        QCOMPARE(rows->ColumnCount(), 46u);
        QCOMPARE(Cell(*rows, "dbCustomer_ID"), std::string("1"));
        QCOMPARE(Cell(*rows, "dbCustCompany"), std::string("Joes Bar and Grill"));
        QCOMPARE(Cell(*rows, "dbCustFirstName"), std::string(""));
        QCOMPARE(Cell(*rows, "dbExtraPhoneExt1"), std::string("123"));
        QCOMPARE(Cell(*rows, "dbExtraTitle3"), std::string("A/R"));
        QCOMPARE(Cell(*rows, "dbExtraFax4"), std::string("(225)123-6667"));
        QCOMPARE(Cell(*rows, "dbExtraEmail1"), Cell(*rows, "dbCustEmail"));
        QVERIFY(QString::fromStdString(Cell(*rows, "dbCustWebSite")).startsWith("https://"));
        rows->Advance();
        QCOMPARE(Cell(*rows, "dbCustomer_ID"), std::string("2"));
        const std::string first2 = Cell(*rows, "dbCustFirstName");
        QCOMPARE(Cell(*rows, "dbCustCtyStZp"), first2 + " City, " + first2 + " State 88888");
        QCOMPARE(Cell(*rows, "dbExtraTitle1"), std::string("Wife"));
        QCOMPARE(Cell(*rows, "dbExtraNotes2"), std::string("3 Years Old"));
        const std::string last2 = Cell(*rows, "dbCustLastName");
        rows->Advance();
        QCOMPARE(Cell(*rows, "dbCustomer_ID"), std::string("3"));
        QCOMPARE(Cell(*rows, "dbCustLastName"), last2);
        QCOMPARE(Cell(*rows, "dbCustCompany"), std::string("Janes Place"));
        rows->Advance();
        QVERIFY(rows->AtEnd());
    }

    // Row 2 leaves some columns NULL and sets others to empty text; both read as empty text.
    void row2NullVersusEmpty() {
        TestHome home;
        PrepareDataFiles();
        for (const char* column : {"dbCustWebSite", "dbCustNotes", "dbExtraEmail1", "dbExtraEmail2",
                                   "dbExtraName3", "dbExtraNotes5"})
            QVERIFY2(IsNull(home.dbPath(), 2, column), column);
        for (const char* column : {"dbCustCompany", "dbCustEmail", "dbExtraPhone1", "dbExtraFax2"})
            QVERIFY2(!IsNull(home.dbPath(), 2, column), column);
        QVERIFY(IsNull(home.dbPath(), 3, "dbExtraName1"));
        QVERIFY(!IsNull(home.dbPath(), 1, "dbExtraNotes5"));

        TSQLiteDatabase db(home.dbPath().toStdString());
        auto row = db.OpenResult("SELECT * FROM Customers WHERE dbCustomer_ID = 2");
        QCOMPARE(Cell(*row, "dbCustWebSite"), std::string());
        QCOMPARE(Cell(*row, "dbCustCompany"), std::string());
    }

    void existingFileIsNeverTouched() {
        TestHome home;
        QVERIFY(QDir().mkpath(home.dataFolder()));
        QFile f(home.dbPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close(); // a file of 0 bytes
        PrepareDataFiles();
        QCOMPARE(QFileInfo(home.dbPath()).size(), 0);
        TSQLiteDatabase db(home.dbPath().toStdString());
        try {
            db.OpenResult("SELECT * FROM Customers");
            QFAIL("a query on a file without the table must fail");
        } catch (const ESQLiteException& e) {
            QVERIFY(QString(e.what()).startsWith("Error executing SQL"));
        }
    }

    void onlyMissingFoldersAreMade() {
        TestHome home;
        QVERIFY(QDir().mkpath(home.path() + "/QuorvaSoftWare"));
        QFile marker(home.path() + "/QuorvaSoftWare/keep.txt");
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        PrepareDataFiles();
        QVERIFY(QFile::exists(home.path() + "/QuorvaSoftWare/keep.txt"));
        QVERIFY(QFile::exists(home.dbPath()));

        // Both folders there, file gone: rebuilt with rows numbered 1 to 3 again.
        QVERIFY(QFile::remove(home.dbPath()));
        PrepareDataFiles();
        TSQLiteDatabase db(home.dbPath().toStdString());
        auto ids = db.OpenResult("SELECT dbCustomer_ID FROM Customers");
        QStringList got;
        for (; !ids->AtEnd(); ids->Advance())
            got << QString::fromStdString(ids->TextAt(0));
        QCOMPARE(got, QStringList({"1", "2", "3"}));
    }

    // A base folder that cannot be created: the build fails opening the file, and leaves none.
    void unmakeableFolderFailsToOpen() {
        TestHome home;
        QFile blocker(home.path() + "/QuorvaSoftWare"); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        try {
            PrepareDataFiles();
            QFAIL("the build must fail");
        } catch (const ESQLiteException& e) {
            const QString message = e.what();
            QVERIFY2(message.startsWith("Failed to open database \"" + home.dbPath() + "\""),
                     qPrintable(message));
        }
    }

    // A build that fails half way leaves no file that a later start would take as complete.
    // Folders where the engine puts its journals make the first statement fail after the file
    // itself was opened, whichever name the build writes under.
    void failedBuildLeavesNothing() {
        TestHome home;
        for (const QString& journal :
             {home.dbPath() + "-journal", home.dbPath() + ".building-journal"})
            QVERIFY(QDir().mkpath(journal + "/x"));
        QVERIFY_THROWS_EXCEPTION(ESQLiteException, BuildContactDatabase());
        QVERIFY(!QFileInfo::exists(home.dbPath()));
        QVERIFY(!QFileInfo::exists(home.dbPath() + ".building"));
    }

    void failedRenameLeavesNoTemporaryFile() {
        TestHome home;
        QVERIFY(QDir().mkpath(home.dataFolder()));
        // The target name is taken by a non-empty folder: the final move fails.
        QVERIFY(QDir().mkpath(home.dbPath() + "/occupied"));
        QVERIFY_THROWS_EXCEPTION(ESQLiteException, BuildContactDatabase());
        QVERIFY(!QFile::exists(home.dbPath() + ".building"));
        QVERIFY(QFileInfo(home.dbPath()).isDir());
    }
};

QTEST_GUILESS_MAIN(FirstStartTest)
#include "test_firststart.moc"

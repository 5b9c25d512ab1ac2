// Connections, statements and the failure texts of the SQLite access layer, against real files.

#include "storage/SQLiteTable3.h"
#include "tests/common/RawDb.h"
#include "tests/storage/FailureOf.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

namespace {

std::uint32_t countRows(TSQLiteDatabase& db, const std::string& table) {
    auto result = db.OpenResult("SELECT COUNT(*) FROM " + table);
    return static_cast<std::uint32_t>(result->IntegerAt(0));
}

} // namespace

class TestSQLiteTable : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::string path(const char* name) const { return (dir_.path() + "/" + name).toStdString(); }

    // A database with table t(a INTEGER PRIMARY KEY, b TEXT) holding the given rows.
    std::string makeDb(const char* name, int rows) {
        const std::string file = path(name);
        RawDb raw(QString::fromStdString(file), 0, true);
        raw.mustExec("CREATE TABLE t(a INTEGER PRIMARY KEY, b TEXT)");
        for (int i = 1; i <= rows; ++i)
            raw.mustExec(QString("INSERT INTO t VALUES(%1, 'row %1')").arg(i));
        return file;
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    // Every connection and statement must be gone once a test's objects are: the engine's own
    // allocation counter drops back to zero only when no handle or statement is left behind.
    void cleanup() { QCOMPARE(sqlite3_memory_used(), sqlite3_int64(0)); }

    void openCreatesMissingFileAndSetsPragmas() {
        const std::string file = path("new.db");
        QVERIFY(!QFile::exists(QString::fromStdString(file)));
        TSQLiteDatabase db(file);
        QVERIFY(QFile::exists(QString::fromStdString(file)));

        auto sync = db.OpenResult("PRAGMA synchronous");
        QCOMPARE(sync->TextAt(0), std::string("1")); // NORMAL
        auto temp = db.OpenResult("PRAGMA temp_store");
        QCOMPARE(temp->TextAt(0), std::string("2")); // MEMORY

        QCOMPARE(failureOf([&] { db.OpenResult("SELECT * FROM Customers"); }),
                 std::string("Error executing SQL \"SELECT * FROM Customers\" : "
                             "no such table: Customers"));
    }

    void openWhereNoFileMayBeMadeFails_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("existingOnly");
        QTest::newRow("missing folder") << "no/such/folder/x.db" << false;
        QTest::newRow("missing file, existing only") << "gone.db" << true;
    }
    void openWhereNoFileMayBeMadeFails() {
        QFETCH(QString, name);
        QFETCH(bool, existingOnly);
        const std::string file = path(qPrintable(name));
        const OpenMode mode = existingOnly ? OpenMode::ExistingOnly : OpenMode::CreateIfMissing;
        QCOMPARE(failureOf([&] { TSQLiteDatabase db(file, mode); }),
                 "Failed to open database \"" + file + "\" : unable to open database file");
        QVERIFY(!QFile::exists(QString::fromStdString(file)));
    }

    void zeroByteFileIsAnEmptyDatabase() {
        const std::string file = path("zero.db");
        {
            QFile f(QString::fromStdString(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        TSQLiteDatabase db(file);
        db.RunStatement("CREATE TABLE t(a)");
        db.RunStatement("INSERT INTO t VALUES(5)");
        QCOMPARE(countRows(db, "t"), 1u);
    }

    void garbageFileFailsAtTheFirstPragma() {
        const std::string file = path("garbage.db");
        {
            QFile f(QString::fromStdString(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
            for (int i = 0; i < 300; ++i)
                f.write("this is not a database at all ");
        }
        QCOMPARE(failureOf([&] { TSQLiteDatabase db(file); }),
                 std::string("Error executing SQL \"PRAGMA SYNCHRONOUS=NORMAL;\" : "
                             "file is not a database"));
        // cleanup() proves the half-opened handle was closed.
    }

    void fileWithoutTheTable() {
        const std::string file = makeDb("other.db", 1);
        TSQLiteDatabase db(file);
        QCOMPARE(failureOf([&] { db.OpenResult("SELECT * FROM Customers WHERE x = 1"); }),
                 std::string("Error executing SQL \"SELECT * FROM Customers WHERE x = 1\" : "
                             "no such table: Customers"));
        QCOMPARE(failureOf([&] { db.RunStatement("DELETE FROM Customers"); }),
                 std::string("Error executing SQL \"DELETE FROM Customers\" : "
                             "no such table: Customers"));
        QCOMPARE(countRows(db, "t"), 1u); // the connection is still usable
    }

    void runStatementFailureTexts() {
        TSQLiteDatabase db(makeDb("run.db", 2));
        QCOMPARE(failureOf([&] { db.RunStatement(""); }),
                 std::string("Could not prepare SQL statement \"\" : No message"));
        QCOMPARE(failureOf([&] { db.RunStatement("   -- only a comment\n"); }),
                 std::string("Could not prepare SQL statement \"   -- only a comment\n\" : "
                             "No message"));

        const std::string select = failureOf([&] { db.RunStatement("SELECT * FROM t"); });
        QVERIFY2(select.rfind("Error executing SQL statement \"SELECT * FROM t\" : ", 0) == 0,
                 select.c_str());

        QCOMPARE(failureOf([&] { db.RunStatement("INSERT INTO t VALUES(1, 'dup')"); }),
                 std::string("Error executing SQL statement \"INSERT INTO t VALUES(1, 'dup')\" : "
                             "UNIQUE constraint failed: t.a"));

        // Percent signs in the statement and in the engine's message come out untouched.
        QCOMPARE(failureOf([&] { db.RunStatement("SELEKT '%s %d %%'"); }),
                 std::string("Error executing SQL \"SELEKT '%s %d %%'\" : "
                             "near \"SELEKT\": syntax error"));
        QCOMPARE(failureOf([&] { db.RunStatement("DELETE FROM \"%s%n\""); }),
                 std::string("Error executing SQL \"DELETE FROM \"%s%n\"\" : "
                             "no such table: %s%n"));

        // After all of that the connection still works.
        db.RunStatement("INSERT INTO t VALUES(3, 'three')");
        QCOMPARE(countRows(db, "t"), 3u);
    }

    void onlyTheFirstStatementRuns() {
        TSQLiteDatabase db(makeDb("two.db", 0));
        db.RunStatement("INSERT INTO t VALUES(1, 'a'); INSERT INTO t VALUES(2, 'b');");
        QCOMPARE(countRows(db, "t"), 1u);

        auto result = db.OpenResult("SELECT b FROM t; DROP TABLE t;");
        QCOMPARE(result->RowCount(), 1u);
        QCOMPARE(countRows(db, "t"), 1u); // t is still there
    }

    void openResultWithAnInsertRunsItOnce() {
        TSQLiteDatabase db(makeDb("ins.db", 0));
        auto result = db.OpenResult("INSERT INTO t VALUES(7, 'seven')");
        QVERIFY(result);
        QVERIFY(result->AtEnd());
        QCOMPARE(result->RowCount(), 0u);
        QCOMPARE(result->ColumnCount(), 0u);
        QCOMPARE(countRows(db, "t"), 1u);
    }

    void openResultFailureTexts() {
        TSQLiteDatabase db(makeDb("open.db", 0));
        QCOMPARE(failureOf([&] { db.OpenResult(""); }),
                 std::string("Could not prepare SQL statement \"\" : No message"));
        QCOMPARE(failureOf([&] { db.OpenResult("SELECT nope FROM t"); }),
                 std::string("Error executing SQL \"SELECT nope FROM t\" : no such column: nope"));

        // A failure after some rows were copied: the rows go, no table comes back.
        db.RunStatement("CREATE TABLE n(v INTEGER)");
        db.RunStatement("INSERT INTO n VALUES(1)");
        db.RunStatement("INSERT INTO n VALUES(2)");
        db.RunStatement("INSERT INTO n VALUES(-9223372036854775807 - 1)");
        std::unique_ptr<TSQLiteTable> result;
        QCOMPARE(failureOf([&] { result = db.OpenResult("SELECT abs(v) FROM n ORDER BY rowid"); }),
                 std::string("Could not retrieve data \"SELECT abs(v) FROM n ORDER BY rowid\" : "
                             "integer overflow"));
        QVERIFY(!result);
        QCOMPARE(countRows(db, "n"), 3u);
    }

    void writeLockHeldElsewhere() {
        const std::string file = makeDb("locked.db", 2);
        // Connections that give up at once, so that each failure text shows without a wait.
        TSQLiteDatabase db(file, OpenMode::ExistingOnly, 0);
        RawDb other(QString::fromStdString(file));

        // A reserved lock lets readers in but keeps writers out.
        other.mustExec("BEGIN IMMEDIATE");
        QCOMPARE(db.OpenResult("SELECT * FROM t")->RowCount(), 2u);
        QCOMPARE(failureOf([&] { db.RunStatement("INSERT INTO t VALUES(9, 'x')"); }),
                 std::string("Error executing SQL statement \"INSERT INTO t VALUES(9, 'x')\" : "
                             "database is locked"));
        QCOMPARE(failureOf([&] { db.OpenResult("INSERT INTO t VALUES(9, 'x')"); }),
                 std::string("Could not prepare SQL statement \"INSERT INTO t VALUES(9, 'x')\" : "
                             "SQLite is Busy"));
        other.mustExec("ROLLBACK");

        // An exclusive lock keeps readers out too.
        other.mustExec("BEGIN EXCLUSIVE");
        QCOMPARE(failureOf([&] { db.OpenResult("SELECT * FROM t"); }),
                 std::string("Could not prepare SQL statement \"SELECT * FROM t\" : "
                             "SQLite is Busy"));
        QCOMPARE(failureOf([&] { db.RunStatement("UPDATE t SET b = 'y'"); }),
                 std::string("Error executing SQL statement \"UPDATE t SET b = 'y'\" : "
                             "database is locked"));
        // A fresh connection cannot even read the schema for its first pragma, and leaves
        // nothing open behind it.
        QCOMPARE(failureOf([&] { TSQLiteDatabase fresh(file, OpenMode::ExistingOnly, 0); }),
                 std::string("Error executing SQL \"PRAGMA SYNCHRONOUS=NORMAL;\" : "
                             "database is locked"));
        other.mustExec("ROLLBACK");

        // Once the lock is gone the same connection carries on.
        db.RunStatement("INSERT INTO t VALUES(9, 'x')");
        QCOMPARE(countRows(db, "t"), 3u);
    }

    // A lock another program holds for as long as a save takes is waited for, by a fresh
    // connection and by its statements alike.
    void briefLockElsewhereIsWaitedFor() {
        const std::string file = makeDb("brief.db", 1);
        for (const bool fresh : {true, false}) {
            std::unique_ptr<TSQLiteDatabase> db;
            if (!fresh)
                db = std::make_unique<TSQLiteDatabase>(file);
            std::promise<void> locked;
            std::thread holder([&] {
                RawDb other(QString::fromStdString(file));
                other.mustExec("BEGIN EXCLUSIVE");
                locked.set_value();
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                other.mustExec("ROLLBACK");
            });
            locked.get_future().wait();
            QCOMPARE(failureOf([&] {
                         if (fresh)
                             db = std::make_unique<TSQLiteDatabase>(file);
                         db->RunStatement("INSERT INTO t(b) VALUES('waited')");
                     }),
                     std::string("<nothing raised>"));
            holder.join();
        }
        TSQLiteDatabase db(file);
        QCOMPARE(countRows(db, "t"), 3u);
    }

    void tableOutlivesItsConnection() {
        std::unique_ptr<TSQLiteTable> result;
        {
            TSQLiteDatabase db(makeDb("outlive.db", 3));
            result = db.OpenResult("SELECT a, b FROM t ORDER BY a");
        }
        QCOMPARE(sqlite3_memory_used(), sqlite3_int64(0)); // the table holds no engine memory
        QCOMPARE(result->RowCount(), 3u);
        QVERIFY(result->Advance());
        QCOMPARE(result->TextAt(1), std::string("row 2"));
    }

    void textCrossesTheBoundaryByteForByte() {
        const std::string name = path("caf\xe9-\xa4.db"); // not valid UTF-8 on purpose
        TSQLiteDatabase db(name);
        QVERIFY(std::filesystem::exists(std::filesystem::path(name)));
        db.RunStatement("CREATE TABLE t(b TEXT)");
        db.RunStatement("INSERT INTO t VALUES('caf\xe9 \x80\xff')");
        auto result = db.OpenResult("SELECT b FROM t WHERE b = 'caf\xe9 \x80\xff'");
        QCOMPARE(result->RowCount(), 1u);
        QCOMPARE(result->TextAt(0), std::string("caf\xe9 \x80\xff"));
    }
};

QTEST_GUILESS_MAIN(TestSQLiteTable)
#include "test_sqlitetable.moc"

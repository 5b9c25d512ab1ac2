// The access layer when the engine runs out of memory. The engine's allocator is replaced by one
// that fails on request, which also reaches the open that returns no handle at all.

#include "storage/SQLiteTable3.h"
#include "tests/storage/FailureOf.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <string>

namespace {

sqlite3_mem_methods engineDefault;
bool failEverything = false;
int failCountdown = 0; // the allocation that fails: 1 = the next one, 0 = none
int failuresInjected = 0;

bool shouldFail() {
    if (failEverything || (failCountdown > 0 && --failCountdown == 0)) {
        ++failuresInjected;
        return true;
    }
    return false;
}

void* failingMalloc(int size) {
    return shouldFail() ? nullptr : engineDefault.xMalloc(size);
}
void* failingRealloc(void* p, int size) {
    return shouldFail() ? nullptr : engineDefault.xRealloc(p, size);
}

} // namespace

class TestSQLiteTableNoMemory : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        // Must happen before anything initializes the engine.
        QCOMPARE(sqlite3_config(SQLITE_CONFIG_GETMALLOC, &engineDefault), SQLITE_OK);
        sqlite3_mem_methods failing = engineDefault;
        failing.xMalloc = failingMalloc;
        failing.xRealloc = failingRealloc;
        QCOMPARE(sqlite3_config(SQLITE_CONFIG_MALLOC, &failing), SQLITE_OK);
        // Where the engine build keeps per-connection preallocated slots, switch them off so that
        // every small allocation, such as the text of a converted number, can fail too.
        QCOMPARE(sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 0, 0), SQLITE_OK);
        QCOMPARE(sqlite3_initialize(), SQLITE_OK);
    }

    void cleanup() {
        failEverything = false;
        failCountdown = 0;
        QCOMPARE(sqlite3_memory_used(), sqlite3_int64(0));
    }

    void openWithoutAHandle() {
        const std::string file = (dir_.path() + "/none.db").toStdString();
        failuresInjected = 0;
        failEverything = true;
        const std::string message = failureOf([&] { TSQLiteDatabase db(file); });
        failEverything = false;
        QVERIFY(failuresInjected > 0);
        QCOMPARE(message, "Failed to open database \"" + file + "\" : unknown error");
    }

    // Fails the first, second, third ... engine allocation of a whole open-query-write cycle in
    // turn. Each run must either raise ESQLiteException or give exactly the right values, and
    // must leave no engine memory behind, until a run needs no failure at all.
    void everyAllocationFailureIsReportedAndReleased() {
        const std::string file = (dir_.path() + "/sweep.db").toStdString();
        {
            TSQLiteDatabase db(file);
            db.RunStatement("CREATE TABLE t(k INTEGER PRIMARY KEY, s VARCHAR(20), r REAL, b BLOB)");
            db.RunStatement("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                            "WHERE i < 40) INSERT INTO t SELECT i, 'text ' || i, i * 0.5, "
                            "randomblob(i) FROM n");
        }
        QCOMPARE(sqlite3_memory_used(), sqlite3_int64(0));

        int raised = 0;
        int survived = 0;
        bool finished = false;
        for (int n = 1; n <= 20000 && !finished; ++n) {
            failuresInjected = 0;
            failCountdown = n;
            try {
                TSQLiteDatabase db(file);
                // Numbers under a text column make the engine convert them with memory of its own.
                auto t = db.OpenResult("SELECT k, s, r, b, CASE WHEN k = 1 THEN '1' ELSE k END "
                                       "AS kt FROM t ORDER BY k");
                db.RunStatement("UPDATE t SET s = s WHERE k = 1");
                QCOMPARE(t->RowCount(), 40u);
                const std::size_t s = t->ColumnOf("S");
                const std::size_t kt = t->ColumnOf("kt");
                for (int i = 1; !t->AtEnd(); ++i, t->Advance()) {
                    QCOMPARE(t->IntegerAt(0), std::int64_t(i));
                    QCOMPARE(t->TextAt(s), "text " + std::to_string(i));
                    QCOMPARE(t->RealAt(2), i * 0.5);
                    QCOMPARE(t->StreamTextAt(3).size(), std::size_t(i));
                    QCOMPARE(t->TextAt(kt), std::to_string(i));
                }
                if (failuresInjected == 0)
                    finished = true;
                else
                    ++survived;
            } catch (const ESQLiteException&) {
                QVERIFY(failuresInjected > 0);
                ++raised;
            }
            failCountdown = 0;
            QCOMPARE(sqlite3_memory_used(), sqlite3_int64(0));
        }
        QVERIFY(finished);
        QVERIFY(raised > 0);
        qInfo("%d runs raised, %d recovered inside the engine", raised, survived);
    }
};

QTEST_GUILESS_MAIN(TestSQLiteTableNoMemory)
#include "test_sqlitetable_nomem.moc"

// AppendTextOrEmptyAt, the bulk reader the contact list fills itself with, must append exactly
// what TextOrEmptyAt returns, for every kind of column and every kind of value.

#include "SQLiteTable3.h"

#include <QTemporaryDir>
#include <QtTest>

#include <string>

class TestSQLiteTableAppend : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void appendsWhatTextOrEmptyAtReturns() {
        TSQLiteDatabase db((dir_.path() + "/a.db").toStdString());
        // Integer, text, real, blob, a text column holding numbers, and an untyped column whose
        // first value is NULL (kind 5, which reads empty in every row).
        db.RunStatement("CREATE TABLE t(k INTEGER PRIMARY KEY, s VARCHAR(30), r REAL, b BLOB, "
                        "n VARCHAR(5), u, i INTEGER)");
        db.RunStatement("INSERT INTO t VALUES(-7, 'Smith', 2.5, x'41420043', 12, NULL, NULL)");
        db.RunStatement("INSERT INTO t VALUES(2, '', NULL, x'', NULL, 'x', 9223372036854775807)");
        db.RunStatement("INSERT INTO t VALUES(3, NULL, -1e300, NULL, 'a' || char(0) || 'b', 5, "
                        "-9223372036854775808)");
        db.RunStatement("INSERT INTO t VALUES(4, 'a much longer text than a short string holds', "
                        "0.1, x'00', 'xyz', NULL, 0)");
        auto t = db.OpenResult("SELECT * FROM t ORDER BY rowid");
        int rows = 0;
        for (; !t->AtEnd(); t->Advance(), ++rows) {
            for (std::size_t c = 0; c < t->ColumnCount(); ++c) {
                std::string out = "prefix|";
                t->AppendTextOrEmptyAt(c, out);
                QCOMPARE(out, "prefix|" + t->TextOrEmptyAt(c));
            }
        }
        QCOMPARE(rows, 4);
        // Spot checks that the comparison above is not between two equally wrong readers.
        auto first = db.OpenResult("SELECT k, s, n, b FROM t WHERE k = -7");
        std::string out;
        first->AppendTextOrEmptyAt(0, out);
        first->AppendTextOrEmptyAt(1, out);
        first->AppendTextOrEmptyAt(2, out);
        first->AppendTextOrEmptyAt(3, out);
        QCOMPARE(out, std::string("-7Smith12AB\0C", 13));
    }

    void refusesAtTheEndAndOutOfRange() {
        TSQLiteDatabase db((dir_.path() + "/b.db").toStdString());
        auto t = db.OpenResult("SELECT 'only'");
        std::string out = "kept";
        QVERIFY_THROWS_EXCEPTION(ESQLiteException, t->AppendTextOrEmptyAt(1, out));
        t->Advance();
        try {
            t->AppendTextOrEmptyAt(0, out);
            QFAIL("nothing raised at the end");
        } catch (const ESQLiteException& e) {
            QCOMPARE(std::string(e.what()), std::string("Table is at End of File"));
        }
        QCOMPARE(out, std::string("kept"));
    }
};

QTEST_GUILESS_MAIN(TestSQLiteTableAppend)
#include "test_sqlitetable_append.moc"

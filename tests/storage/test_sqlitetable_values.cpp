// How a copied query result reads back: column kinds, conversions, empty cells, blobs, float text,
// the cursor and column lookup.

#include "storage/SQLiteTable3.h"
#include "tests/storage/FailureOf.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <clocale>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

const std::string kEof = "Table is at End of File";
const std::string kNotNumeric = "Not an integer or numeric field";
const std::string kNotBlob = "Not a Blob field";

// The kind each column of the current row reads as. Every cell must hold a value, and a value in
// a real column must have a fraction or too many digits for 15, or it reads like an integer.
std::vector<int> kindCodes(const TSQLiteTable& t) {
    const auto raises = [](auto read) { return failureOf(read) != "<nothing raised>"; };
    std::vector<int> codes;
    for (std::size_t c = 0; c < t.ColumnCount(); ++c) {
        ColumnKind kind;
        if (!raises([&] { t.StreamAt(c); }))
            kind = ColumnKind::Blob;
        else if (raises([&] { t.RealAt(c); }))
            // A text column hands its text back; one of kind 5 reads empty whatever it holds.
            kind = t.TextAt(c).empty() ? ColumnKind::Null : ColumnKind::Text;
        else
            kind = t.TextAt(c) == std::to_string(t.IntegerAt(c)) ? ColumnKind::Integer
                                                                 : ColumnKind::Real;
        codes.push_back(static_cast<int>(kind));
    }
    return codes;
}

} // namespace

class TestSQLiteTableValues : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::unique_ptr<TSQLiteDatabase> db_;

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }
    void init() { db_ = std::make_unique<TSQLiteDatabase>((dir_.path() + "/v.db").toStdString()); }
    void cleanup() {
        db_->RunStatement("DROP TABLE IF EXISTS t");
        db_.reset();
        QCOMPARE(sqlite3_memory_used(), sqlite3_int64(0));
    }

    void kindsFollowTheExactDeclaredType() {
        db_->RunStatement("CREATE TABLE t(dbCustomer_ID INTEGER PRIMARY KEY, b BOOLEAN, n NUMERIC, "
                          "f FLOAT, d DOUBLE, r REAL, bl BLOB, i INT, bi BIGINT, vc VARCHAR(18), "
                          "dp DOUBLE PRECISION, r10 REAL(10), tx TEXT, u, lb boolean, ln Numeric, "
                          "lf float, ld double, li integer)");
        db_->RunStatement("INSERT INTO t VALUES(1, 1, 2, 3, 4, 5, x'01', 7, 8, 9, 10, 11, 'x', "
                          "2.5, 1, 2, 3, 4, 6)");
        // A row whose values read differently in each kind of column.
        db_->RunStatement("INSERT INTO t VALUES(1234567890123456789, 2.5, 2.5, 2.5, 2.5, 2.5, "
                          "2.5, 2.5, 2.5, 2.5, 2.5, 2.5, 2.5, 2.5, 2.5, 2.5, 2.5, 2.5, 2.5)");
        auto t = db_->OpenResult("SELECT * FROM t");
        QCOMPARE(t->ColumnCount(), 19u);
        QCOMPARE(t->ColumnOf("dbcustomer_id"), std::size_t(0));
        QCOMPARE(t->ColumnOf("lb"), std::size_t(14));
        QCOMPARE(t->ColumnOf("Vc"), std::size_t(9));

        // Numbers in columns of text kind come back as their decimal text.
        QCOMPARE(t->TextAt(7), std::string("7"));
        // DOUBLE PRECISION has real affinity: the engine stored 10.0 and renders it itself.
        QCOMPARE(t->TextAt(10), std::string("10.0"));
        QCOMPARE(t->TextAt(14), std::string("1"));
        QCOMPARE(failureOf([&] { t->IntegerAt(7); }), kNotNumeric);
        QCOMPARE(failureOf([&] { t->RealAt(14); }), kNotNumeric);
        QCOMPARE(failureOf([&] { t->StreamAt(9); }), kNotBlob);
        QCOMPARE(t->IntegerAt(18), std::int64_t(6));

        QVERIFY(t->Advance());
        // The comparison is exact: lower- or mixed-case spellings are text. (The engine itself
        // reports its standard type names such as "integer" in upper case, so li is an
        // INTEGER column whatever case it was declared in.)
        QCOMPARE(kindCodes(*t),
                 (std::vector<int>{1, 1, 2, 2, 2, 2, 4, 3, 3, 3, 3, 3, 3, 2, 3, 3, 3, 3, 1}));
    }

    void untypedColumnsTakeTheFirstRowsStorageClass() {
        // The first row decides; the second shows how each column reads.
        auto t = db_->OpenResult("SELECT 1, 2.5, 'x', x'00', NULL UNION ALL "
                                 "SELECT 1234567890123456789, 0.5, 'y', x'01', 'z'");
        QCOMPARE(t->ColumnOf("1"), std::size_t(0));
        QCOMPARE(t->ColumnOf("2.5"), std::size_t(1));
        QCOMPARE(t->ColumnOf("'x'"), std::size_t(2));
        QCOMPARE(t->ColumnOf("x'00'"), std::size_t(3));
        QCOMPARE(t->ColumnOf("null"), std::size_t(4));
        QVERIFY(t->Advance());
        QCOMPARE(kindCodes(*t), (std::vector<int>{1, 2, 3, 4, 5}));
    }

    void nullFirstRowMakesAColumnThatReadsEmpty() {
        db_->RunStatement("CREATE TABLE t(k INTEGER, u)");
        db_->RunStatement("INSERT INTO t VALUES(1, NULL)");
        db_->RunStatement("INSERT INTO t VALUES(2, 'text')");
        db_->RunStatement("INSERT INTO t VALUES(3, 42)");
        auto t = db_->OpenResult("SELECT k, u FROM t ORDER BY k");
        int rows = 0;
        for (; !t->AtEnd(); t->Advance(), ++rows) {
            QCOMPARE(t->TextAt(1), std::string());
            QCOMPARE(t->TextOrEmptyAt(1), std::string());
        }
        QCOMPARE(rows, 3);

        // The values are held, so the numeric and blob accessors refuse them; the NULL row is
        // an empty cell and gives the neutral values instead.
        t = db_->OpenResult("SELECT k, u FROM t ORDER BY k");
        QCOMPARE(t->IntegerAt(1), std::int64_t(0));
        QVERIFY(t->StreamAt(1) == nullptr);
        t->Advance();
        QCOMPARE(failureOf([&] { t->IntegerAt(1); }), kNotNumeric);
        QCOMPARE(failureOf([&] { t->StreamAt(1); }), kNotBlob);
    }

    void emptyCells() {
        db_->RunStatement("CREATE TABLE t(i INTEGER, r REAL, s TEXT, b BLOB)");
        db_->RunStatement("INSERT INTO t VALUES(NULL, NULL, NULL, NULL)");
        auto t = db_->OpenResult("SELECT * FROM t");
        // By kind for TextAt, always empty for TextOrEmptyAt.
        QCOMPARE(t->TextAt(0), std::string("0"));
        QCOMPARE(t->TextAt(1), std::string("0"));
        QCOMPARE(t->TextAt(2), std::string());
        QCOMPARE(t->TextAt(3), std::string());
        for (std::size_t c = 0; c < 4; ++c) {
            QCOMPARE(t->TextOrEmptyAt(c), std::string());
            // Emptiness is tested before the kind: no kind error for any column.
            QCOMPARE(t->IntegerAt(c), std::int64_t(0));
            QCOMPARE(t->RealAt(c), 0.0);
            QVERIFY(t->StreamAt(c) == nullptr);
            QCOMPARE(t->StreamTextAt(c), std::string());
        }
    }

    void numericConversions() {
        db_->RunStatement("CREATE TABLE t(k INTEGER PRIMARY KEY, i INTEGER, n NUMERIC, r REAL, "
                          "flag BOOLEAN)");
        db_->RunStatement("INSERT INTO t VALUES(1, 9223372036854775807, 3, 2.75, 1)");
        db_->RunStatement("INSERT INTO t VALUES(2, -9223372036854775807 - 1, -2.75, -0.5, 0)");
        db_->RunStatement("INSERT INTO t VALUES(3, 'abc', '12.5', '7', 'yes')");
        db_->RunStatement("INSERT INTO t VALUES(4, 3.9, 1e300, -9223372036854775808.0, 2)");
        auto t = db_->OpenResult("SELECT i, n, r, flag FROM t ORDER BY k");

        QCOMPARE(t->TextAt(0), std::string("9223372036854775807"));
        QCOMPARE(t->IntegerAt(0), std::numeric_limits<std::int64_t>::max());
        QCOMPARE(t->RealAt(0), 9223372036854775807.0);
        QCOMPARE(t->TextAt(1), std::string("3"));
        QCOMPARE(t->IntegerAt(1), std::int64_t(3));
        QCOMPARE(t->IntegerAt(2), std::int64_t(2)); // truncated
        QCOMPARE(t->TextAt(2), std::string("2.75"));
        QCOMPARE(t->TextAt(3), std::string("1"));

        QVERIFY(t->Advance());
        QCOMPARE(kindCodes(*t), (std::vector<int>{1, 2, 2, 1}));
        QCOMPARE(t->TextAt(0), std::string("-9223372036854775808"));
        QCOMPARE(t->IntegerAt(1), std::int64_t(-2)); // toward zero
        QCOMPARE(t->TextAt(2), std::string("-0.5"));
        QCOMPARE(t->IntegerAt(2), std::int64_t(0));
        QCOMPARE(t->TextOrEmptyAt(3), std::string("0"));

        // Stored text read through the engine's own conversions.
        QVERIFY(t->Advance());
        QCOMPARE(t->IntegerAt(0), std::int64_t(0));
        QCOMPARE(t->TextAt(0), std::string("0"));
        QCOMPARE(t->RealAt(1), 12.5);
        QCOMPARE(t->RealAt(2), 7.0);
        QCOMPARE(t->TextAt(3), std::string("0"));

        QVERIFY(t->Advance());
        QCOMPARE(t->IntegerAt(0), std::int64_t(3)); // a real in an INTEGER column
        QCOMPARE(t->TextAt(1), std::string("1e+300"));
        QCOMPARE(failureOf([&] { t->IntegerAt(1); }),
                 std::string("Real value 1e+300 is outside the 64-bit integer range"));
        QCOMPARE(t->IntegerAt(2), std::numeric_limits<std::int64_t>::min());
        QCOMPARE(t->TextAt(3), std::string("2"));
    }

    void floatText_data() {
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("expected");
        QTest::newRow("tenth") << "0.1"
                               << "0.1";
        QTest::newRow("third") << "1.0/3"
                               << "0.333333333333333";
        QTest::newRow("whole") << "100.0"
                               << "100";
        QTest::newRow("negative") << "-2.5"
                                  << "-2.5";
        QTest::newRow("zero") << "0.0"
                              << "0";
        QTest::newRow("rounded") << "123456789.123456789"
                                 << "123456789.123457";
        QTest::newRow("fifteen digits") << "999999999999999.0"
                                        << "999999999999999";
        QTest::newRow("large") << "1e20"
                               << "1e+20";
        QTest::newRow("large digits") << "123456789012345678.0"
                                      << "1.23456789012346e+17";
        QTest::newRow("small") << "0.00001"
                               << "1e-05";
        QTest::newRow("small digits") << "-0.000123456"
                                      << "-0.000123456";
        QTest::newRow("infinite") << "9e999"
                                  << "inf";
    }

    void floatText() {
        QFETCH(QString, literal);
        QFETCH(QString, expected);
        auto t = db_->OpenResult("SELECT CAST(" + literal.toStdString() + " AS REAL)");
        QCOMPARE(QString::fromStdString(t->TextAt(0)), expected);
    }

    void floatTextUsesTheLocaleSeparator() {
        // Build a locale with a decimal comma privately, so the test needs no system locales.
        QTemporaryDir locales;
        const QString target = locales.path() + "/de_DE.UTF-8";
        // std::system rather than QProcess: it keeps the run clean under valgrind.
        const std::string command =
            "localedef -i de_DE -f UTF-8 '" + target.toStdString() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0 || !QFile::exists(target))
            QSKIP("localedef could not build a de_DE locale here");
        const QByteArray oldLocpath = qgetenv("LOCPATH");
        qputenv("LOCPATH", locales.path().toLocal8Bit());
        const std::string oldNumeric = std::setlocale(LC_NUMERIC, nullptr);
        const bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
        std::string text;
        std::string large;
        if (switched) {
            auto t = db_->OpenResult("SELECT 2.5, 1.5e-7, 42.0");
            text = t->TextAt(0);
            large = t->TextAt(1) + " " + t->TextAt(2);
        }
        std::setlocale(LC_NUMERIC, oldNumeric.c_str());
        qputenv("LOCPATH", oldLocpath);
        if (!switched)
            QSKIP("the de_DE locale could not be selected");
        QCOMPARE(text, std::string("2,5"));
        QCOMPARE(large, std::string("1,5e-07 42"));
    }

    void blobs() {
        db_->RunStatement("CREATE TABLE t(k INTEGER, b BLOB, s TEXT)");
        db_->RunStatement("INSERT INTO t VALUES(1, x'61006200', CAST(x'610062' AS TEXT))");
        db_->RunStatement("INSERT INTO t VALUES(2, x'', '')");
        db_->RunStatement("INSERT INTO t VALUES(3, 'plain', 'p')");
        auto t = db_->OpenResult("SELECT b, s FROM t ORDER BY k");

        const std::string* stream = t->StreamAt(0);
        QVERIFY(stream != nullptr);
        QCOMPARE(*stream, std::string("a\0b\0", 4));
        QCOMPARE(t->StreamAt(0), stream); // the table's own stream, not a copy
        QCOMPARE(t->StreamTextAt(0), std::string("a\0b\0", 4));
        QCOMPARE(t->TextAt(0), std::string("a\0b\0", 4));
        QCOMPARE(failureOf([&] { t->IntegerAt(0); }), kNotNumeric);
        QCOMPARE(failureOf([&] { t->RealAt(0); }), kNotNumeric);
        // Text is copied up to its first zero byte.
        QCOMPARE(t->TextAt(1), std::string("a"));
        QCOMPARE(failureOf([&] { t->StreamTextAt(1); }), kNotBlob);

        QVERIFY(t->Advance()); // a zero-byte blob is an empty cell
        QVERIFY(t->StreamAt(0) == nullptr);
        QCOMPARE(t->StreamTextAt(0), std::string());
        QCOMPARE(t->TextOrEmptyAt(0), std::string());
        QCOMPARE(t->TextAt(1), std::string()); // empty text is a value, not an empty cell
        QCOMPARE(failureOf([&] { t->StreamAt(1); }), kNotBlob);

        QVERIFY(t->Advance()); // text stored in a BLOB column comes back as its bytes
        QCOMPARE(t->StreamTextAt(0), std::string("plain"));
    }

    void cursorWalksForwardOnly() {
        db_->RunStatement("CREATE TABLE t(k INTEGER)");
        for (int i = 1; i <= 3; ++i)
            db_->RunStatement("INSERT INTO t VALUES(" + std::to_string(i * 10) + ")");
        auto t = db_->OpenResult("SELECT k FROM t ORDER BY k");
        QCOMPARE(t->RowCount(), 3u);
        QVERIFY(!t->AtEnd());
        QCOMPARE(t->IntegerAt(0), std::int64_t(10));
        QVERIFY(t->Advance());
        QCOMPARE(t->IntegerAt(0), std::int64_t(20));
        QVERIFY(t->Advance());
        QCOMPARE(t->IntegerAt(0), std::int64_t(30));
        QVERIFY(t->Advance()); // from the last row: true, and now at the end
        QVERIFY(t->AtEnd());
        QVERIFY(!t->Advance());
        QVERIFY(t->AtEnd());
        QCOMPARE(failureOf([&] { t->TextAt(0); }), kEof);
        QCOMPARE(failureOf([&] { t->StreamAt(0); }), kEof);
        QCOMPARE(t->ColumnOf("K"), std::size_t(0)); // lookup still works at the end
    }

    void emptyResult() {
        db_->RunStatement("CREATE TABLE t(k INTEGER, name TEXT)");
        auto t = db_->OpenResult("SELECT k, name FROM t");
        QVERIFY(t->AtEnd());
        QVERIFY(!t->Advance());
        QVERIFY(t->AtEnd());
        QCOMPARE(t->RowCount(), 0u);
        QCOMPARE(t->ColumnCount(), 0u);
        QCOMPARE(failureOf([&] { t->TextAt(0); }), kEof);
        QCOMPARE(failureOf([&] { t->TextOrEmptyAt(0); }), kEof);
        QCOMPARE(failureOf([&] { t->IntegerAt(0); }), kEof);
        QCOMPARE(failureOf([&] { t->RealAt(0); }), kEof);
        QCOMPARE(failureOf([&] { t->StreamAt(0); }), kEof);
        QCOMPARE(failureOf([&] { t->StreamTextAt(0); }), kEof);
        QCOMPARE(failureOf([&] { t->ColumnOf("name"); }),
                 std::string("Field name Not found. Empty dataset"));
    }

    void columnLookup() {
        db_->RunStatement("CREATE TABLE t(dbCustomer_ID INTEGER PRIMARY KEY, dbCustCompany TEXT)");
        db_->RunStatement("INSERT INTO t VALUES(5, 'Acme')");
        auto t = db_->OpenResult("SELECT *, dbCustCompany AS DBCUSTOMER_ID, 'x' AS \"caf\xe9\" "
                                 "FROM t");
        QCOMPARE(t->ColumnOf("dbcustomer_id"), std::size_t(0)); // the first of equal names wins
        QCOMPARE(t->ColumnOf("DbCustCompany"), std::size_t(1));
        // Only ASCII letters are folded; other bytes must match exactly.
        QCOMPARE(t->ColumnOf("caf\xe9"), std::size_t(3));
        QCOMPARE(t->ColumnOf("CAF\xe9"), std::size_t(3));
        QCOMPARE(failureOf([&] { t->ColumnOf("caf\xc9"); }),
                 std::string("Field not found in dataset: caf\xc9"));
        QCOMPARE(failureOf([&] { t->ColumnOf("dbCustNope"); }),
                 std::string("Field not found in dataset: dbCustNope"));
        // Failed lookups change nothing.
        QCOMPARE(t->TextAt(t->ColumnOf("dbCustCompany")), std::string("Acme"));
    }

    void columnIndexOutOfRange() {
        std::string columns;
        std::string values;
        for (int c = 0; c < 46; ++c) {
            columns += (c ? ", c" : "c") + std::to_string(c) + " TEXT";
            values += (c ? ", 'v" : "'v") + std::to_string(c) + "'";
        }
        db_->RunStatement("CREATE TABLE t(" + columns + ")");
        db_->RunStatement("INSERT INTO t VALUES(" + values + ")");
        db_->RunStatement("INSERT INTO t VALUES(" + values + ")");
        auto t = db_->OpenResult("SELECT * FROM t");
        QCOMPARE(t->ColumnCount(), 46u);
        const std::string message = "Column index 47 out of range (0 to 45)";
        QCOMPARE(failureOf([&] { t->TextAt(47); }), message);
        QCOMPARE(failureOf([&] { t->TextOrEmptyAt(47); }), message);
        QCOMPARE(failureOf([&] { t->IntegerAt(47); }), message);
        QCOMPARE(failureOf([&] { t->RealAt(47); }), message);
        QCOMPARE(failureOf([&] { t->StreamAt(47); }), message);
        QCOMPARE(failureOf([&] { t->StreamTextAt(47); }), message);
        // 46 would be the next row's first cell if it were not checked.
        QCOMPARE(failureOf([&] { t->TextAt(46); }),
                 std::string("Column index 46 out of range (0 to 45)"));
        QVERIFY(failureOf([&] {
                    t->TextAt(std::numeric_limits<std::size_t>::max());
                }).rfind("Column index ", 0) == 0);
        QCOMPARE(t->TextAt(45), std::string("v45"));
    }

    void manyRowsKeepTheirOwnValues() {
        db_->RunStatement("CREATE TABLE t(k INTEGER, s TEXT, r REAL, b BLOB)");
        db_->RunStatement("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                          "WHERE i < 5000) INSERT INTO t SELECT i, 'name ' || i, i / 4.0, "
                          "CASE WHEN i % 3 = 0 THEN NULL ELSE zeroblob(i % 7) END FROM n");
        auto t = db_->OpenResult("SELECT * FROM t ORDER BY k");
        QCOMPARE(t->RowCount(), 5000u);
        for (int i = 1; !t->AtEnd(); ++i, t->Advance()) {
            QCOMPARE(t->IntegerAt(0), std::int64_t(i));
            QCOMPARE(t->TextAt(1), "name " + std::to_string(i));
            QCOMPARE(t->RealAt(2), i / 4.0);
            const std::string* blob = t->StreamAt(3);
            const std::size_t size = i % 3 == 0 ? 0 : static_cast<std::size_t>(i % 7);
            QCOMPARE(blob ? blob->size() : 0, size);
            if (size == 0)
                QVERIFY(blob == nullptr);
        }
    }

    void largeTextsKeepTheirBytes() {
        // Texts are packed into blocks of a megabyte: these fill several, leave tails too short
        // for the next text, and include texts as long as a block and longer than one.
        db_->RunStatement("CREATE TABLE t(k INTEGER, s TEXT)");
        db_->RunStatement("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                          "WHERE i < 3000) INSERT INTO t SELECT i, i || ':' || "
                          "printf('%.*c', 1 + (i * 37) % 1500, char(65 + i % 26)) FROM n");
        db_->RunStatement("UPDATE t SET s = '1000:' || printf('%.*c', 1048576 - 5, 'x') "
                          "WHERE k = 1000");
        db_->RunStatement("UPDATE t SET s = '2000:' || printf('%.*c', 2621440, 'y') "
                          "WHERE k = 2000");
        auto t = db_->OpenResult("SELECT k, s FROM t ORDER BY k");
        QCOMPARE(t->RowCount(), 3000u);
        for (int i = 1; !t->AtEnd(); ++i, t->Advance()) {
            std::string expected = std::to_string(i) + ":";
            if (i == 1000)
                expected.append(1048576 - 5, 'x');
            else if (i == 2000)
                expected.append(2621440, 'y');
            else
                expected.append(static_cast<std::size_t>(1 + (i * 37) % 1500),
                                static_cast<char>('A' + i % 26));
            const std::string actual = t->TextAt(1);
            if (actual != expected)
                QFAIL(qPrintable(QString("row %1 differs (length %2, expected %3)")
                                     .arg(i)
                                     .arg(actual.size())
                                     .arg(expected.size())));
        }
    }

    // The bulk reader the contact list fills itself with appends exactly what TextOrEmptyAt
    // returns, for every kind of column and value.
    void appendsWhatTextOrEmptyAtReturns() {
        TSQLiteDatabase& db = *db_;
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
        TSQLiteDatabase& db = *db_;
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

QTEST_GUILESS_MAIN(TestSQLiteTableValues)
#include "test_sqlitetable_values.moc"

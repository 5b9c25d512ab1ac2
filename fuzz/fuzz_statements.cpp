// Any value, whatever its bytes, written through the contact statements must come back exactly
// as it went in: a value can neither end its literal early, nor be read as a column name, nor
// smuggle in a second statement. Runs the INSERT, UPDATE, search and DELETE statements on a
// real in-memory database through the access layer and reads every column back.
//
// The one exception is the zero byte: statement texts are C strings and the access layer reads
// texts up to their first zero byte, so no zero byte can be stored and read back. The literal
// drops it and keeps the rest of the value.

#include "fuzz/FuzzCheck.h"
#include "model/ContactColumns.h"
#include "storage/ContactStatements.h"
#include "storage/CustomerRows.h"
#include "storage/SQLiteTable3.h"
#include "storage/SqlLiteral.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <sqlite3.h>

#include <cstring>

namespace {

std::string WithoutZeroBytes(const std::string& value) {
    std::string out;
    for (char c : value)
        if (c != '\0')
            out += c;
    return out;
}

// The whole text compiles as exactly one statement: nothing but blanks may follow it. Compiled on
// an engine connection of its own, with the same table, since the program's connections run
// statements but never hand them out.
void CheckSingleStatement(const std::string& sql) {
    static sqlite3* raw = [] {
        sqlite3* h = nullptr;
        sqlite3_open(":memory:", &h);
        sqlite3_exec(h, kCreateCustomersSql, nullptr, nullptr, nullptr);
        return h;
    }();
    FUZZ_CHECK(sql.find('\0') == std::string::npos, "zero byte in " + Printable(sql));
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(raw, sql.c_str(), -1, &stmt, &tail);
    sqlite3_finalize(stmt);
    FUZZ_CHECK(rc == SQLITE_OK, std::string(sqlite3_errmsg(raw)) + " in " + Printable(sql));
    FUZZ_CHECK(stmt != nullptr, Printable(sql));
    while (*tail == ' ' || *tail == '\n' || *tail == '\t' || *tail == '\r')
        ++tail;
    FUZZ_CHECK(*tail == '\0', "more than one statement: " + Printable(sql));
}

std::uint32_t RowsIn(TSQLiteDatabase& db) {
    return db.OpenResult("SELECT * FROM Customers")->RowCount();
}

// Loads the contact the way the window does and compares every column.
void CheckStored(TSQLiteDatabase& db, const std::string& id, const ContactValues& written) {
    FUZZ_CHECK(RowsIn(db) == 1, "rows: " + std::to_string(RowsIn(db)));
    auto row = db.OpenResult(BuildSelectByIdStatement(id));
    FUZZ_CHECK(row->RowCount() == 1, "no row " + id);
    for (int i = 0; i < kDataColumns; ++i) {
        const std::string& column = SaveOrderColumns()[i];
        const std::string stored = row->TextOrEmptyAt(row->ColumnOf(column));
        const std::string expected = WithoutZeroBytes(written[i]);
        FUZZ_CHECK(stored == expected,
                   column + ": wrote " + Printable(written[i]) + ", read " + Printable(stored));
    }
}

// Length of the longest start of the text that ends on a character boundary and is at most
// `limit` bytes, when the text is valid UTF-8; the whole length otherwise. The program's texts
// come from the editor as UTF-8, and the engine's LIKE compares characters, so a search text
// cut inside a character is one the program never makes.
std::size_t CharacterPrefix(const std::string& text, std::size_t limit) {
    std::size_t i = 0, boundary = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80         ? 1
                                   : (c >> 5) == 6  ? 2
                                   : (c >> 4) == 14 ? 3
                                   : (c >> 3) == 30 ? 4
                                                    : 0;
        if (length == 0 || (length > 1 && c < 0xc2) || i + length > text.size())
            return text.size();
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80)
                return text.size();
        i += length;
        if (i <= limit)
            boundary = i;
    }
    return boundary;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int shift = input.ConsumeIntegralInRange<int>(0, kDataColumns - 1);
    const int kind = input.ConsumeIntegralInRange<int>(1, 3);
    const bool compact = input.ConsumeIntegralInRange<int>(0, 7) == 0;
    ContactValues values;
    for (int i = 0; i < kDataColumns && input.remaining_bytes() > 0; ++i)
        values[i] = input.ConsumeRandomLengthString();
    // The update gives every column another of the values, so each value is tried in two
    // places of the statement.
    ContactValues changed;
    for (int i = 0; i < kDataColumns; ++i)
        changed[i] = values[(i + shift) % kDataColumns];

    // One database for the whole run (building it costs more than the rest); every input
    // leaves the table empty again.
    static TSQLiteDatabase& db = *[] {
        auto* d = new TSQLiteDatabase(":memory:");
        d->RunStatement(kCreateCustomersSql);
        return d;
    }();
    FUZZ_CHECK(RowsIn(db) == 0, "rows left by an earlier input");

    const std::string insert = BuildInsertStatement(values);
    CheckSingleStatement(insert);
    WriteContact(db, values, std::string());
    FUZZ_CHECK(db.Changes() == 1, Printable(insert));
    const std::string id = std::to_string(db.LastInsertRowId());
    CheckStored(db, id, values);

    const std::string update = BuildUpdateStatement(changed, id);
    CheckSingleStatement(update);
    WriteContact(db, changed, id);
    CheckStored(db, id, changed);

    // Searching for the start of a stored name finds its contact: the search text is a literal
    // too, and LIKE's wildcards in it can only widen the match.
    static const int searched[] = {0, 2, 1, 0}; // column of each search kind in save order
    const std::string stored = WithoutZeroBytes(changed[searched[kind]]);
    const std::string search =
        BuildSearchStatement(static_cast<SearchKind>(kind),
                             stored.substr(0, CharacterPrefix(stored, stored.size() / 2 + 1)));
    CheckSingleStatement(search);
    auto found = db.OpenResult(search);
    FUZZ_CHECK(found->RowCount() == 1, "search missed: " + Printable(search));

    // The compaction is slow and the same for every value: only now and then.
    if (compact)
        DeleteContact(db, id);
    else
        db.RunStatement(BuildDeleteStatement(id));
    FUZZ_CHECK(RowsIn(db) == 0, "delete left a row");
    return 0;
}

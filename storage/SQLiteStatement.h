#pragma once

#include "storage/SQLiteTable3.h"

#include <cstdint>
#include <string>
#include <string_view>

// One compiled statement run many times with values bound to its parameters, for the import's
// bulk work where compiling a statement per row would cost more than running it. Parameters are
// numbered from 1, result columns from 0. Failures are ESQLiteException, as for the database.
class TSQLiteStatement {
public:
    TSQLiteStatement(TSQLiteDatabase& db, const std::string& statement);
    ~TSQLiteStatement();
    TSQLiteStatement(const TSQLiteStatement&) = delete;
    TSQLiteStatement& operator=(const TSQLiteStatement&) = delete;

    void BindText(int parameter, std::string_view text);
    // The same without a copy: the text must stay as it is until the statement has run.
    void BindKeptText(int parameter, std::string_view text);
    void BindInteger(int parameter, std::int64_t value);
    // True for a row, false when the statement has run to its end.
    bool Step();
    // Runs a statement that yields no rows, then makes it ready to run again.
    void Run();
    void Reset();

    std::int64_t IntegerAt(int column) const;
    std::string_view TextAt(int column) const; // until the next Step

private:
    TSQLiteDatabase& db_;
    std::string sql_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Whether the book on that connection has a table of that name.
bool HasTable(TSQLiteDatabase& db, const char* name);

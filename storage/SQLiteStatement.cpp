#include "storage/SQLiteStatement.h"

#include <sqlite3.h>

TSQLiteStatement::TSQLiteStatement(TSQLiteDatabase& db, const std::string& statement)
    : db_(db), sql_(statement), stmt_(db.Prepare(statement)) {}

TSQLiteStatement::~TSQLiteStatement() {
    sqlite3_finalize(stmt_);
}

void TSQLiteStatement::BindText(int parameter, std::string_view text) {
    if (sqlite3_bind_text64(stmt_, parameter, text.data(), text.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8) != SQLITE_OK)
        db_.FailWith("Error executing SQL statement", sql_);
}

void TSQLiteStatement::BindKeptText(int parameter, std::string_view text) {
    if (sqlite3_bind_text64(stmt_, parameter, text.data(), text.size(), SQLITE_STATIC,
                            SQLITE_UTF8) != SQLITE_OK)
        db_.FailWith("Error executing SQL statement", sql_);
}

void TSQLiteStatement::BindInteger(int parameter, std::int64_t value) {
    if (sqlite3_bind_int64(stmt_, parameter, value) != SQLITE_OK)
        db_.FailWith("Error executing SQL statement", sql_);
}

bool TSQLiteStatement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(stmt_);
    db_.FailWith("Error executing SQL statement", sql_);
}

void TSQLiteStatement::Run() {
    while (Step()) {
    }
    Reset();
}

void TSQLiteStatement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::int64_t TSQLiteStatement::IntegerAt(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::string_view TSQLiteStatement::TextAt(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    if (!text)
        return {};
    return {reinterpret_cast<const char*>(text),
            static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}

bool HasTable(TSQLiteDatabase& db, const char* name) {
    TSQLiteStatement table(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?;");
    table.BindText(1, name);
    return table.Step();
}

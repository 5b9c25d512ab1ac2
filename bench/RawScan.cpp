#include "bench/RawScan.h"

#include <sqlite3.h>
#include <stdexcept>

namespace {
[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
    throw std::runtime_error(what + ": " + sqlite3_errmsg(db));
}
} // namespace

RawScanResult RawScan(sqlite3* db, const std::string& statement) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, statement.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        Fail(db, "prepare " + statement);
    RawScanResult result;
    const int columns = sqlite3_column_count(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        ++result.rows;
        for (int c = 0; c < columns; ++c) {
            const unsigned char* text = sqlite3_column_text(stmt, c);
            result.bytes +=
                static_cast<std::uint64_t>(sqlite3_column_bytes(stmt, c)) + (text != nullptr);
        }
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        Fail(db, "step " + statement);
    return result;
}

void RawRun(sqlite3* db, const std::string& statement) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, statement.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        Fail(db, "prepare " + statement);
    const int rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        Fail(db, "step " + statement);
}

sqlite3* RawOpen(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path);
    }
    RawRun(db, "PRAGMA SYNCHRONOUS=NORMAL;");
    RawRun(db, "PRAGMA temp_store = MEMORY;");
    return db;
}

void RawClose(sqlite3* db) {
    sqlite3_close(db);
}

#pragma once

#include "storage/SQLiteTable3.h"

// A write transaction that takes the book's write lock at once, and is undone unless it was
// committed, whatever leaves its scope.
class TWriteTransaction {
public:
    explicit TWriteTransaction(TSQLiteDatabase& db) : db_(db) {
        db_.RunStatement("BEGIN IMMEDIATE;");
    }
    ~TWriteTransaction() {
        if (!done_) {
            try {
                db_.RunStatement("ROLLBACK;");
            } catch (...) {
                // The engine has already rolled back what a failed statement began.
            }
        }
    }
    TWriteTransaction(const TWriteTransaction&) = delete;
    TWriteTransaction& operator=(const TWriteTransaction&) = delete;

    void Commit() {
        db_.RunStatement("COMMIT;");
        done_ = true;
    }

private:
    TSQLiteDatabase& db_;
    bool done_ = false;
};

#pragma once

// A thin, exact wrapper over the SQLite C interface: one connection, one fully copied query
// result with a forward cursor, and one exception type. Text is 8-bit and crosses the engine
// boundary byte for byte.

#include <cstdint>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class ESQLiteException : public std::runtime_error {
public:
    explicit ESQLiteException(const std::string& message) : std::runtime_error(message) {}
};

// The engine's storage-class codes; a column without declared type takes the code of its
// first row's value unchanged.
enum class ColumnKind : int { Integer = 1, Real = 2, Text = 3, Blob = 4, Null = 5 };

class TSQLiteTable;

// Whether opening a connection may create a missing file. Only the first-start build creates
// the address book: any other connection that made a file where the book had gone would leave
// an empty file that every later start takes for the book.
enum class OpenMode { CreateIfMissing, ExistingOnly };

class TSQLiteDatabase {
public:
    // How long a statement waits for a lock another connection holds before it fails with
    // "database is locked": another copy of the program holds one only for the moment a save
    // takes.
    static constexpr int kBusyTimeoutMs = 3000;

    explicit TSQLiteDatabase(const std::string& fileName, OpenMode mode = OpenMode::CreateIfMissing,
                             int busyTimeoutMs = kBusyTimeoutMs);
    virtual ~TSQLiteDatabase();
    TSQLiteDatabase(const TSQLiteDatabase&) = delete;
    TSQLiteDatabase& operator=(const TSQLiteDatabase&) = delete;

    // Runs the first statement of the text to completion; a statement that yields rows fails.
    void RunStatement(const std::string& statement);
    // Runs a query and copies its whole result into memory.
    std::unique_ptr<TSQLiteTable> OpenResult(const std::string& statement);

    // Rows the last INSERT, UPDATE or DELETE changed.
    int Changes() const;
    // The key of the row the last successful INSERT added.
    std::int64_t LastInsertRowId() const;

private:
    [[noreturn]] void FailWith(const std::string& message, const std::string& statement) const;
    // Compiles the first statement of the text; never returns null.
    sqlite3_stmt* Prepare(const std::string& statement) const;
    sqlite3* handle_ = nullptr;
    friend class TSQLiteTable;
    friend class TSQLiteStatement;
};

class TSQLiteTable {
public:
    virtual ~TSQLiteTable();
    TSQLiteTable(const TSQLiteTable&) = delete;
    TSQLiteTable& operator=(const TSQLiteTable&) = delete;

    bool AtEnd() const;
    bool Advance();
    std::size_t ColumnOf(const std::string& name) const;

    std::string TextAt(std::size_t column) const;
    std::string TextOrEmptyAt(std::size_t column) const;
    // Appends what TextOrEmptyAt returns to `out` without a string of its own in between: for
    // readers of many cells, such as a list filled from a whole result.
    void AppendTextOrEmptyAt(std::size_t column, std::string& out) const;
    std::int64_t IntegerAt(std::size_t column) const;
    double RealAt(std::size_t column) const;
    // The cell's byte stream, or null for an empty cell.
    const std::string* StreamAt(std::size_t column) const;
    std::string StreamTextAt(std::size_t column) const;

    std::uint32_t RowCount() const { return rowCount_; }
    std::uint32_t ColumnCount() const { return columnCount_; }

private:
    friend class TSQLiteDatabase;
    TSQLiteTable(TSQLiteDatabase& db, const std::string& statement);

    // One value of the result in eight bytes. Texts are packed into large shared blocks and
    // blobs kept in a list of their own, so a large result costs no heap block per cell;
    // whether a cell is empty is kept apart in cellEmpty_.
    union Cell {
        std::int64_t integer;
        double real;
        struct {
            std::uint32_t offset; // text position for a text, index into blobs_ for a blob
            std::uint32_t length;
        } bytes;
    };

    // Both return false when the engine could not hand over a name or value (out of memory).
    bool DescribeColumns(sqlite3_stmt* stmt);
    bool CopyRow(sqlite3_stmt* stmt);
    void AppendCell(Cell cell, bool empty);
    // Copies the bytes into the text blocks and returns their text position.
    std::uint32_t StoreText(const char* text, std::size_t length);
    std::string TextOfCell(const Cell& cell) const;
    // Index of the current row's cell for the column; raises at the end or out of range.
    std::size_t CellIndex(std::size_t column) const;

    std::deque<Cell> values_;
    std::uint32_t rowCount_ = 0;
    std::uint32_t columnCount_ = 0;
    std::vector<std::string> columnNames_;
    std::vector<ColumnKind> columnKinds_;
    std::uint32_t cursor_ = 0;

    std::vector<bool> cellEmpty_;
    std::vector<std::string> blobs_;

    // Text blocks are never moved once allocated, so growing a large result neither copies what
    // it already holds nor needs room for it twice. Text position p lies at
    // textSlots_[p / kTextSlot] + p % kTextSlot; a text longer than a slot gets a block of its
    // own that takes up several consecutive slots.
    static constexpr std::uint32_t kTextSlotBits = 20;
    static constexpr std::uint64_t kTextSlot = std::uint64_t(1) << kTextSlotBits;
    std::vector<std::unique_ptr<char[]>> textBlocks_;
    std::vector<char*> textSlots_;
    std::uint64_t textUsed_ = 0; // position of the next free byte
    std::uint64_t textEnd_ = 0;  // end of the current block
};

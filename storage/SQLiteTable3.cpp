#include "storage/SQLiteTable3.h"

#include "storage/SQLite3.h"

#include <charconv>
#include <clocale>
#include <cstring>
#include <limits>

namespace {

const char* const kPragmaSynchronous = "PRAGMA SYNCHRONOUS=NORMAL;";
const char* const kPragmaTempStore = "PRAGMA temp_store = MEMORY;";

// Builds the failure text by plain concatenation: the statement and the engine's message may hold
// percent signs, and they must come out exactly as they went in.
std::string Compose(const std::string& message, const std::string& statement,
                    const std::string& detail) {
    std::string text;
    text.reserve(message.size() + statement.size() + detail.size() + 6);
    text.append(message).append(" \"").append(statement).append("\" : ").append(detail);
    return text;
}

// Byte-wise ASCII upper-casing: column names and lookups must agree whatever the process locale.
std::string UpperCased(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

ColumnKind KindOfDeclaredType(const char* declared) {
    if (std::strcmp(declared, "INTEGER") == 0 || std::strcmp(declared, "BOOLEAN") == 0)
        return ColumnKind::Integer;
    if (std::strcmp(declared, "NUMERIC") == 0 || std::strcmp(declared, "FLOAT") == 0 ||
        std::strcmp(declared, "DOUBLE") == 0 || std::strcmp(declared, "REAL") == 0)
        return ColumnKind::Real;
    if (std::strcmp(declared, "BLOB") == 0)
        return ColumnKind::Blob;
    return ColumnKind::Text;
}

std::string DecimalText(std::int64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// General form with 15 significant digits. The digits are produced without the locale and only
// its decimal separator is put in afterwards, so no other numeric rule of a locale (grouping,
// say) can creep into the text.
std::string FloatText(double value) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, result.ptr);
    const std::lconv* conventions = std::localeconv();
    const char* separator = conventions && conventions->decimal_point && *conventions->decimal_point
                                ? conventions->decimal_point
                                : ".";
    std::size_t dot = text.find('.');
    if (dot != std::string::npos && std::strcmp(separator, ".") != 0)
        text.replace(dot, 1, separator);
    return text;
}

// Finalizes the statement however the scope is left.
class StatementGuard {
public:
    explicit StatementGuard(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~StatementGuard() { sqlite3_finalize(stmt_); }
    StatementGuard(const StatementGuard&) = delete;
    StatementGuard& operator=(const StatementGuard&) = delete;

private:
    sqlite3_stmt* stmt_;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// TSQLiteDatabase

TSQLiteDatabase::TSQLiteDatabase(const std::string& fileName, OpenMode mode, int busyTimeoutMs) {
    const int flags =
        SQLITE_OPEN_READWRITE | (mode == OpenMode::CreateIfMissing ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(fileName.c_str(), &handle_, flags, nullptr);
    if (rc != SQLITE_OK) {
        if (handle_ != nullptr) {
            const char* engineMessage = sqlite3_errmsg(handle_);
            std::string text = "Failed to open database \"" + fileName +
                               "\" : " + (engineMessage ? engineMessage : "unknown error");
            sqlite3_close(handle_);
            handle_ = nullptr;
            throw ESQLiteException(text);
        }
        throw ESQLiteException("Failed to open database \"" + fileName + "\" : unknown error");
    }
    sqlite3_busy_timeout(handle_, busyTimeoutMs);
    try {
        RunStatement(kPragmaSynchronous);
        RunStatement(kPragmaTempStore);
    } catch (...) {
        // The destructor does not run for a half-built object, so the handle is closed here.
        sqlite3_close(handle_);
        handle_ = nullptr;
        throw;
    }
}

TSQLiteDatabase::~TSQLiteDatabase() {
    if (handle_ != nullptr)
        sqlite3_close(handle_);
}

void TSQLiteDatabase::FailWith(const std::string& message, const std::string& statement) const {
    const char* engineMessage = nullptr;
    if (sqlite3_errcode(handle_) != SQLITE_OK)
        engineMessage = sqlite3_errmsg(handle_);
    throw ESQLiteException(
        Compose(message, statement, engineMessage ? engineMessage : "No message"));
}

sqlite3_stmt* TSQLiteDatabase::Prepare(const std::string& statement) const {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(handle_, statement.c_str(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt); // null after a failed prepare; harmless either way
        FailWith("Error executing SQL", statement);
    }
    if (stmt == nullptr)
        FailWith("Could not prepare SQL statement", statement);
    return stmt;
}

void TSQLiteDatabase::RunStatement(const std::string& statement) {
    sqlite3_stmt* stmt = Prepare(statement);
    StatementGuard guard(stmt);
    if (sqlite3_step(stmt) != SQLITE_DONE)
        FailWith("Error executing SQL statement", statement);
}

std::unique_ptr<TSQLiteTable> TSQLiteDatabase::OpenResult(const std::string& statement) {
    return std::unique_ptr<TSQLiteTable>(new TSQLiteTable(*this, statement));
}

int TSQLiteDatabase::Changes() const {
    return sqlite3_changes(handle_);
}

std::int64_t TSQLiteDatabase::LastInsertRowId() const {
    return sqlite3_last_insert_rowid(handle_);
}

// ---------------------------------------------------------------------------------------------
// TSQLiteTable

// Everything already copied is owned by members, so a failure part-way releases it as the
// exception leaves the constructor; the guard finalizes the statement on every path.
TSQLiteTable::TSQLiteTable(TSQLiteDatabase& db, const std::string& statement) {
    sqlite3_stmt* stmt = db.Prepare(statement);
    StatementGuard guard(stmt);
    for (;;) {
        int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE)
            break;
        if (rc == SQLITE_BUSY)
            throw ESQLiteException(
                Compose("Could not prepare SQL statement", statement, "SQLite is Busy"));
        if (rc != SQLITE_ROW)
            db.FailWith("Could not retrieve data", statement);
        if (rowCount_ == std::numeric_limits<std::uint32_t>::max())
            throw ESQLiteException(Compose("Could not retrieve data", statement, "too many rows"));
        ++rowCount_;
        if (rowCount_ == 1 && !DescribeColumns(stmt))
            db.FailWith("Could not retrieve data", statement);
        if (!CopyRow(stmt))
            db.FailWith("Could not retrieve data", statement);
    }
    cursor_ = 0;
}

TSQLiteTable::~TSQLiteTable() = default;

bool TSQLiteTable::DescribeColumns(sqlite3_stmt* stmt) {
    int count = sqlite3_column_count(stmt);
    columnCount_ = static_cast<std::uint32_t>(count);
    columnNames_.reserve(columnCount_);
    columnKinds_.reserve(columnCount_);
    for (int c = 0; c < count; ++c) {
        const char* name = sqlite3_column_name(stmt, c);
        if (name == nullptr) // only when memory ran out
            return false;
        columnNames_.push_back(UpperCased(name));
    }
    for (int c = 0; c < count; ++c) {
        const char* declared = sqlite3_column_decltype(stmt, c);
        if (declared == nullptr)
            columnKinds_.push_back(static_cast<ColumnKind>(sqlite3_column_type(stmt, c)));
        else
            columnKinds_.push_back(KindOfDeclaredType(declared));
    }
    return true;
}

void TSQLiteTable::AppendCell(Cell cell, bool empty) {
    values_.push_back(cell);
    cellEmpty_.push_back(empty);
}

bool TSQLiteTable::CopyRow(sqlite3_stmt* stmt) {
    for (std::uint32_t c = 0; c < columnCount_; ++c) {
        const int column = static_cast<int>(c);
        Cell cell;
        cell.integer = 0;
        const ColumnKind kind = columnKinds_[c];
        if (kind != ColumnKind::Integer && kind != ColumnKind::Real && kind != ColumnKind::Blob) {
            // Text (kinds 3 and 5) takes one engine call per cell, which a large result feels:
            // the engine converts whatever is stored to text and hands out none only for SQL
            // NULL or when memory ran out. Running out also fails the statement's next step, so
            // such a result is never handed out. The copy stops at the first zero byte, as a C
            // string would, so the length is the C string's.
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            if (text == nullptr) {
                if (sqlite3_column_type(stmt, column) != SQLITE_NULL)
                    return false;
                AppendCell(cell, true);
                continue;
            }
            const std::size_t length = std::strlen(text);
            cell.bytes.offset = StoreText(text, length);
            cell.bytes.length = static_cast<std::uint32_t>(length);
            AppendCell(cell, false);
            continue;
        }
        if (sqlite3_column_type(stmt, column) == SQLITE_NULL) {
            AppendCell(cell, true);
            continue;
        }
        if (kind == ColumnKind::Integer) {
            cell.integer = sqlite3_column_int64(stmt, column);
            AppendCell(cell, false);
        } else if (kind == ColumnKind::Real) {
            cell.real = sqlite3_column_double(stmt, column);
            AppendCell(cell, false);
        } else {
            const int size = sqlite3_column_bytes(stmt, column);
            const void* data = size > 0 ? sqlite3_column_blob(stmt, column) : nullptr;
            if (data == nullptr) {
                AppendCell(cell, true);
                continue;
            }
            cell.bytes.offset = static_cast<std::uint32_t>(blobs_.size());
            cell.bytes.length = static_cast<std::uint32_t>(size);
            blobs_.emplace_back(static_cast<const char*>(data), static_cast<std::size_t>(size));
            AppendCell(cell, false);
        }
    }
    return true;
}

std::uint32_t TSQLiteTable::StoreText(const char* text, std::size_t length) {
    if (length > textEnd_ - textUsed_) {
        const std::uint64_t slots = length <= kTextSlot ? 1 : (length + kTextSlot - 1) / kTextSlot;
        const std::uint64_t start = textSlots_.size() * kTextSlot;
        if (start + slots * kTextSlot - 1 > std::numeric_limits<std::uint32_t>::max())
            throw ESQLiteException("Query result too large to hold in memory");
        // Left uninitialised on purpose: only the bytes written are ever read.
        std::unique_ptr<char[]> block(new char[slots * kTextSlot]);
        for (std::uint64_t k = 0; k < slots; ++k)
            textSlots_.push_back(block.get() + k * kTextSlot);
        textBlocks_.push_back(std::move(block));
        textUsed_ = start;
        textEnd_ = start + slots * kTextSlot;
    }
    const std::uint64_t position = textUsed_;
    if (length > 0)
        std::memcpy(textSlots_[position >> kTextSlotBits] + (position & (kTextSlot - 1)), text,
                    length);
    textUsed_ += length;
    return static_cast<std::uint32_t>(position);
}

std::string TSQLiteTable::TextOfCell(const Cell& cell) const {
    if (cell.bytes.length == 0)
        return std::string();
    const std::uint64_t position = cell.bytes.offset;
    return std::string(textSlots_[position >> kTextSlotBits] + (position & (kTextSlot - 1)),
                       cell.bytes.length);
}

bool TSQLiteTable::AtEnd() const {
    return cursor_ >= rowCount_;
}

bool TSQLiteTable::Advance() {
    if (AtEnd())
        return false;
    ++cursor_;
    return true;
}

std::size_t TSQLiteTable::ColumnOf(const std::string& name) const {
    if (rowCount_ == 0)
        throw ESQLiteException("Field " + name + " Not found. Empty dataset");
    const std::string wanted = UpperCased(name);
    for (std::size_t c = 0; c < columnNames_.size(); ++c) {
        if (columnNames_[c] == wanted)
            return c;
    }
    throw ESQLiteException("Field not found in dataset: " + name);
}

std::size_t TSQLiteTable::CellIndex(std::size_t column) const {
    if (AtEnd())
        throw ESQLiteException("Table is at End of File");
    if (column >= columnCount_)
        throw ESQLiteException("Column index " + std::to_string(column) + " out of range (0 to " +
                               std::to_string(columnCount_ - 1) + ")");
    return static_cast<std::size_t>(cursor_) * columnCount_ + column;
}

std::string TSQLiteTable::TextAt(std::size_t column) const {
    const std::size_t index = CellIndex(column);
    switch (columnKinds_[column]) {
    case ColumnKind::Integer:
        return DecimalText(IntegerAt(column));
    case ColumnKind::Real:
        return FloatText(RealAt(column));
    case ColumnKind::Blob:
        return StreamTextAt(column);
    case ColumnKind::Text:
        if (cellEmpty_[index])
            return std::string();
        return TextOfCell(values_[index]);
    default:
        return std::string();
    }
}

std::string TSQLiteTable::TextOrEmptyAt(std::size_t column) const {
    if (cellEmpty_[CellIndex(column)])
        return std::string();
    return TextAt(column);
}

void TSQLiteTable::AppendTextOrEmptyAt(std::size_t column, std::string& out) const {
    const std::size_t index = CellIndex(column);
    if (cellEmpty_[index])
        return;
    switch (columnKinds_[column]) {
    case ColumnKind::Text: {
        const Cell& cell = values_[index];
        const std::uint64_t position = cell.bytes.offset;
        if (cell.bytes.length > 0)
            out.append(textSlots_[position >> kTextSlotBits] + (position & (kTextSlot - 1)),
                       cell.bytes.length);
        return;
    }
    case ColumnKind::Integer: {
        char buffer[24];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, values_[index].integer);
        out.append(buffer, result.ptr);
        return;
    }
    default:
        out += TextAt(column);
    }
}

std::int64_t TSQLiteTable::IntegerAt(std::size_t column) const {
    const std::size_t index = CellIndex(column);
    if (cellEmpty_[index])
        return 0;
    switch (columnKinds_[column]) {
    case ColumnKind::Integer:
        return values_[index].integer;
    case ColumnKind::Real: {
        // Converting a double outside the 64-bit range is undefined behaviour in C++, so such a
        // value (and NaN, which fails both comparisons) is reported instead of truncated.
        const double value = values_[index].real;
        if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0))
            throw ESQLiteException("Real value " + FloatText(value) +
                                   " is outside the 64-bit integer range");
        return static_cast<std::int64_t>(value);
    }
    default:
        throw ESQLiteException("Not an integer or numeric field");
    }
}

double TSQLiteTable::RealAt(std::size_t column) const {
    const std::size_t index = CellIndex(column);
    if (cellEmpty_[index])
        return 0.0;
    switch (columnKinds_[column]) {
    case ColumnKind::Integer:
        return static_cast<double>(values_[index].integer);
    case ColumnKind::Real:
        return values_[index].real;
    default:
        throw ESQLiteException("Not an integer or numeric field");
    }
}

const std::string* TSQLiteTable::StreamAt(std::size_t column) const {
    const std::size_t index = CellIndex(column);
    if (cellEmpty_[index])
        return nullptr;
    if (columnKinds_[column] != ColumnKind::Blob)
        throw ESQLiteException("Not a Blob field");
    return &blobs_[values_[index].bytes.offset];
}

std::string TSQLiteTable::StreamTextAt(std::size_t column) const {
    const std::string* stream = StreamAt(column);
    if (stream == nullptr || stream->empty())
        return std::string();
    return *stream;
}

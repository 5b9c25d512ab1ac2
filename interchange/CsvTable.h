#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// RFC 4180 comma-separated values: fields with a comma, a double quote or a line break stand in
// double quotes, a double quote inside doubled; rows end with CRLF.
using CsvRow = std::vector<std::string>;

// The CSV grammar fed as the bytes of a file come: rows are taken as soon as they are whole, so a
// file of any size is read a part at a time. A UTF-8 byte-order mark at the start is skipped, LF
// or CR alone also ends a row, and a blank line is no row. ParseCsv and FirstCsvRow read through
// it, so the whole file and its parts are read by one grammar.
class TCsvRowReader {
public:
    void Feed(std::string_view bytes);
    // No more bytes come. A quoted field still open throws EContactFileError (naming its row)
    // when `strict`, else ends with the bytes.
    void Finish(bool strict = true);
    // The next whole row, in the order of the file; false until one is whole.
    bool Take(CsvRow& row);
    // Rows made so far, taken or not.
    std::size_t Rows() const { return made_; }

private:
    void Step(char c);
    void EndField();
    void EndRow();

    std::vector<CsvRow> ready_;
    std::size_t next_ = 0; // the first row of ready_ not yet taken
    std::size_t made_ = 0;
    CsvRow row_;
    std::string field_;
    std::string head_; // the first bytes, until they tell whether a byte-order mark opens the file
    bool started_ = false;
    bool inRow_ = false;
    bool quoted_ = false;
    bool quoteSeen_ = false; // a double quote inside quotes: doubled, or the field's end
    bool afterCr_ = false;   // a CR ended a row: an LF right after it belongs to that end
};

// Reads every row. Throws EContactFileError for a quoted field that never ends.
std::vector<CsvRow> ParseCsv(const std::string& bytes);
// Only the first row, as far as the bytes go: a quoted field that never ends ends with them.
CsvRow FirstCsvRow(const std::string& bytes);
void AppendCsvRow(std::string& out, const CsvRow& row);

// The text of a CSV file as UTF-8: UTF-16 (little or big endian, told by its byte-order mark or,
// without one, by the zero bytes of its ASCII letters) is converted; other bytes are left to the
// cells' own reading. `encoding` names what was read: "UTF-16LE", "UTF-16BE", "UTF-8" or
// "Windows-1252".
std::string CsvText(const std::string& bytes, std::string* encoding);

#pragma once

#include <string>
#include <vector>

// RFC 4180 comma-separated values: fields with a comma, a double quote or a line break stand in
// double quotes, a double quote inside doubled; rows end with CRLF.
using CsvRow = std::vector<std::string>;

// Reads every row; a UTF-8 byte-order mark is skipped and LF alone also ends a row. Throws
// EContactFileError for a quoted field that never ends.
std::vector<CsvRow> ParseCsv(const std::string& bytes);
// Only the first row, as far as the bytes go: a quoted field that never ends ends with them.
CsvRow FirstCsvRow(const std::string& bytes);
void AppendCsvRow(std::string& out, const CsvRow& row);

// The text of a CSV file as UTF-8: UTF-16 (little or big endian, told by its byte-order mark or,
// without one, by the zero bytes of its ASCII letters) is converted; other bytes are left to the
// cells' own reading. `encoding` names what was read: "UTF-16LE", "UTF-16BE", "UTF-8" or
// "Windows-1252".
std::string CsvText(const std::string& bytes, std::string* encoding);

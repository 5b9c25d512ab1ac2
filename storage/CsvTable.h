#pragma once

#include <string>
#include <vector>

// RFC 4180 comma-separated values: fields with a comma, a double quote or a line break stand in
// double quotes, a double quote inside doubled; rows end with CRLF.
using CsvRow = std::vector<std::string>;

// Reads every row; a UTF-8 byte-order mark is skipped and LF alone also ends a row. Throws
// ContactFileError for a quoted field that never ends.
std::vector<CsvRow> ParseCsv(const std::string& bytes);
void AppendCsvRow(std::string& out, const CsvRow& row);

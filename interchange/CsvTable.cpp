#include "interchange/CsvTable.h"

#include "interchange/ContactFileError.h"
#include "interchange/TextCodec.h"

#include <algorithm>

namespace {

// Reads the row that starts at i and moves i past it; false when no row is left. A quoted field
// that never ends throws when `strict`, else ends with the bytes.
bool ReadRow(const std::string& bytes, std::size_t& i, CsvRow& row, std::size_t rowNumber,
             bool strict) {
    row.clear();
    std::string field;
    bool inRow = false;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == '"' && field.empty()) {
            std::size_t j = i + 1;
            for (;;) {
                if (j >= bytes.size()) {
                    if (strict)
                        throw EContactFileError("The file ends inside a quoted field in row " +
                                               std::to_string(rowNumber) +
                                               ": it may be cut short.");
                    break;
                }
                if (bytes[j] == '"') {
                    if (j + 1 < bytes.size() && bytes[j + 1] == '"') {
                        field += '"';
                        j += 2;
                        continue;
                    }
                    break;
                }
                field += bytes[j++];
            }
            i = j + 1;
            inRow = true;
            continue;
        }
        ++i;
        if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
            inRow = true;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i < bytes.size() && bytes[i] == '\n')
                ++i;
            if (inRow || !field.empty()) {
                row.push_back(std::move(field));
                return true;
            }
        } else {
            field += c;
            inRow = true;
        }
    }
    if (inRow || !field.empty()) {
        row.push_back(std::move(field));
        return true;
    }
    return false;
}

std::size_t AfterBom(const std::string& bytes) {
    return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
}

} // namespace

std::vector<CsvRow> ParseCsv(const std::string& bytes) {
    std::size_t i = AfterBom(bytes);
    std::vector<CsvRow> rows;
    CsvRow row;
    while (ReadRow(bytes, i, row, rows.size() + 1, true))
        rows.push_back(std::move(row));
    return rows;
}

CsvRow FirstCsvRow(const std::string& bytes) {
    std::size_t i = AfterBom(bytes);
    CsvRow row;
    ReadRow(bytes, i, row, 1, false);
    return row;
}

std::string CsvText(const std::string& bytes, std::string* encoding) {
    std::size_t bom = 0;
    if (const int order = Utf16Order(bytes, &bom)) {
        *encoding = order == 2 ? "UTF-16LE" : "UTF-16BE";
        return TextFileAsUtf8(bytes);
    }
    *encoding = IsValidUtf8(bytes) ? "UTF-8" : "Windows-1252";
    return bytes;
}

void AppendCsvRow(std::string& out, const CsvRow& row) {
    for (std::size_t k = 0; k < row.size(); ++k) {
        if (k > 0)
            out += ',';
        const std::string& f = row[k];
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            out += f;
            continue;
        }
        out += '"';
        for (char c : f) {
            out += c;
            if (c == '"')
                out += '"';
        }
        out += '"';
    }
    out += "\r\n";
}

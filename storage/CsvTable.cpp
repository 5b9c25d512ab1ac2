#include "CsvTable.h"

#include "ContactFileError.h"

std::vector<CsvRow> ParseCsv(const std::string& bytes) {
    std::size_t i = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    std::vector<CsvRow> rows;
    CsvRow row;
    std::string field;
    bool inRow = false;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == '"' && field.empty()) {
            std::size_t j = i + 1;
            for (;;) {
                if (j >= bytes.size())
                    throw ContactFileError("The file ends inside a quoted field in row " +
                                           std::to_string(rows.size() + 1) +
                                           ": it may be cut short.");
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
        if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
            inRow = true;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            if (inRow || !field.empty()) {
                row.push_back(std::move(field));
                rows.push_back(std::move(row));
            }
            row.clear();
            field.clear();
            inRow = false;
        } else {
            field += c;
            inRow = true;
        }
        ++i;
    }
    if (inRow || !field.empty()) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return rows;
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

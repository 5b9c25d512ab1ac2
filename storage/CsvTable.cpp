#include "CsvTable.h"

#include "ContactFileError.h"
#include "TextCodec.h"

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
                        throw ContactFileError("The file ends inside a quoted field in row " +
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

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Converts the units from `from` on; returns where it stopped: at a byte that makes no whole
// unit, or, unless `last`, at the first half of a pair whose second half is not there.
std::size_t Utf16ToUtf8(const std::string& bytes, std::size_t from, bool little, bool last,
                        std::string& out) {
    const auto unit = [&](std::size_t k) {
        const auto a = static_cast<unsigned char>(bytes[k]);
        const auto b = static_cast<unsigned char>(bytes[k + 1]);
        return little ? unsigned(a | b << 8) : unsigned(a << 8 | b);
    };
    std::size_t k = from;
    for (; k + 1 < bytes.size(); k += 2) {
        unsigned code = unit(k);
        if (code >= 0xD800 && code <= 0xDBFF && k + 3 >= bytes.size() && !last)
            break; // its second half comes with the next piece
        if (code >= 0xD800 && code <= 0xDBFF && k + 3 < bytes.size() && unit(k + 2) >= 0xDC00 &&
            unit(k + 2) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(k + 2) - 0xDC00);
            k += 2;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD; // half a pair
        }
        AppendUtf8(out, code);
    }
    return k;
}

// Without a byte-order mark: text in the Latin alphabet has a zero in every other byte, the
// second of each pair in little-endian order and the first in big-endian.
int ZeroSideOfPairs(const std::string& bytes) {
    const std::size_t pairs = std::min<std::size_t>(bytes.size() / 2, 512);
    std::size_t first = 0, second = 0;
    for (std::size_t p = 0; p < pairs; ++p) {
        first += bytes[2 * p] == '\0';
        second += bytes[2 * p + 1] == '\0';
    }
    if (pairs == 0)
        return 0;
    if (second * 2 > pairs && first * 8 < second)
        return 2;
    if (first * 2 > pairs && second * 8 < first)
        return 1;
    return 0;
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

int Utf16Order(const std::string& head, std::size_t* bom) {
    *bom = 2;
    if (head.compare(0, 2, "\xFF\xFE") == 0)
        return 2;
    if (head.compare(0, 2, "\xFE\xFF") == 0)
        return 1;
    *bom = 0;
    return ZeroSideOfPairs(head);
}

std::string TakeUtf16AsUtf8(std::string& pending, bool little, bool last) {
    std::string out;
    out.reserve(pending.size() / 2);
    pending.erase(0, Utf16ToUtf8(pending, 0, little, last, out));
    return out;
}

std::string CsvText(const std::string& bytes, std::string* encoding) {
    std::size_t bom = 0;
    if (const int order = Utf16Order(bytes, &bom)) {
        *encoding = order == 2 ? "UTF-16LE" : "UTF-16BE";
        std::string out;
        Utf16ToUtf8(bytes, bom, order == 2, true, out);
        return out;
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

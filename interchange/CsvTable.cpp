#include "interchange/CsvTable.h"

#include "interchange/ContactFileError.h"
#include "interchange/TextCodec.h"

#include <algorithm>

void TCsvRowReader::Feed(std::string_view bytes) {
    if (!started_) {
        head_.append(bytes.data(), bytes.size());
        if (head_.size() < 3 && std::string_view("\xEF\xBB\xBF").substr(0, head_.size()) == head_)
            return;
        started_ = true;
        const std::string head = std::move(head_);
        head_.clear();
        const std::size_t skip = head.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        for (std::size_t i = skip; i < head.size(); ++i)
            Step(head[i]);
        return;
    }
    for (char c : bytes)
        Step(c);
}

void TCsvRowReader::Step(char c) {
    if (afterCr_) {
        afterCr_ = false;
        if (c == '\n')
            return;
    }
    if (quoted_) {
        if (!quoteSeen_) {
            if (c == '"')
                quoteSeen_ = true;
            else
                field_ += c;
            return;
        }
        quoteSeen_ = false;
        if (c == '"') {
            field_ += '"';
            return;
        }
        quoted_ = false; // the quote closed the field; what follows is read as usual
    }
    if (c == '"' && field_.empty()) {
        quoted_ = true;
        inRow_ = true;
    } else if (c == ',') {
        EndField();
        inRow_ = true;
    } else if (c == '\r' || c == '\n') {
        afterCr_ = c == '\r';
        if (inRow_ || !field_.empty())
            EndRow();
    } else {
        field_ += c;
        inRow_ = true;
    }
}

void TCsvRowReader::EndField() {
    row_.push_back(std::move(field_));
    field_.clear();
}

void TCsvRowReader::EndRow() {
    EndField();
    ready_.push_back(std::move(row_));
    row_.clear();
    inRow_ = false;
    ++made_;
}

void TCsvRowReader::Finish(bool strict) {
    if (!started_) {
        started_ = true;
        const std::string head = std::move(head_);
        head_.clear();
        Feed(head);
    }
    if (quoted_ && !quoteSeen_ && strict)
        throw EContactFileError("The file ends inside a quoted field in row " +
                                std::to_string(made_ + 1) + ": it may be cut short.");
    quoted_ = quoteSeen_ = false;
    if (inRow_ || !field_.empty())
        EndRow();
}

bool TCsvRowReader::Take(CsvRow& row) {
    if (next_ >= ready_.size()) {
        ready_.clear();
        next_ = 0;
        return false;
    }
    row = std::move(ready_[next_++]);
    return true;
}

std::vector<CsvRow> ParseCsv(const std::string& bytes) {
    TCsvRowReader reader;
    reader.Feed(bytes);
    reader.Finish();
    std::vector<CsvRow> rows;
    for (CsvRow row; reader.Take(row);)
        rows.push_back(std::move(row));
    return rows;
}

CsvRow FirstCsvRow(const std::string& bytes) {
    TCsvRowReader reader;
    // The first row ends at the first line break outside quotes; the rest need not be read.
    reader.Feed(bytes);
    reader.Finish(false);
    CsvRow row;
    reader.Take(row);
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

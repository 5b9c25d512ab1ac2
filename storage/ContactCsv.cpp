#include "ContactCsv.h"

#include "ContactFileError.h"
#include "TextCodec.h"

const CsvRow& CsvHeader() {
    static const CsvRow header = [] {
        CsvRow h;
        for (const ContactColumn& c : ContactColumnTable())
            h.push_back(c.csvHeader);
        return h;
    }();
    return header;
}

void AppendCsvContact(std::string& out, const ContactValues& saved) {
    AppendCsvRow(out, CsvRow(saved.begin(), saved.end()));
}

namespace {

// Column of the contact for each column of the file, -1 for none.
std::vector<int> MatchHeader(const CsvRow& first) {
    std::vector<int> match(first.size(), -1);
    for (std::size_t k = 0; k < first.size(); ++k) {
        const std::string name = LowerAscii(TrimmedAscii(AsUtf8(first[k])));
        for (int i = 0; i < kDataColumns && match[k] < 0; ++i)
            if (name == LowerAscii(CsvHeader()[i]) || name == LowerAscii(SaveOrderColumns()[i]))
                match[k] = i;
    }
    return match;
}

bool AnyMatch(const std::vector<int>& match) {
    for (int m : match)
        if (m >= 0)
            return true;
    return false;
}

} // namespace

bool LooksLikeContactCsv(const std::string& bytes) {
    // Only the first row matters; a header never needs more than a few kilobytes.
    std::string head = bytes.substr(0, 64 * 1024);
    const std::size_t end = head.find_first_of("\r\n");
    if (end != std::string::npos)
        head.erase(end);
    try {
        const auto rows = ParseCsv(head);
        return !rows.empty() && AnyMatch(MatchHeader(rows.front()));
    } catch (const ContactFileError&) {
        return false;
    }
}

std::vector<ImportedContact> ContactsFromCsv(const std::vector<CsvRow>& rows) {
    if (rows.empty() || !AnyMatch(MatchHeader(rows.front())))
        throw ContactFileError("The first row of the file names none of the contact columns.");
    const std::vector<int> match = MatchHeader(rows.front());
    // This program's own header, all columns in its order: a file it wrote.
    bool own = match.size() == static_cast<std::size_t>(kDataColumns);
    for (std::size_t k = 0; own && k < match.size(); ++k)
        own = match[k] == static_cast<int>(k);
    std::vector<ImportedContact> contacts;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        ImportedContact contact;
        contact.line = r + 1;
        contact.fitted.KeepLongValues(own);
        for (std::size_t k = 0; k < rows[r].size() && k < match.size(); ++k)
            if (match[k] >= 0)
                contact.fitted.Set(match[k], AsUtf8(rows[r][k]));
        contacts.push_back(std::move(contact));
    }
    return contacts;
}

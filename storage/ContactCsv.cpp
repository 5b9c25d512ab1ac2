#include "ContactCsv.h"

#include "ContactFileError.h"
#include "TextCodec.h"

const CsvRow& CsvHeader() {
    static const CsvRow header = [] {
        CsvRow h = {"First Name",
                    "Last Name",
                    "Company Name",
                    "Address",
                    "City, State, Zip Code",
                    "Contact Email",
                    "Contact Web Site Address",
                    "Phone Number",
                    "Fax Number",
                    "Notes"};
        const char* fields[kColumnsPerExtra] = {
            "Contact Name", "Contact Title", "Phone Number",          "Phone Extension",
            "Fax Number",   "Contact Email", "Notes for this contact"};
        for (int n = 1; n <= kExtraContacts; ++n)
            for (const char* f : fields)
                h.push_back("Extra Contact " + std::to_string(n) + " " + f);
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

void SetColumn(FittedContact& c, int column, const std::string& value) {
    using namespace col;
    if (column == Phone || column == Fax) {
        c.SetPhone(column, value);
        return;
    }
    if (column == Email) {
        c.SetEmail(column, value);
        return;
    }
    if (column == WebSite) {
        c.SetWeb(value);
        return;
    }
    if (column >= 10) {
        const int field = (column - 10) % kColumnsPerExtra;
        if (field == XPhone || field == XFax) {
            c.SetPhone(column, value);
            return;
        }
        if (field == XExt) {
            c.SetExtension(column, value);
            return;
        }
        if (field == XEmail) {
            c.SetEmail(column, value);
            return;
        }
    }
    c.SetText(column, value);
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
                SetColumn(contact.fitted, match[k], AsUtf8(rows[r][k]));
        contacts.push_back(std::move(contact));
    }
    return contacts;
}

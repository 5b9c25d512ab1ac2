#include "interchange/ContactCsv.h"

#include "interchange/ContactFileError.h"
#include "interchange/TextCodec.h"

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

using Names = std::vector<const char*>;

// What other programs call the contact's fields, most wanted first; "#" stands for a number
// ("E-mail 2 - Value"). Work numbers and addresses come before home ones: this is a business's
// address book.
struct FieldNames {
    int column;
    Names names;
};

const FieldNames kFieldNames[] = {
    {col::FirstName, {"First Name", "Given Name"}},
    {col::LastName, {"Last Name", "Family Name", "Surname"}},
    {col::Company,
     {"Company", "Organization", "Organization Name", "Organization # - Name", "Business Name"}},
    {col::Email,
     {"E-mail Address", "Primary Email", "E-mail # - Value", "E-mail # Address", "Email", "E-mail",
      "Email Address", "Secondary Email"}},
    {col::WebSite, {"Web Page", "Web Page #", "Website # - Value", "Website", "Web Site"}},
    {col::Phone,
     {"Business Phone", "Work Phone", "Company Main Phone", "Primary Phone", "Phone # - Value",
      "Phone", "Business Phone 2", "Mobile Phone", "Mobile Number", "Home Phone", "Home Phone 2",
      "Other Phone"}},
    {col::Fax, {"Business Fax", "Fax", "Home Fax", "Other Fax"}},
};

// One address of the file: the first with a value fills Address and "City, State, Zip Code".
struct AddressNames {
    Names streets, cities, states, zips;
};

const AddressNames kAddressNames[] = {
    {{"Business Street", "Business Street 2", "Business Street 3", "Work Address",
      "Work Address 2"},
     {"Business City", "Work City"},
     {"Business State", "Work State"},
     {"Business Postal Code", "Work ZipCode"}},
    {{"Address 1 - Street", "Address 1 - Extended Address", "Address 1 - PO Box"},
     {"Address 1 - City"},
     {"Address 1 - Region"},
     {"Address 1 - Postal Code"}},
    {{"Home Street", "Home Street 2", "Home Street 3", "Home Address", "Home Address 2"},
     {"Home City"},
     {"Home State"},
     {"Home Postal Code", "Home ZipCode"}},
    {{"Address 2 - Street", "Address 2 - Extended Address", "Address 2 - PO Box"},
     {"Address 2 - City"},
     {"Address 2 - Region"},
     {"Address 2 - Postal Code"}},
    {{"Other Street", "Other Street 2", "Other Street 3"},
     {"Other City"},
     {"Other State"},
     {"Other Postal Code"}},
};

// Case does not matter, nor blanks around the header; "#" is one or more digits.
bool NameMatches(const std::string& header, const char* pattern) {
    const std::string p = LowerAscii(pattern);
    std::size_t h = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] != '#') {
            if (h >= header.size() || header[h] != p[i])
                return false;
            ++h;
            continue;
        }
        const std::size_t digits = h;
        while (h < header.size() && header[h] >= '0' && header[h] <= '9')
            ++h;
        if (h == digits)
            return false;
    }
    return h == header.size();
}

// Which cells of each row go where.
struct Plan {
    std::vector<std::string> headers; // as the file writes them, for the notes
    std::vector<int> direct;          // an extra contact's column, set as it is; -1 for none
    std::vector<bool> notes;          // the notes of the contact
    std::vector<std::size_t> candidates[kContactColumns]; // file columns, most wanted first
    struct Address {
        std::vector<std::size_t> streets, cities, states, zips, lines;
    };
    std::vector<Address> addresses;
    bool known = false;
    bool own = false; // this program's own header, all columns in its order: a file it wrote
};

int OwnColumn(const std::string& lower) {
    for (int i = 0; i < kDataColumns; ++i)
        if (lower == LowerAscii(CsvHeader()[i]) || lower == LowerAscii(SaveOrderColumns()[i]))
            return i;
    return -1;
}

std::vector<std::size_t> Matching(const std::vector<std::string>& lower, const Names& names) {
    std::vector<std::size_t> found;
    for (const char* name : names)
        for (std::size_t k = 0; k < lower.size(); ++k)
            if (NameMatches(lower[k], name))
                found.push_back(k);
    return found;
}

Plan PlanFor(const CsvRow& first) {
    Plan plan;
    const std::size_t n = first.size();
    std::vector<std::string> lower(n);
    std::vector<int> own(n);
    plan.direct.assign(n, -1);
    plan.notes.assign(n, false);
    plan.own = n == static_cast<std::size_t>(kDataColumns);
    for (std::size_t k = 0; k < n; ++k) {
        plan.headers.push_back(TrimmedAscii(AsUtf8(first[k])));
        lower[k] = LowerAscii(plan.headers[k]);
        own[k] = OwnColumn(lower[k]);
        plan.own = plan.own && own[k] == static_cast<int>(k);
        if (own[k] >= kContactColumns)
            plan.direct[k] = own[k];
        plan.notes[k] = own[k] == col::Notes;
        plan.known = plan.known || own[k] >= 0;
    }
    // The program's own names first, then those of the others.
    Plan::Address ownAddress;
    for (std::size_t k = 0; k < n; ++k) {
        if (own[k] == col::Address)
            ownAddress.streets.push_back(k);
        else if (own[k] == col::CtyStZp)
            ownAddress.lines.push_back(k);
        else if (own[k] >= 0 && own[k] < kContactColumns && own[k] != col::Notes)
            plan.candidates[own[k]].push_back(k);
    }
    plan.addresses.push_back(ownAddress);
    for (const FieldNames& f : kFieldNames)
        for (std::size_t k : Matching(lower, f.names))
            if (own[k] < 0) {
                plan.candidates[f.column].push_back(k);
                plan.known = true;
            }
    for (const AddressNames& a : kAddressNames) {
        const Plan::Address found{Matching(lower, a.streets),
                                  Matching(lower, a.cities),
                                  Matching(lower, a.states),
                                  Matching(lower, a.zips),
                                  {}};
        plan.known = plan.known || !found.streets.empty() || !found.cities.empty() ||
                     !found.states.empty() || !found.zips.empty();
        plan.addresses.push_back(found);
    }
    return plan;
}

class RowReader {
public:
    RowReader(const Plan& plan, const CsvRow& row) : plan_(plan), used_(row.size(), false) {
        for (const std::string& cell : row)
            cells_.push_back(AsUtf8(cell));
    }

    ImportedContact Contact() {
        ImportedContact contact;
        FittedContact& c = contact.fitted;
        c.KeepLongValues(plan_.own);
        for (std::size_t k = 0; k < cells_.size() && k < plan_.direct.size(); ++k)
            if (plan_.direct[k] >= 0)
                c.Set(plan_.direct[k], Take(k));
        for (int column = 0; column < kContactColumns; ++column) {
            const std::string value = First(plan_.candidates[column]);
            if (!value.empty())
                c.Set(column, value);
        }
        for (const Plan::Address& a : plan_.addresses)
            if (SetAddress(c, a))
                break;
        for (std::size_t k = 0; k < cells_.size() && k < plan_.notes.size(); ++k)
            if (plan_.notes[k])
                c.Set(col::Notes, Take(k));
        // Whatever is left keeps its header.
        for (std::size_t k = 0; k < cells_.size(); ++k) {
            if (used_[k] || TrimmedAscii(cells_[k]).empty())
                continue;
            const bool named = k < plan_.headers.size() && !plan_.headers[k].empty();
            c.MoveToNotes(0, named ? plan_.headers[k] : "Column " + std::to_string(k + 1),
                          cells_[k]);
        }
        return contact;
    }

private:
    const std::string& Take(std::size_t k) {
        used_[k] = true;
        return cells_[k];
    }
    std::string First(const std::vector<std::size_t>& columns) {
        for (std::size_t k : columns)
            if (k < cells_.size() && !cells_[k].empty())
                return Take(k);
        return std::string();
    }
    bool SetAddress(FittedContact& c, const Plan::Address& a) {
        std::string street;
        for (std::size_t k : a.streets)
            if (k < cells_.size() && !cells_[k].empty())
                street += (street.empty() ? "" : ", ") + Take(k);
        std::string line = First(a.lines);
        if (line.empty())
            line = JoinCityLine(First(a.cities), First(a.states), First(a.zips));
        if (street.empty() && line.empty())
            return false;
        c.Set(col::Address, street);
        c.Set(col::CtyStZp, line);
        return true;
    }

    const Plan& plan_;
    std::vector<std::string> cells_;
    std::vector<bool> used_;
};

std::string Refusal(const CsvRow& first, const std::string& encoding) {
    std::string text = "The file is neither a vCard file (.vcf) nor a CSV file of contacts "
                       "(.csv). Read as " +
                       encoding;
    if (first.empty())
        return text + ", it holds no text.";
    text += ", its first row names no column this program knows: ";
    const std::size_t shown = 8;
    for (std::size_t k = 0; k < first.size() && k < shown; ++k) {
        std::string name = AsUtf8(first[k]);
        for (char& ch : name)
            if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F)
                ch = '?';
        if (EditorLength(name) > 40)
            name = EditorPrefix(name, 40) + "\xE2\x80\xA6";
        text += (k ? ", \"" : "\"") + name + "\"";
    }
    return text + (first.size() > shown ? ", \xE2\x80\xA6" : "") + ".";
}

} // namespace

std::string CsvRefusal(const std::string& text, const std::string& encoding) {
    return Refusal(FirstCsvRow(text), encoding);
}

bool LooksLikeContactCsv(const std::string& bytes) {
    std::string encoding;
    return PlanFor(FirstCsvRow(CsvText(bytes, &encoding))).known;
}

std::vector<ImportedContact> ContactsFromCsv(const std::vector<CsvRow>& rows) {
    const Plan plan = PlanFor(rows.empty() ? CsvRow() : rows.front());
    if (!plan.known)
        throw EContactFileError("The first row of the file names none of the contact columns.");
    std::vector<ImportedContact> contacts;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        contacts.push_back(RowReader(plan, rows[r]).Contact());
        contacts.back().line = r + 1;
    }
    return contacts;
}


#include "ContactFitting.h"

#include "SQLiteTable3.h"
#include "TextCodec.h"

#include <cctype>

const char* const kEmptyPhone = "(   )   -    ";
const char* const kEmptyExtension = "     ";

namespace {

enum class Kind { Text, Phone, Extension, Email, Web, Notes };

struct Rule {
    Kind kind;
    std::size_t limit; // for Text and Email
};

Rule RuleOf(int column) {
    static const Rule main[10] = {
        {Kind::Text, 18},  {Kind::Text, 18}, {Kind::Text, 25}, {Kind::Text, 30}, {Kind::Text, 30},
        {Kind::Email, 35}, {Kind::Web, 0},   {Kind::Phone, 0}, {Kind::Phone, 0}, {Kind::Notes, 0}};
    static const Rule extra[kColumnsPerExtra] = {
        {Kind::Text, 36}, {Kind::Text, 14},  {Kind::Phone, 0}, {Kind::Extension, 0},
        {Kind::Phone, 0}, {Kind::Email, 35}, {Kind::Notes, 0}};
    return column < 10 ? main[column] : extra[(column - 10) % kColumnsPerExtra];
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool HasPhoneShape(const std::string& text) {
    if (text.size() != 13 || text[0] != '(' || text[4] != ')' || text[8] != '-')
        return false;
    for (std::size_t i = 0; i < 13; ++i)
        if (i != 0 && i != 4 && i != 8 && !IsDigit(text[i]) && text[i] != ' ')
            return false;
    return true;
}

bool HasExtensionShape(const std::string& text) {
    if (text.size() != 5)
        return false;
    for (char c : text)
        if (!IsDigit(c) && c != ' ')
            return false;
    return true;
}

std::string Joined(const std::string& a, const std::string& b) {
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return a + "\r\n" + b;
}

} // namespace

bool FitPhone(const std::string& text, std::string* value) {
    const std::string trimmed = TrimmedAscii(text);
    if (trimmed.empty() || HasPhoneShape(text)) {
        *value = trimmed.empty() ? kEmptyPhone : text;
        return true;
    }
    std::string digits;
    for (std::size_t i = 0; i < trimmed.size(); ++i) {
        const char c = trimmed[i];
        if (IsDigit(c))
            digits += c;
        else if (c == '+' && i == 0)
            digits += c;
        else if (c != ' ' && c != '-' && c != '.' && c != '(' && c != ')' && c != '/')
            return false;
    }
    if (digits.compare(0, 2, "+1") == 0)
        digits.erase(0, 2);
    else if (digits.size() == 11 && digits[0] == '1')
        digits.erase(0, 1);
    if (digits.size() != 10 || digits.find('+') != std::string::npos)
        return false;
    *value = "(" + digits.substr(0, 3) + ")" + digits.substr(3, 3) + "-" + digits.substr(6);
    return true;
}

bool FitExtension(const std::string& text, std::string* value) {
    if (HasExtensionShape(text)) {
        *value = text;
        return true;
    }
    const std::string trimmed = TrimmedAscii(text);
    // The blanks of a partly filled extension travel as "_" (see ContactCards).
    std::string shaped = trimmed;
    for (char& c : shaped)
        if (c == '_')
            c = ' ';
    if (trimmed.size() == 5 && HasExtensionShape(shaped)) {
        *value = shaped;
        return true;
    }
    if (trimmed.size() > 5)
        return false;
    for (char c : trimmed)
        if (!IsDigit(c))
            return false;
    *value = std::string(5 - trimmed.size(), ' ') + trimmed;
    return true;
}

bool IsPlainEmail(const std::string& address) {
    const std::size_t at = address.find('@');
    if (at == std::string::npos || at == 0 || at + 1 >= address.size() ||
        address.find('@', at + 1) != std::string::npos)
        return false;
    for (unsigned char c : address)
        if (c <= 0x20 || c == 0x7F ||
            std::string("?&<>%#\"'\\,;:()[]").find(static_cast<char>(c)) != std::string::npos)
            return false;
    return true;
}

bool IsSafeWebAddress(const std::string& address) {
    if (address.empty())
        return true;
    for (unsigned char c : address)
        if (c <= 0x20 || c == 0x7F || c == '"' || c == '<' || c == '>' || c == '\\')
            return false;
    // A scheme is letters, digits, "+", "-" and "." before the first ":", starting with a letter.
    std::size_t colon = address.find(':');
    std::size_t end = address.find_first_of("/?#");
    if (colon != std::string::npos && (end == std::string::npos || colon < end)) {
        const std::string scheme = LowerAscii(address.substr(0, colon));
        return (scheme == "http" || scheme == "https") &&
               address.compare(colon + 1, 2, "//") == 0 && address.size() > colon + 3;
    }
    // Without a scheme it must start with a host name: a browser, not a file manager.
    const std::string host = address.substr(0, end);
    if (host.empty() || host.find('.') == std::string::npos || host.front() == '.' ||
        host.front() == '-')
        return false;
    for (unsigned char c : host)
        if (!(c >= 0x80 || std::isalnum(c) || c == '-' || c == '.'))
            return false;
    return true;
}

FittedContact::FittedContact() {
    for (int i = 0; i < kDataColumns; ++i) {
        const Kind k = RuleOf(i).kind;
        values_[i] = k == Kind::Phone ? kEmptyPhone : k == Kind::Extension ? kEmptyExtension : "";
    }
}

int FittedContact::OwnerOf(int column) {
    return column < 10 ? 0 : (column - 10) / kColumnsPerExtra + 1;
}

void FittedContact::MoveToNotes(int owner, const std::string& kind, const std::string& value) {
    moved_[owner] = Joined(moved_[owner], kind + ": " + WithCrLfBreaks(value));
    movedKinds_.push_back(owner == 0 ? kind
                                     : "Extra contact " + std::to_string(owner) + " " + kind);
}

void FittedContact::AddNoteText(int owner, const std::string& text) {
    notes_[owner] = Joined(notes_[owner], WithCrLfBreaks(text));
}

void FittedContact::SetText(int column, const std::string& value) {
    const Rule rule = RuleOf(column);
    if (rule.kind == Kind::Notes) {
        AddNoteText(OwnerOf(column), value);
        return;
    }
    if (!keepLong_ && rule.limit > 0 && EditorLength(value) > rule.limit) {
        values_[column] = EditorPrefix(value, rule.limit);
        MoveToNotes(OwnerOf(column), KindOfColumn(column), value);
        return;
    }
    values_[column] = value;
}

void FittedContact::SetPhone(int column, const std::string& number) {
    std::string value;
    if (FitPhone(number, &value))
        values_[column] = value;
    else
        MoveToNotes(OwnerOf(column), KindOfColumn(column), number);
}

void FittedContact::SetExtension(int column, const std::string& extension) {
    std::string value;
    if (FitExtension(extension, &value))
        values_[column] = value;
    else
        MoveToNotes(OwnerOf(column), KindOfColumn(column), extension);
}

void FittedContact::SetEmail(int column, const std::string& address) {
    // A cut address is another address, which the mail link would write to: one that is too
    // long goes whole into the notes instead.
    const bool fits = keepLong_ || EditorLength(address) <= RuleOf(column).limit;
    if (address.empty() || (fits && IsPlainEmail(address)))
        SetText(column, address);
    else
        MoveToNotes(OwnerOf(column), KindOfColumn(column), address);
}

void FittedContact::SetWeb(const std::string& address) {
    if (IsSafeWebAddress(address))
        values_[col::WebSite] = address;
    else
        MoveToNotes(0, KindOfColumn(col::WebSite), address);
}

bool FittedContact::IsFilled(int column) const {
    const Kind k = RuleOf(column).kind;
    if (k == Kind::Notes)
        return !notes_[OwnerOf(column)].empty();
    return values_[column] != (k == Kind::Phone       ? kEmptyPhone
                               : k == Kind::Extension ? kEmptyExtension
                                                      : "");
}

ContactValues FittedContact::Values() const {
    ContactValues values = values_;
    values[col::Notes] = Joined(notes_[0], moved_[0]);
    for (int n = 1; n <= kExtraContacts; ++n)
        values[col::ExtraColumn(n, col::XNotes)] = Joined(notes_[n], moved_[n]);
    return values;
}

ContactValues AsSaved(const ContactValues& stored) {
    ContactValues saved;
    for (int i = 0; i < kDataColumns; ++i) {
        const std::string text = AsUtf8(stored[i]);
        std::string value;
        switch (RuleOf(i).kind) {
        case Kind::Notes:
            saved[i] = WithCrLfBreaks(text);
            break;
        case Kind::Phone:
            saved[i] = FitPhone(text, &value) ? value : text;
            break;
        case Kind::Extension:
            saved[i] = FitExtension(text, &value) ? value : text;
            break;
        default:
            saved[i] = text;
        }
    }
    return saved;
}

const std::string& KindOfColumn(int column) {
    static const std::string main[10] = {
        "First Name", "Last Name", "Company Name", "Address", "City, State, Zip Code",
        "E-mail",     "Web Site",  "Phone",        "Fax",     "Notes"};
    static const std::string extra[kColumnsPerExtra] = {
        "Contact Name", "Contact Title", "Phone", "Phone Extension", "Fax", "E-mail", "Notes"};
    return column < 10 ? main[column] : extra[(column - 10) % kColumnsPerExtra];
}

std::string ContactLabel(const ContactValues& values) {
    if (!values[col::Company].empty())
        return values[col::Company];
    std::string person = values[col::FirstName];
    if (!person.empty() && !values[col::LastName].empty())
        person += ' ';
    person += values[col::LastName];
    if (!person.empty())
        return person;
    if (!values[col::ExtraColumn(1, col::XName)].empty())
        return values[col::ExtraColumn(1, col::XName)];
    return "(no name)";
}

std::vector<ContactValues> SavedContacts(TSQLiteDatabase& db, const std::string& query) {
    auto rows = db.OpenResult(query);
    std::vector<ContactValues> contacts;
    contacts.reserve(rows->RowCount());
    // Columns are looked up only in a result that has rows.
    std::size_t at[kDataColumns] = {};
    if (!rows->AtEnd())
        for (int i = 0; i < kDataColumns; ++i)
            at[i] = rows->ColumnOf(SaveOrderColumns()[i]);
    for (; !rows->AtEnd(); rows->Advance()) {
        ContactValues stored;
        for (int i = 0; i < kDataColumns; ++i)
            stored[i] = rows->TextOrEmptyAt(at[i]);
        contacts.push_back(AsSaved(stored));
    }
    return contacts;
}

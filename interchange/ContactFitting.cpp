#include "interchange/ContactFitting.h"

#include "interchange/TextCodec.h"

#include <cctype>

namespace {

const ContactColumn& ColumnAt(int column) {
    return ContactColumnTable()[column];
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Laid out as the mask shows it: literals in their places, a digit or a blank in every other.
bool HasShapeOf(const std::string& text, const char* empty) {
    const std::string mask = empty;
    if (text.size() != mask.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (mask[i] != ' ' ? text[i] != mask[i] : !IsDigit(text[i]) && text[i] != ' ')
            return false;
    return true;
}

bool HasPhoneShape(const std::string& text) {
    return HasShapeOf(text, kEmptyPhoneValue);
}

bool HasExtensionShape(const std::string& text) {
    if (text.size() != kExtensionDigits)
        return false;
    for (char c : text)
        if (!IsDigit(c) && c != ' ')
            return false;
    return true;
}

std::string Joined(const std::string& a, const std::string& b) {
    return JoinedWith(a, b, "\r\n");
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// The lines of a text that are not blank.
std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        if (!TrimmedAscii(line).empty())
            lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

} // namespace

const char* const kReadAsWindows1252 = "text in an unknown or broken charset read as Windows-1252";
const char* const kZeroBytesRemoved = "zero bytes removed";

bool FitPhone(const std::string& text, std::string* value) {
    const std::string trimmed = TrimmedAscii(text);
    if (trimmed.empty() || HasPhoneShape(text)) {
        *value = trimmed.empty() ? kEmptyPhoneValue : text;
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
    else if (digits.size() == kPhoneDigits + 1 && digits[0] == '1')
        digits.erase(0, 1);
    if (digits.size() != kPhoneDigits || digits.find('+') != std::string::npos)
        return false;
    *value = LaidIntoShape(kPhoneShape, digits);
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
    if (trimmed.size() == kExtensionDigits && HasExtensionShape(shaped)) {
        *value = shaped;
        return true;
    }
    if (trimmed.size() > kExtensionDigits)
        return false;
    for (char c : trimmed)
        if (!IsDigit(c))
            return false;
    *value = std::string(kExtensionDigits - trimmed.size(), ' ') + trimmed;
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
    for (int i = 0; i < kDataColumns; ++i)
        values_[i] = EmptyValueOf(ColumnAt(i).type);
}

int FittedContact::OwnerOf(int column) {
    return ColumnAt(column).owner;
}

void FittedContact::MoveToNotes(int owner, const std::string& kind, const std::string& value) {
    MoveToNotes(owner, kind, value, MoveReason::NoField);
}

void FittedContact::MoveToNotes(int owner, const std::string& kind, const std::string& value,
                                MoveReason why) {
    movedReasons_.push_back(why);
    // The kind comes from the file too (another program's column heading may hold a line
    // break): the notes get one kind of line end throughout.
    moved_[owner] = Joined(moved_[owner], WithCrLfBreaks(kind + ": " + value));
    movedKinds_.push_back(owner == 0 ? kind
                                     : "Extra contact " + std::to_string(owner) + " " + kind);
}

void FittedContact::AddNoteText(int owner, const std::string& text) {
    notes_[owner] = Joined(notes_[owner], WithCrLfBreaks(text));
}

void FittedContact::Set(int column, const std::string& value) {
    switch (ColumnAt(column).type) {
    case FieldType::Phone:
    case FieldType::Fax:
        SetPhone(column, value);
        return;
    case FieldType::Extension:
        SetExtension(column, value);
        return;
    case FieldType::Email:
        SetEmail(column, value);
        return;
    case FieldType::Web:
        SetWeb(value);
        return;
    case FieldType::Text:
    case FieldType::Notes:
        SetText(column, value);
        return;
    }
}

void FittedContact::SetText(int column, const std::string& value) {
    const ContactColumn& c = ColumnAt(column);
    if (c.type == FieldType::Notes) {
        AddNoteText(OwnerOf(column), value);
        return;
    }
    std::string kept = value;
    bool moved = false;
    if (HasLineBreak(value)) {
        const std::vector<std::string> lines = LinesOf(value);
        kept.clear();
        for (const std::string& line : lines) {
            kept += kept.empty() ? line : ", " + line;
            if (column != col::Address)
                break;
        }
        MoveToNotes(OwnerOf(column), KindOfColumn(column), value, MoveReason::LineBreak);
        moved = true;
    }
    if (!keepLong_ && c.limit > 0 && EditorLength(kept) > c.limit) {
        kept = EditorPrefix(kept, c.limit);
        if (!moved)
            MoveToNotes(OwnerOf(column), KindOfColumn(column), value, MoveReason::TooLong);
    }
    values_[column] = kept;
}

void FittedContact::NoteChange(const std::string& kind) {
    for (const std::string& k : changedKinds_)
        if (k == kind)
            return;
    changedKinds_.push_back(kind);
}

void FittedContact::SetPhone(int column, const std::string& number) {
    std::string value;
    if (FitPhone(number, &value))
        values_[column] = value;
    else
        MoveToNotes(OwnerOf(column), KindOfColumn(column), number, MoveReason::PhoneMask);
}

void FittedContact::SetExtension(int column, const std::string& extension) {
    std::string value;
    if (FitExtension(extension, &value))
        values_[column] = value;
    else
        MoveToNotes(OwnerOf(column), KindOfColumn(column), extension, MoveReason::PhoneMask);
}

void FittedContact::SetEmail(int column, const std::string& address) {
    // A cut address is another address, which the mail link would write to: one that is too
    // long goes whole into the notes instead.
    const bool fits = keepLong_ || EditorLength(address) <= ColumnAt(column).limit;
    if (address.empty() || (fits && IsPlainEmail(address)))
        SetText(column, address);
    else
        MoveToNotes(OwnerOf(column), KindOfColumn(column), address,
                    IsPlainEmail(address) ? MoveReason::TooLong : MoveReason::NotPlainEmail);
}

void FittedContact::SetWeb(const std::string& address) {
    if (IsSafeWebAddress(address))
        values_[col::WebSite] = address;
    else
        MoveToNotes(0, KindOfColumn(col::WebSite), address, MoveReason::UnsafeWeb);
}

bool FittedContact::IsFilled(int column) const {
    const FieldType type = ColumnAt(column).type;
    if (type == FieldType::Notes)
        return !notes_[OwnerOf(column)].empty();
    return values_[column] != EmptyValueOf(type);
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
        switch (ColumnAt(i).type) {
        case FieldType::Notes:
            saved[i] = WithCrLfBreaks(text);
            break;
        case FieldType::Phone:
        case FieldType::Fax:
            saved[i] = FitPhone(text, &value) ? value : text;
            break;
        case FieldType::Extension:
            saved[i] = FitExtension(text, &value) ? value : text;
            break;
        default:
            saved[i] = text;
        }
    }
    return saved;
}

const std::string& KindOfColumn(int column) {
    return ColumnAt(column).caption;
}

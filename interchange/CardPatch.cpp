#include "interchange/CardPatch.h"

#include "interchange/ContactCards.h"
#include "interchange/ContactFileError.h"
#include "interchange/ContactFitting.h"
#include "interchange/TextCodec.h"
#include "interchange/VCardParser.h"
#include "interchange/VCardWriter.h"
#include "model/ContactColumns.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <set>

namespace {

using Components = std::vector<std::string>;

std::string WithBlank(const std::string& a, const std::string& b) {
    return JoinedWith(a, b, " ");
}

bool AllEmpty(const Components& parts) {
    return std::all_of(parts.begin(), parts.end(), [](const std::string& p) { return p.empty(); });
}


// The line break a raw line ends with; empty for a last line without one.
std::string BreakOf(const std::string& raw) {
    for (const char* end : {"\r\r\n", "\r\n", "\n", "\r"}) {
        const std::size_t n = std::strlen(end);
        if (raw.size() >= n && raw.compare(raw.size() - n, n, end) == 0)
            return end;
    }
    return std::string();
}

std::string ParameterKey(const std::string& parameter) {
    return LowerAscii(TrimmedAscii(parameter.substr(0, parameter.find('='))));
}

std::string ParameterValue(const std::string& parameter) {
    const std::size_t equals = parameter.find('=');
    if (equals == std::string::npos)
        return std::string();
    std::string value = LowerAscii(TrimmedAscii(parameter.substr(equals + 1)));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return value;
}

// How the old value was encoded, which a rewritten value is not: it is written as UTF-8 text.
bool IsEncodingParameter(const std::string& parameter) {
    const std::string key = ParameterKey(parameter);
    if (parameter.find('=') == std::string::npos)
        return key == "quoted-printable"; // the bare word of version 2.1
    return key == "charset" ||
           (key == "encoding" && ParameterValue(parameter) == "quoted-printable");
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string QuotedPrintable(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool last = i + 1 == text.size() || text[i + 1] == '\r' || text[i + 1] == '\n';
        if ((c > ' ' && c < 0x7F && c != '=') || (c == ' ' && !last)) {
            out += static_cast<char>(c);
        } else {
            out += '=';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

// Soft line breaks ("=" at the end of a line) within 76 octets, in the value only and never
// inside an "=XX".
std::string SoftBroken(const std::string& line, std::size_t valueStart,
                       const std::string& lineBreak) {
    std::string out;
    std::size_t at = 0;
    while (line.size() - at > 75) {
        std::size_t cut = std::max(at + 74, valueStart);
        if (cut >= line.size())
            break;
        if (cut - 1 >= valueStart && line[cut - 1] == '=')
            cut -= 1;
        else if (cut - 2 >= valueStart && line[cut - 2] == '=')
            cut -= 2;
        out.append(line, at, cut - at);
        out += '=';
        out += lineBreak;
        at = cut;
    }
    out.append(line, at, std::string::npos);
    out += lineBreak;
    return out;
}

// "(713)555-0142" as a global number, "+1-713-555-0142"; any other number as it is.
std::string UriNumber(const std::string& number) {
    std::string digits;
    for (char c : number)
        if (c >= '0' && c <= '9')
            digits += c;
    if (number.size() != 13 || digits.size() != 10 || number[0] != '(')
        return number;
    return "+1-" + digits.substr(0, 3) + "-" + digits.substr(3, 3) + "-" + digits.substr(6);
}

// The lines of a text with "\r\n" breaks, as the note fields hold it.
std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0;;) {
        const std::size_t end = text.find("\r\n", at);
        lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos)
            return lines;
        at = end + 2;
    }
}

// The notes without the lines the reading adds after the card's NOTE: the whole block where it
// stands on lines of its own, else each of its lines once, wherever it is.
std::string WithoutMoved(const std::string& notes, const std::string& moved) {
    if (moved.empty())
        return notes;
    for (std::size_t at = notes.rfind(moved); at != std::string::npos;
         at = at == 0 ? std::string::npos : notes.rfind(moved, at - 1)) {
        const std::size_t end = at + moved.size();
        const bool starts = at == 0 || (at >= 2 && notes.compare(at - 2, 2, "\r\n") == 0);
        const bool ends = end == notes.size() || notes.compare(end, 2, "\r\n") == 0;
        if (!starts || !ends)
            continue;
        if (at > 0)
            return notes.substr(0, at - 2) + notes.substr(end);
        return notes.substr(std::min(end + 2, notes.size()));
    }
    std::vector<std::string> lines = LinesOf(notes);
    for (const std::string& line : LinesOf(moved)) {
        const auto found = std::find(lines.begin(), lines.end(), line);
        if (found != lines.end())
            lines.erase(found);
    }
    std::string kept;
    for (std::size_t i = 0; i < lines.size(); ++i)
        kept += (i > 0 ? "\r\n" : "") + lines[i];
    return kept;
}

// The time now in the shape of the card's REV ("2024-03-11T10:15:00Z", "20240311T101500Z", a
// date alone); a REV in local time or with an offset, or of another shape, stays as it is.
std::string RevisionNow(const std::string& revision) {
    const std::string old = TrimmedAscii(revision);
    if (old.find('T') != std::string::npos && (old.empty() || old.back() != 'Z'))
        return revision;
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char digits[32];
    std::strftime(digits, sizeof digits, "%Y%m%d%H%M%S", &utc);
    std::string out;
    std::size_t d = 0;
    for (char c : old) {
        if (c >= '0' && c <= '9')
            out += d < 14 ? digits[d++] : '0'; // fractions of a second: none
        else if (std::strchr("-:T.Z", c))
            out += c;
        else
            return revision;
    }
    return d >= 8 ? out : revision;
}

// A card's text as content lines, changed line by line: a line replaced, removed or inserted
// is the only one whose bytes change.
class CardText {
public:
    explicit CardText(const std::string& text) : lines_(SplitCardLines(text)) {
        before_.resize(lines_.size() + 1);
        int begins = 0;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            const VCardLine& line = lines_[i];
            if (lineBreak_.empty())
                lineBreak_ = BreakOf(line.raw);
            if (line.depth != 1)
                continue;
            if (line.property.name == "BEGIN")
                ++begins;
            else if (line.property.name == "END" && end_ < 0)
                end_ = static_cast<int>(i);
            else if (line.property.name == "VERSION")
                version_ = TrimmedAscii(line.property.value);
        }
        if (lineBreak_.empty())
            lineBreak_ = "\r\n";
        if (begins != 1)
            end_ = -1;
    }

    bool IsOneCard() const { return end_ >= 0; }
    bool Changed() const { return changed_; }

    std::vector<int> Indices(const char* name) const {
        std::vector<int> found;
        for (int i = 0; i < end_; ++i)
            if (lines_[i].depth == 1 && lines_[i].property.name == name)
                found.push_back(i);
        return found;
    }
    int First(const char* name) const {
        const std::vector<int> all = Indices(name);
        return all.empty() ? -1 : all.front();
    }
    const VCardProperty& At(int i) const { return lines_[i].property; }
    const std::vector<std::string>& Parameters(int i) const { return lines_[i].parameters; }
    std::string Text(int i) const { return UnescapeText(At(i).value, version_); }
    Components Parts(int i) const { return SplitComponents(At(i).value, ';', version_); }

    // A text value in the card's version: backslash escapes; version 2.1 escapes the semicolon
    // only and leaves line breaks to quoted-printable.
    std::string Escape(const std::string& text) const {
        if (version_ != "2.1")
            return VCardWriter::Escaped(text);
        std::string out;
        for (char c : text) {
            if (c == ';')
                out += '\\';
            out += c;
        }
        return out;
    }
    std::string Structured(const Components& parts) const {
        std::string out;
        for (std::size_t i = 0; i < parts.size(); ++i)
            out += (i > 0 ? ";" : "") + Escape(parts[i]);
        return out;
    }

    // Property i takes the value (with its group and parameters), or goes when the value is
    // empty; without one (i < 0) a new property `head` comes before the first property named
    // `before`, or at the end of the card.
    void Set(int i, const char* head, const std::string& value, const char* before) {
        if (i >= 0 && value.empty()) {
            Remove(i);
        } else if (i >= 0) {
            Replace(i, value);
        } else if (!value.empty()) {
            const int at = before && First(before) >= 0 ? First(before) : end_;
            std::string lineBreak = BreakOf(lines_[at - 1].raw);
            before_[at] += Line(head, value, lineBreak.empty() ? lineBreak_ : lineBreak);
            changed_ = true;
        }
    }
    void Replace(int i, const std::string& value) {
        VCardLine& line = lines_[i];
        std::string head = line.head;
        for (const std::string& parameter : line.parameters)
            if (!IsEncodingParameter(parameter))
                head += ';' + parameter;
        const std::string lineBreak = BreakOf(line.raw);
        std::string raw = Line(head, value, lineBreak.empty() ? lineBreak_ : lineBreak);
        if (raw != line.raw) {
            line.raw = std::move(raw);
            changed_ = true;
        }
    }
    void Remove(int i) {
        lines_[i].raw.clear();
        changed_ = true;
    }
    // Lines of another card (their exact bytes, but for the line breaks, which become this
    // card's) before its END.
    void AddBeforeEnd(const std::string& raw) {
        std::string out;
        for (std::size_t at = 0; at < raw.size();) {
            const std::size_t end = raw.find('\n', at);
            if (end == std::string::npos) {
                out += raw.substr(at);
                break;
            }
            const std::size_t cut = end > at && raw[end - 1] == '\r' ? end - 1 : end;
            out += raw.substr(at, cut - at) + lineBreak_;
            at = end + 1;
        }
        before_[end_] += out;
        changed_ = true;
    }
    const std::string& Version() const { return version_; }

    std::string Output() const {
        std::string out;
        for (std::size_t i = 0; i < lines_.size(); ++i)
            out += before_[i] + lines_[i].raw;
        return out;
    }

private:
    std::string Line(std::string head, const std::string& value,
                     const std::string& lineBreak) const {
        if (version_ != "2.1")
            return VCardWriter::Folded(head + ':' + value, lineBreak);
        // Version 2.1 keeps the blank it folds at, so a line is folded only where quoted-
        // printable breaks it softly.
        if (!IsAscii(value))
            head += ";CHARSET=UTF-8";
        if (value.find_first_of("\r\n") == std::string::npos)
            return head + ':' + value + lineBreak;
        head += ";ENCODING=QUOTED-PRINTABLE";
        return SoftBroken(head + ':' + QuotedPrintable(value), head.size() + 1, lineBreak);
    }

    std::vector<VCardLine> lines_;
    std::vector<std::string> before_; // new lines before each line
    std::string version_;
    std::string lineBreak_; // the card's first, for lines that have none of their own
    int end_ = -1;          // the card's END
    bool changed_ = false;
};

struct Change {
    CardText& card;
    const ContactValues& before;
    const ContactValues& after;
    bool ownCard; // written by this program, whose long values the reading keeps whole

    bool Changed(int column) const { return before[column] != after[column]; }
    std::string TextOf(int column) const {
        return after[column].empty() ? std::string() : card.Escape(after[column]);
    }
};

void PatchOrganisation(Change& c) {
    if (!c.Changed(col::Company))
        return;
    const int org = c.card.First("ORG");
    Components parts = org >= 0 ? c.card.Parts(org) : Components(1);
    parts[0] = c.after[col::Company]; // the units after it stay
    c.card.Set(org, "ORG", AllEmpty(parts) ? "" : c.card.Structured(parts), nullptr);
}

// N as the reading folds it into the fields: prefix, given and additional names the first name,
// family name and suffix the last; FN the person's name as this program words it.
void PatchPersonName(Change& c) {
    using namespace col;
    if (!c.Changed(FirstName) && !c.Changed(LastName))
        return;
    const int n = c.card.First("N");
    Components parts = n >= 0 ? c.card.Parts(n) : Components();
    parts.resize(std::max<std::size_t>(parts.size(), 5));
    if (AllEmpty(Components(parts.begin(), parts.begin() + 5))) {
        // The reading took the names from FN: the one not changed stays as the field shows it.
        parts[0] = c.before[LastName];
        parts[1] = c.before[FirstName];
    }
    if (c.Changed(FirstName)) {
        parts[1] = c.after[FirstName];
        parts[2] = parts[3] = "";
    }
    if (c.Changed(LastName)) {
        parts[0] = c.after[LastName];
        parts[4] = "";
    }
    c.card.Set(n, "N", c.card.Structured(parts), "FN");
    const std::string name = WithBlank(WithBlank(WithBlank(parts[3], parts[1]), parts[2]),
                                       WithBlank(parts[0], parts[4]));
    if (!name.empty())
        c.card.Set(c.card.First("FN"), "FN", c.card.Escape(name), "N");
}

void PatchExtraName(Change& c, int person) {
    const int column = col::ExtraColumn(person, col::XName);
    if (!c.Changed(column))
        return;
    const std::string& name = c.after[column];
    std::string given, family;
    SplitExtraName(name, &given, &family);
    // An N without names tells the reading that an FN standing in for the name is none.
    c.card.Set(c.card.First("N"), "N", c.card.Structured({family, given, "", "", ""}), "FN");
    if (!name.empty())
        c.card.Set(c.card.First("FN"), "FN", c.card.Escape(name), "N");
}

void PatchAddress(Change& c) {
    using namespace col;
    if (!c.Changed(Address) && !c.Changed(CtyStZp))
        return;
    const int adr = c.card.First("ADR");
    Components parts = adr >= 0 ? c.card.Parts(adr) : Components();
    parts.resize(std::max<std::size_t>(parts.size(), 7));
    if (c.Changed(Address)) {
        parts[0] = parts[1] = "";
        parts[2] = c.after[Address];
    }
    if (c.Changed(CtyStZp))
        SplitCityLine(c.after[CtyStZp], &parts[3], &parts[4], &parts[5]);
    c.card.Set(adr, "ADR;TYPE=WORK", AllEmpty(parts) ? "" : c.card.Structured(parts), "ADR");
}

// A TEL written as a URI, "VALUE=uri" or "tel:+1-555-555-0100", stays one.
bool IsUriTel(const CardText& card, int tel) {
    if (StartsWithNoCase(card.Text(tel), "tel:"))
        return true;
    for (const std::string& parameter : card.Parameters(tel))
        if (ParameterKey(parameter) == "value" && ParameterValue(parameter) == "uri")
            return true;
    return false;
}

// The first TEL that is not a fax is the phone (with the extra person's extension), the first
// fax the fax.
void PatchPhones(Change& c, int phoneColumn, int extColumn, int faxColumn) {
    int voice = -1, fax = -1;
    for (int tel : c.card.Indices("TEL")) {
        int& first = c.card.At(tel).HasType("fax") ? fax : voice;
        if (first < 0)
            first = tel;
    }
    const bool phoneChanged = c.Changed(phoneColumn);
    const bool extChanged = extColumn >= 0 && c.Changed(extColumn);
    std::string fitted;
    if (phoneChanged || extChanged) {
        std::string number, extension;
        if (voice >= 0)
            SplitTelValue(c.card.Text(voice), &number, &extension);
        if (voice >= 0 && phoneChanged && !FitPhone(number, &fitted))
            voice = -1; // the number did not fit: the field's phone comes first from now on
        if (voice < 0)
            number.clear(), extension.clear();
        if (phoneChanged)
            number = IsUnfilled(c.after[phoneColumn]) ? "" : c.after[phoneColumn];
        if (extChanged)
            extension = c.after[extColumn];
        // The contact's own phone has no extension field: one the card gives stays with it.
        const bool gone = number.empty() && (extColumn < 0 || IsUnfilled(extension) ||
                                             TrimmedAscii(extension).empty());
        std::string value;
        if (!gone && voice >= 0 && IsUriTel(c.card, voice)) {
            const std::string ext = PhoneWithExtension("", extension);
            value = "tel:" + UriNumber(number) + (ext.empty() ? "" : ";ext=" + ext.substr(1));
        } else if (!gone) {
            value = c.card.Escape(PhoneWithExtension(number, extension));
        }
        c.card.Set(voice, "TEL;TYPE=WORK,VOICE", value, "TEL");
    }
    if (c.Changed(faxColumn)) {
        if (fax >= 0 && !FitPhone(c.card.Text(fax), &fitted))
            fax = -1;
        c.card.Set(fax, "TEL;TYPE=WORK,FAX",
                   IsUnfilled(c.after[faxColumn]) ? "" : c.card.Escape(c.after[faxColumn]),
                   "TEL");
    }
}

void PatchEmail(Change& c, int column) {
    if (!c.Changed(column))
        return;
    int email = c.card.First("EMAIL");
    std::string scheme;
    if (email >= 0) {
        std::string address = c.card.Text(email);
        if (StartsWithNoCase(address, "mailto:")) {
            scheme = address.substr(0, 7);
            address.erase(0, 7);
        }
        const std::size_t limit = ContactColumnTable()[column].limit;
        const bool fits = address.empty() ||
                          ((c.ownCard || EditorLength(address) <= limit) && IsPlainEmail(address));
        if (!fits)
            email = -1, scheme.clear();
    }
    c.card.Set(email, "EMAIL;TYPE=INTERNET",
               c.after[column].empty() ? "" : c.card.Escape(scheme + c.after[column]), "EMAIL");
}

void PatchWebSite(Change& c) {
    if (!c.Changed(col::WebSite))
        return;
    // The reading takes the first address it deems safe.
    int url = -1;
    for (int u : c.card.Indices("URL")) {
        const std::string address = c.card.Text(u);
        if (!address.empty() && IsSafeWebAddress(address)) {
            url = u;
            break;
        }
    }
    c.card.Set(url, "URL", c.TextOf(col::WebSite), "URL");
}

void PatchTitle(Change& c, int person) {
    const int column = col::ExtraColumn(person, col::XTitle);
    if (c.Changed(column))
        c.card.Set(c.card.First("TITLE"), "TITLE", c.TextOf(column), nullptr);
}

// NOTE is the notes without the values the reading of this card moves there: those lines
// stay in their own properties. All NOTEs of the card are read as one text, so the first
// takes it.
void PatchNotes(Change& c, int column, int owner, const FittedContact& read) {
    if (!c.Changed(column))
        return;
    const std::string kept = WithoutMoved(c.after[column], read.MovedNotes(owner));
    if (kept == read.NoteText(owner))
        return;
    const std::vector<int> notes = c.card.Indices("NOTE");
    for (std::size_t k = 1; k < notes.size(); ++k)
        c.card.Remove(notes[k]);
    c.card.Set(notes.empty() ? -1 : notes.front(), "NOTE", kept.empty() ? "" : c.card.Escape(kept),
               nullptr);
}

bool NameIsRead(const VCard& card, int person) {
    const ContactValues values = ReadPersonCard(card, person).fitted.Values();
    if (person == 0)
        return !values[col::FirstName].empty() || !values[col::LastName].empty();
    return !values[col::ExtraColumn(person, col::XName)].empty();
}

bool AnyChanged(int person, const ContactValues& before, const ContactValues& after) {
    std::vector<int> columns;
    if (person == 0)
        for (int i = col::FirstName; i <= col::Notes; ++i)
            columns.push_back(i);
    else
        for (int f = col::XName; f <= col::XNotes; ++f)
            columns.push_back(col::ExtraColumn(person, static_cast<col::Extra>(f)));
    columns.push_back(col::Company);
    return std::any_of(columns.begin(), columns.end(),
                       [&](int i) { return before[i] != after[i]; });
}

} // namespace

namespace {

// A picture, logo, sound or key held in the card (not named by a URI) in the form `version`
// gives it: 4.0 a data: URI, 3.0 base64 with ENCODING=b and the TYPE. Empty for any other value,
// and to or from version 2.1, whose base64 block may go on in lines of its own.
std::string InlineBinaryIn(const VCardLine& line, const std::string& from, const std::string& version) {
    const VCardProperty& p = line.property;
    if ((p.name != "PHOTO" && p.name != "LOGO" && p.name != "SOUND" && p.name != "KEY") ||
        (from != "3.0" && from != "4.0"))
        return std::string();
    std::string media, payload;
    // A URI needs no escapes, though some servers write them (vobject's "data:image/jpeg\;base64\,").
    std::string uri;
    for (std::size_t i = 0; i < p.value.size(); ++i)
        if (p.value[i] != '\\' || i + 1 >= p.value.size() ||
            (p.value[i + 1] != ';' && p.value[i + 1] != ','))
            uri += p.value[i];
    if (LowerAscii(uri.substr(0, 5)) == "data:") {
        const std::size_t comma = uri.find(',');
        const std::string head = comma == std::string::npos ? "" : uri.substr(5, comma - 5);
        if (head.size() < 7 || LowerAscii(head.substr(head.size() - 7)) != ";base64")
            return std::string();
        media = LowerAscii(head.substr(0, head.size() - 7));
        payload = uri.substr(comma + 1);
    } else {
        bool base64 = false;
        std::string type;
        for (const std::string& parameter : line.parameters) {
            const std::string key = ParameterKey(parameter), value = ParameterValue(parameter);
            base64 = base64 || (key == "encoding" && (value == "b" || value == "base64"));
            if (key == "type" && type.empty())
                type = value;
        }
        if (!base64)
            return std::string();
        const char* kind = p.name == "SOUND" ? "audio/" : p.name == "KEY" ? "application/" : "image/";
        media = type.empty() || type.find('/') != std::string::npos ? type : kind + type;
        for (char c : p.value)
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                payload += c;
    }
    if (version == "4.0")
        return VCardWriter::Folded(p.name + ":data:" + media + ";base64," + payload);
    if (version != "3.0")
        return std::string();
    const std::size_t slash = media.find('/');
    const std::string type = slash == std::string::npos ? media : media.substr(slash + 1);
    return VCardWriter::Folded(p.name + ";ENCODING=b" + (type.empty() ? "" : ";TYPE=" + UpperAscii(type)) +
                               ":" + payload);
}

} // namespace

std::string WithCarriedProperties(const std::string& card,
                                  const std::vector<std::string>& others) {
    CardText text(card);
    if (!text.IsOneCard())
        return card;
    std::set<std::string> had;
    for (const VCardLine& line : SplitCardLines(card))
        if (line.depth == 1)
            had.insert(line.property.name);
    std::set<std::string> added;
    for (const std::string& other : others) {
        const std::vector<VCardLine> lines = SplitCardLines(other);
        std::string version;
        for (const VCardLine& line : lines)
            if (line.depth == 1 && line.property.name == "VERSION")
                version = TrimmedAscii(line.property.value);
        const bool sameVersion = version == text.Version();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const VCardLine& line = lines[i];
            const VCardProperty& p = line.property;
            if (line.depth != 1 || !p.group.empty() || !TellsOfPersonWithoutField(p.name) ||
                had.count(p.name))
                continue;
            // Another version writes a picture otherwise: it goes in this card's form.
            if (const std::string inCardsForm = sameVersion ? "" : InlineBinaryIn(line, version, text.Version());
                !inCardsForm.empty()) {
                text.AddBeforeEnd(inCardsForm);
                added.insert(p.name);
                continue;
            }
            // Other encoded values and charsets stay behind.
            if (!sameVersion &&
                std::any_of(line.parameters.begin(), line.parameters.end(), [](const auto& q) {
                    const std::string key = ParameterKey(q);
                    return key == "encoding" || key == "charset" || key == "base64" ||
                           key == "quoted-printable" || key == "b";
                }))
                continue;
            std::string raw = line.raw;
            // An old base64 block goes on in lines of its own, up to the blank line after it.
            while (i + 1 < lines.size() && lines[i + 1].depth == 1 &&
                   lines[i + 1].property.name.empty())
                raw += lines[++i].raw;
            text.AddBeforeEnd(raw);
            added.insert(p.name);
        }
        had.insert(added.begin(), added.end());
    }
    return text.Changed() ? text.Output() : card;
}

std::string PatchCard(const std::string& received, int person, const ContactValues& before,
                      const ContactValues& after) {
    using namespace col;
    if (person < 0 || person > kExtraContacts || !AnyChanged(person, before, after))
        return received;
    std::size_t bom = 0;
    const std::string text = Utf16Order(received, &bom) ? TextFileAsUtf8(received) : received;
    std::vector<VCard> read;
    try {
        read = ParseVCards(text);
    } catch (const EContactFileError&) {
        return received;
    }
    CardText card(text);
    if (read.size() != 1 || !card.IsOneCard())
        return received;
    const ImportedContact was = ReadPersonCard(read.front(), person);

    Change c{card, before, after, IsOwnCard(read.front())};
    PatchOrganisation(c);
    if (person == 0) {
        PatchPersonName(c);
        PatchAddress(c);
        PatchPhones(c, Phone, -1, Fax);
        PatchEmail(c, Email);
        PatchWebSite(c);
        PatchNotes(c, Notes, 0, was.fitted);
    } else {
        PatchExtraName(c, person);
        PatchTitle(c, person);
        PatchPhones(c, ExtraColumn(person, XPhone), ExtraColumn(person, XExt),
                    ExtraColumn(person, XFax));
        PatchEmail(c, ExtraColumn(person, XEmail));
        PatchNotes(c, ExtraColumn(person, XNotes), person, was.fitted);
    }
    if (!card.Changed())
        return received;
    std::string patched = card.Output();

    // Without a person's name FN stands in for one: when the change left it naming someone
    // (the old company, or the name just cleared), it says what the card holds instead.
    const bool noName = person == 0 ? after[FirstName].empty() && after[LastName].empty()
                                    : after[ExtraColumn(person, XName)].empty();
    if (noName) {
        const VCard now = ParseVCards(patched).front();
        if (NameIsRead(now, person)) {
            CardText named(patched);
            named.Set(named.First("FN"), "FN", named.Escape(StandInName(now)), "N");
            patched = named.Output();
        }
    }
    CardText dated(patched);
    if (const int rev = dated.First("REV"); rev >= 0) {
        dated.Replace(rev, RevisionNow(dated.At(rev).value));
        patched = dated.Output();
    }
    return patched == received ? received : patched;
}

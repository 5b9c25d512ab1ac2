#include "ContactCards.h"

#include "TextCodec.h"
#include "VCardWriter.h"
#include "unitAppInformation.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <random>

namespace {

const char* const kExtraOf = "X-VELLICARD-EXTRA-OF";

std::string ProductId() {
    return "-//" + AppMakerName() + "//" + AppTitle() + " " + AppMajorVersion() +
           AppMinorVersion() + "//EN";
}

std::string NewUid() {
    static std::mt19937_64 random{std::random_device{}()};
    const std::uint64_t a = random(), b = random();
    char text[64];
    std::snprintf(text, sizeof text, "urn:uuid:%08x-%04x-4%03x-%04x-%012llx",
                  static_cast<unsigned>(a >> 32), static_cast<unsigned>((a >> 16) & 0xFFFF),
                  static_cast<unsigned>(a & 0xFFF),
                  static_cast<unsigned>(0x8000 | ((b >> 48) & 0x3FFF)),
                  static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFULL));
    return text;
}

std::string WithBlank(const std::string& a, const std::string& b) {
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return a + ' ' + b;
}

bool IsBlankPhone(const std::string& value) {
    return value.empty() || value == kEmptyPhoneValue;
}

// The extension after the number, " x123". One with blanks inside (typed into the middle of
// the field) keeps them as "_" so that it comes back in the same places.
std::string PhoneWithExtension(const std::string& phone, const std::string& extension) {
    std::string number = IsBlankPhone(phone) ? std::string() : phone;
    const std::string digits = TrimmedAscii(extension);
    if (digits.empty())
        return number;
    std::string ext = digits;
    if (extension.size() != 5 || extension.compare(5 - digits.size(), digits.size(), digits) != 0 ||
        digits.find(' ') != std::string::npos) {
        ext = extension;
        for (char& c : ext)
            if (c == ' ')
                c = '_';
    }
    return number.empty() ? "x" + ext : number + " x" + ext;
}

bool ExtraIsEmpty(const ContactValues& v, int n) {
    for (int f = col::XName; f <= col::XNotes; ++f) {
        const std::string& value = v[col::ExtraColumn(n, static_cast<col::Extra>(f))];
        if (!(value.empty() || value == kEmptyPhoneValue || value == kEmptyExtensionValue))
            return false;
    }
    return true;
}

} // namespace

void SplitCityLine(const std::string& line, std::string* locality, std::string* region,
                   std::string* code) {
    *locality = line;
    region->clear();
    code->clear();
    const std::size_t comma = line.rfind(", ");
    if (comma == std::string::npos || comma == 0)
        return;
    const std::string rest = line.substr(comma + 2);
    const std::size_t blank = rest.rfind(' ');
    if (blank == std::string::npos || blank == 0 || blank + 1 == rest.size())
        return;
    const std::string r = rest.substr(0, blank), c = rest.substr(blank + 1);
    if (c.find_first_of("0123456789") == std::string::npos)
        return;
    const std::string l = line.substr(0, comma);
    // Only a split that joins back to the very same line.
    if (JoinCityLine(l, r, c) != line || TrimmedAscii(r) != r || TrimmedAscii(l) != l)
        return;
    *locality = l;
    *region = r;
    *code = c;
}

bool IsOwnCard(const VCard& card) {
    const VCardProperty* p = card.First("PRODID");
    return p && p->value.find("//" + AppTitle() + " ") != std::string::npos;
}

std::string JoinCityLine(const std::string& locality, const std::string& region,
                         const std::string& code) {
    const std::string tail = WithBlank(region, code);
    if (locality.empty() || tail.empty())
        return locality + tail;
    return locality + ", " + tail;
}

void WriteContactCards(VCardWriter& w, const ContactValues& v) {
    using namespace col;
    const std::string uid = NewUid();
    w.BeginCard();
    w.Property("PRODID", ProductId());
    w.Property("UID", uid);
    w.Property("N", VCardWriter::Structured({v[LastName], v[FirstName], "", "", ""}));
    const std::string person = WithBlank(v[FirstName], v[LastName]);
    w.Property("FN", VCardWriter::Escaped(person.empty() ? v[Company] : person));
    w.Text("ORG", v[Company]);
    if (!v[Address].empty() || !v[CtyStZp].empty()) {
        std::string locality, region, code;
        SplitCityLine(v[CtyStZp], &locality, &region, &code);
        w.Property("ADR;TYPE=WORK",
                   VCardWriter::Structured({"", "", v[Address], locality, region, code, ""}));
    }
    if (!IsBlankPhone(v[Phone]))
        w.Text("TEL;TYPE=WORK,VOICE", v[Phone]);
    if (!IsBlankPhone(v[Fax]))
        w.Text("TEL;TYPE=WORK,FAX", v[Fax]);
    w.Text("EMAIL;TYPE=INTERNET", v[Email]);
    w.Text("URL", v[WebSite]);
    w.Text("NOTE", v[Notes]);
    w.EndCard();

    for (int n = 1; n <= kExtraContacts; ++n) {
        if (ExtraIsEmpty(v, n))
            continue;
        const std::string& name = v[ExtraColumn(n, XName)];
        const std::size_t blank = name.rfind(' ');
        const std::string given = blank == std::string::npos ? name : name.substr(0, blank);
        const std::string family = blank == std::string::npos ? "" : name.substr(blank + 1);
        w.BeginCard();
        w.Property("PRODID", ProductId());
        w.Property("UID", NewUid());
        w.Property("N", VCardWriter::Structured({family, given, "", "", ""}));
        w.Property("FN", VCardWriter::Escaped(name));
        w.Text("ORG", v[Company]);
        w.Text("TITLE", v[ExtraColumn(n, XTitle)]);
        w.Text("TEL;TYPE=WORK,VOICE",
               PhoneWithExtension(v[ExtraColumn(n, XPhone)], v[ExtraColumn(n, XExt)]));
        if (!IsBlankPhone(v[ExtraColumn(n, XFax)]))
            w.Text("TEL;TYPE=WORK,FAX", v[ExtraColumn(n, XFax)]);
        w.Text("EMAIL;TYPE=INTERNET", v[ExtraColumn(n, XEmail)]);
        w.Text("NOTE", v[ExtraColumn(n, XNotes)]);
        w.Property("RELATED;TYPE=colleague", uid);
        w.Property(kExtraOf, uid + ";" + std::to_string(n));
        w.EndCard();
    }
}

// ---------------------------------------------------------------------------------------------
// Reading

namespace {

struct Tel {
    std::string number;
    std::string extension;
};

// "(225)123-5567 x123", "+1 225 123 5567 ext. 123", "tel:+1-225-123-5567;ext=123".
Tel SplitTel(std::string value) {
    Tel tel;
    if (StartsWithNoCase(value, "tel:"))
        value.erase(0, 4);
    const std::string lower = LowerAscii(value);
    const std::size_t uriExt = lower.find(";ext=");
    if (uriExt != std::string::npos) {
        tel.number = value.substr(0, uriExt);
        tel.extension = value.substr(uriExt + 5);
        return tel;
    }
    // The extension is the last "x", "ext", "ext." or "#" followed by digits (or "_") only.
    for (std::size_t at = lower.size(); at-- > 0;) {
        std::size_t marker = std::string::npos, after = 0;
        if (lower.compare(at, 4, "ext.") == 0)
            marker = at, after = at + 4;
        else if (lower.compare(at, 3, "ext") == 0)
            marker = at, after = at + 3;
        else if (lower[at] == 'x' || lower[at] == '#')
            marker = at, after = at + 1;
        if (marker == std::string::npos)
            continue;
        const std::string ext = TrimmedAscii(value.substr(after));
        if (ext.empty() || ext.find_first_not_of("0123456789_") != std::string::npos)
            break;
        std::string number = value.substr(0, marker);
        // Our own cards put one blank before the "x"; the number keeps any blanks of its own.
        if (!number.empty() && number.back() == ' ')
            number.pop_back();
        tel.number = number;
        tel.extension = ext;
        return tel;
    }
    tel.number = value;
    return tel;
}

class CardReader {
public:
    explicit CardReader(const VCard& card) : card_(card) {}

    std::string Text(const VCardProperty& p) const { return UnescapeText(p.value, card_.version); }
    std::vector<std::string> Parts(const VCardProperty& p, char sep = ';') const {
        return SplitComponents(p.value, sep, card_.version);
    }
    std::string TextOf(const char* name) const {
        const VCardProperty* p = card_.First(name);
        return p ? Text(*p) : std::string();
    }

private:
    const VCard& card_;
};

std::string Part(const std::vector<std::string>& parts, std::size_t i) {
    return i < parts.size() ? parts[i] : std::string();
}

// The organisation's units after the name, "Company, Department".
std::string Organisation(const CardReader& r, const VCard& card) {
    const VCardProperty* org = card.First("ORG");
    if (!org)
        return std::string();
    std::string text;
    for (const std::string& unit : r.Parts(*org))
        if (!unit.empty())
            text = text.empty() ? unit : text + ", " + unit;
    return text;
}

void ReadPhones(FittedContact& c, const CardReader& r, const VCard& card, int phoneCol, int extCol,
                int faxCol, int owner) {
    bool phoneDone = false, faxDone = false;
    for (const VCardProperty& p : card.properties) {
        if (p.name != "TEL")
            continue;
        const std::string value = r.Text(p);
        const bool fax = p.HasType("fax");
        if (fax && !faxDone) {
            faxDone = true;
            c.SetPhone(faxCol, value);
        } else if (!fax && !phoneDone) {
            phoneDone = true;
            const Tel tel = SplitTel(value);
            c.SetPhone(phoneCol, tel.number);
            if (extCol >= 0)
                c.SetExtension(extCol, tel.extension);
            else if (!tel.extension.empty())
                c.MoveToNotes(owner, "Phone Extension", tel.extension); // the contact has none
        } else {
            c.MoveToNotes(owner, fax ? "Fax" : "Phone", value);
        }
    }
}

void ReadEmails(FittedContact& c, const CardReader& r, const VCard& card, int emailCol, int owner) {
    bool done = false;
    for (const VCardProperty& p : card.properties) {
        if (p.name != "EMAIL")
            continue;
        std::string value = r.Text(p);
        if (StartsWithNoCase(value, "mailto:"))
            value.erase(0, 7);
        if (done)
            c.MoveToNotes(owner, "E-mail", value);
        else
            c.SetEmail(emailCol, value);
        done = true;
    }
}

void ReadNotes(FittedContact& c, const CardReader& r, const VCard& card, int owner) {
    for (const VCardProperty& p : card.properties)
        if (p.name == "NOTE")
            c.AddNoteText(owner, r.Text(p));
}

FittedContact ReadContactCard(const VCard& card) {
    using namespace col;
    FittedContact c;
    c.KeepLongValues(IsOwnCard(card));
    const CardReader r(card);
    const std::string company = Organisation(r, card);
    c.SetText(Company, company);

    std::string first, last;
    if (const VCardProperty* n = card.First("N")) {
        const auto parts = r.Parts(*n);
        first = WithBlank(WithBlank(Part(parts, 3), Part(parts, 1)), Part(parts, 2));
        last = WithBlank(Part(parts, 0), Part(parts, 4));
    }
    if (first.empty() && last.empty()) {
        const std::string fn = r.TextOf("FN");
        if (!fn.empty() && fn != company) {
            const std::size_t blank = fn.rfind(' ');
            first = blank == std::string::npos ? fn : fn.substr(0, blank);
            last = blank == std::string::npos ? "" : fn.substr(blank + 1);
        }
    }
    c.SetText(FirstName, first);
    c.SetText(LastName, last);

    bool addressDone = false;
    for (const VCardProperty& p : card.properties) {
        if (p.name == "ADR") {
            const auto parts = r.Parts(p);
            const std::string street =
                WithBlank(WithBlank(Part(parts, 0), Part(parts, 1)), Part(parts, 2));
            const std::string city = JoinCityLine(Part(parts, 3), Part(parts, 4), Part(parts, 5));
            if (addressDone) {
                c.MoveToNotes(0, "Address", WithBlank(WithBlank(street, city), Part(parts, 6)));
                continue;
            }
            addressDone = true;
            c.SetText(Address, street);
            c.SetText(CtyStZp, city);
            if (!Part(parts, 6).empty())
                c.MoveToNotes(0, "Country", Part(parts, 6));
        } else if (p.name == "URL") {
            if (c.IsFilled(WebSite))
                c.MoveToNotes(0, "Web Site", r.Text(p));
            else
                c.SetWeb(r.Text(p));
        } else if (p.name == "TITLE" || p.name == "ROLE") {
            c.MoveToNotes(0, p.name == "TITLE" ? "Title" : "Role", r.Text(p));
        }
    }
    ReadPhones(c, r, card, Phone, -1, Fax, 0);
    ReadEmails(c, r, card, Email, 0);
    ReadNotes(c, r, card, 0);
    return c;
}

void ReadExtraCard(FittedContact& c, const VCard& card, int n) {
    using namespace col;
    const CardReader r(card);
    std::string name = r.TextOf("FN");
    if (!card.First("FN")) {
        if (const VCardProperty* np = card.First("N")) {
            const auto parts = r.Parts(*np);
            name = WithBlank(Part(parts, 1), Part(parts, 0));
        }
    }
    c.SetText(ExtraColumn(n, XName), name);
    c.SetText(ExtraColumn(n, XTitle), r.TextOf("TITLE"));
    ReadPhones(c, r, card, ExtraColumn(n, XPhone), ExtraColumn(n, XExt), ExtraColumn(n, XFax), n);
    ReadEmails(c, r, card, ExtraColumn(n, XEmail), n);
    ReadNotes(c, r, card, n);
}

// An extra contact with no place left: one line in the contact's notes.
void ExtraToNotes(FittedContact& c, const VCard& card) {
    const CardReader r(card);
    std::string text = r.TextOf("FN");
    for (const VCardProperty& p : card.properties)
        if (p.name == "TITLE" || p.name == "TEL" || p.name == "EMAIL" || p.name == "NOTE")
            text = text.empty() ? r.Text(p) : text + ", " + r.Text(p);
    c.MoveToNotes(0, "Extra contact", text);
}

struct Link {
    std::string parent;
    int position = 0;
};

Link LinkOf(const VCard& card) {
    Link link;
    const VCardProperty* p = card.First(kExtraOf);
    if (!p)
        return link;
    const auto parts = SplitComponents(p->value, ';', card.version);
    link.parent = TrimmedAscii(Part(parts, 0));
    const std::string n = TrimmedAscii(Part(parts, 1));
    if (n.size() == 1 && n[0] >= '1' && n[0] <= '0' + kExtraContacts)
        link.position = n[0] - '0';
    return link;
}

} // namespace

std::vector<ImportedContact> ContactsFromCards(const std::vector<VCard>& cards) {
    std::vector<ImportedContact> contacts;
    std::map<std::string, std::size_t> byUid; // only cards that are contacts themselves
    std::vector<Link> links(cards.size());
    for (std::size_t i = 0; i < cards.size(); ++i) {
        links[i] = LinkOf(cards[i]);
        if (links[i].parent.empty()) {
            const CardReader r(cards[i]);
            const std::string uid = TrimmedAscii(r.TextOf("UID"));
            contacts.push_back({ReadContactCard(cards[i]), cards[i].line});
            if (!uid.empty())
                byUid.emplace(uid, contacts.size() - 1);
        }
    }
    // Extra contacts: first those whose own place is free, then the rest in the first free place.
    std::vector<std::vector<bool>> taken(contacts.size(),
                                         std::vector<bool>(kExtraContacts + 1, false));
    std::vector<bool> placed(cards.size(), false);
    for (std::size_t i = 0; i < cards.size(); ++i) {
        if (links[i].parent.empty())
            continue;
        const auto parent = byUid.find(links[i].parent);
        if (parent == byUid.end()) {
            // Its contact is not in this file: a person of their own.
            contacts.push_back({ReadContactCard(cards[i]), cards[i].line});
            placed[i] = true;
            continue;
        }
        const int n = links[i].position;
        if (n != 0 && !taken[parent->second][n]) {
            taken[parent->second][n] = true;
            ReadExtraCard(contacts[parent->second].fitted, cards[i], n);
            placed[i] = true;
        }
    }
    for (std::size_t i = 0; i < cards.size(); ++i) {
        if (links[i].parent.empty() || placed[i])
            continue;
        const std::size_t owner = byUid.find(links[i].parent)->second;
        int n = 1;
        while (n <= kExtraContacts && taken[owner][n])
            ++n;
        if (n > kExtraContacts) {
            ExtraToNotes(contacts[owner].fitted, cards[i]);
            continue;
        }
        taken[owner][n] = true;
        ReadExtraCard(contacts[owner].fitted, cards[i], n);
    }
    return contacts;
}

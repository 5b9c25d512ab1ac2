#include "interchange/ContactCards.h"

#include "interchange/TextCodec.h"
#include "interchange/VCardWriter.h"
#include "storage/unitAppInformation.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <random>
#include <unordered_map>

namespace {

const char* const kExtraOf = "X-VELLICARD-EXTRA-OF";

std::string ProductId() {
    return "-//" + AppMakerName() + "//" + AppTitle() + " " + AppMajorVersion() +
           AppMinorVersion() + "//EN";
}

std::mt19937_64& UidRandom() {
    static std::mt19937_64 random{std::random_device{}()};
    return random;
}

std::string NewUid() {
    std::mt19937_64& random = UidRandom();
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
    return JoinedWith(a, b, " ");
}

bool IsBlankPhone(const std::string& value) {
    return value.empty() || value == kEmptyPhoneValue;
}

// The extension after the number, " x123". One with blanks inside (typed into the middle of
// the field) keeps them as "_" so that it comes back in the same places.
std::string PhoneAndExtension(const std::string& phone, const std::string& extension) {
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

std::string PhoneOrEmpty(const std::string& phone) {
    return IsBlankPhone(phone) ? std::string() : phone;
}

// A card's FN must not be empty: when there is no person, the first of the other values that
// is filled stands in, and a card without any of them is called kNoName.
const char* const kNoName = "(no name)";

std::string FirstFilled(std::initializer_list<std::string> values) {
    for (const std::string& v : values)
        if (!v.empty())
            return v;
    return kNoName;
}

bool ExtraIsEmpty(const ContactValues& v, int n) {
    for (int f = col::XName; f <= col::XNotes; ++f) {
        const std::string& value = v[col::ExtraColumn(n, static_cast<col::Extra>(f))];
        if (!IsUnfilled(value))
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

void WriteContactCard(VCardWriter& w, const ContactValues& v, int person, const std::string& uid,
                      const std::string& contactUid) {
    using namespace col;
    w.BeginCard();
    w.Property("PRODID", ProductId());
    w.Property("UID", uid);
    if (person == 0) {
        w.Property("N", VCardWriter::Structured({v[LastName], v[FirstName], "", "", ""}));
        w.Property("FN", VCardWriter::Escaped(DisplayName(v)));
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
        return;
    }
    const int n = person;
    const std::string& name = v[ExtraColumn(n, XName)];
    std::string given, family;
    SplitExtraName(name, &given, &family);
    w.Property("N", VCardWriter::Structured({family, given, "", "", ""}));
    w.Property("FN", VCardWriter::Escaped(DisplayName(v, n)));
    w.Text("ORG", v[Company]);
    w.Text("TITLE", v[ExtraColumn(n, XTitle)]);
    w.Text("TEL;TYPE=WORK,VOICE",
           PhoneAndExtension(v[ExtraColumn(n, XPhone)], v[ExtraColumn(n, XExt)]));
    if (!IsBlankPhone(v[ExtraColumn(n, XFax)]))
        w.Text("TEL;TYPE=WORK,FAX", v[ExtraColumn(n, XFax)]);
    w.Text("EMAIL;TYPE=INTERNET", v[ExtraColumn(n, XEmail)]);
    w.Text("NOTE", v[ExtraColumn(n, XNotes)]);
    w.Property("RELATED;TYPE=colleague", contactUid);
    w.Property(kExtraOf, contactUid + ";" + std::to_string(n));
    w.EndCard();
}

std::string PhoneWithExtension(const std::string& phone, const std::string& extension) {
    return PhoneAndExtension(phone, extension);
}

bool ExtraPersonIsEmpty(const ContactValues& v, int n) {
    return ExtraIsEmpty(v, n);
}

std::string NewCardUid() {
    return NewUid();
}

void SeedCardUids(std::uint64_t seed) {
    UidRandom().seed(seed);
}

void WriteContactCards(VCardWriter& w, const ContactValues& v) {
    const std::string uid = NewUid();
    WriteContactCard(w, v, 0, uid, uid);
    for (int n = 1; n <= kExtraContacts; ++n)
        if (!ExtraIsEmpty(v, n))
            WriteContactCard(w, v, n, NewUid(), uid);
}

// ---------------------------------------------------------------------------------------------
// Reading

bool ExtraLinkOf(const VCard& card, std::string* contactUid, int* person) {
    contactUid->clear();
    *person = 0;
    const VCardProperty* p = card.First(kExtraOf);
    if (!p)
        return false;
    // The place follows the last semicolon, written bare as this program writes it or escaped
    // as servers that rewrite cards write it. Without a place, the person takes the first free
    // one.
    const std::string value = UnescapeText(p->value, card.version);
    const std::size_t semicolon = value.rfind(';');
    *contactUid = TrimmedAscii(value.substr(0, semicolon));
    if (semicolon == std::string::npos)
        return true;
    const std::string n = TrimmedAscii(value.substr(semicolon + 1));
    if (n.size() == 1 && n[0] >= '1' && n[0] <= '0' + kExtraContacts)
        *person = n[0] - '0';
    return true;
}

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

// What to call a value with no field of its own in the notes, by the property that holds it.
// Other programs' names for the same thing share a caption.
const char* NotesCaption(const std::string& name) {
    static const struct {
        const char* name;
        const char* caption;
    } kCaptions[] = {
        {"NICKNAME", "Nickname"},
        {"BDAY", "Birthday"},
        {"ANNIVERSARY", "Anniversary"},
        {"X-ANNIVERSARY", "Anniversary"},
        {"X-EVOLUTION-ANNIVERSARY", "Anniversary"},
        {"CATEGORIES", "Categories"},
        {"LABEL", "Address Label"},
        {"TITLE", "Title"},
        {"ROLE", "Role"},
        {"IMPP", "Instant Messaging"},
        {"X-MS-IMADDRESS", "Instant Messaging"},
        {"X-AIM", "AIM"},
        {"X-JABBER", "Jabber"},
        {"X-SKYPE", "Skype"},
        {"X-SKYPE-USERNAME", "Skype"},
        {"X-MSN", "MSN"},
        {"X-YAHOO", "Yahoo"},
        {"X-ICQ", "ICQ"},
        {"X-GOOGLE-TALK", "Google Talk"},
        {"X-GTALK", "Google Talk"},
        {"X-QQ", "QQ"},
        {"X-GADUGADU", "Gadu-Gadu"},
        {"X-MS-MANAGER", "Manager"},
        {"X-MANAGER", "Manager"},
        {"X-EVOLUTION-MANAGER", "Manager"},
        {"X-KADDRESSBOOK-X-MANAGERSNAME", "Manager"},
        {"X-MS-ASSISTANT", "Assistant"},
        {"X-ASSISTANT", "Assistant"},
        {"X-EVOLUTION-ASSISTANT", "Assistant"},
        {"X-KADDRESSBOOK-X-ASSISTANTSNAME", "Assistant"},
        {"X-MS-SPOUSE", "Spouse"},
        {"X-SPOUSE", "Spouse"},
        {"X-EVOLUTION-SPOUSE", "Spouse"},
        {"X-KADDRESSBOOK-X-SPOUSENAME", "Spouse"},
        {"X-ABRELATEDNAMES", "Related Name"},
    };
    // Looked up for every property of every card, so by hash rather than one by one.
    static const std::unordered_map<std::string_view, const char*> kByName = [] {
        std::unordered_map<std::string_view, const char*> byName;
        for (const auto& c : kCaptions)
            byName.emplace(c.name, c.caption);
        return byName;
    }();
    const auto found = kByName.find(name);
    return found == kByName.end() ? nullptr : found->second;
}

bool IsLeftOutName(const std::string& name) {
    return name == "PHOTO" || name == "LOGO" || name == "SOUND" || name == "KEY";
}

// Pictures, sounds and keys: nothing of the address book can hold them.
bool IsLeftOut(const VCardProperty& p) { return IsLeftOutName(p.name); }

// Every value with no field of its own into the owner's notes; `skip` names one the caller
// has a field for. Counts what cannot go anywhere in `leftOut`.
void ReadUnplaced(FittedContact& c, const CardReader& r, const VCard& card, int owner,
                  const char* skip, std::size_t* leftOut) {
    for (const VCardProperty& p : card.properties) {
        if (IsLeftOut(p)) {
            ++*leftOut;
            continue;
        }
        const char* caption = NotesCaption(p.name);
        if (!caption || (skip && p.name == skip))
            continue;
        std::string value;
        if (p.name == "CATEGORIES") {
            for (const std::string& category : r.Parts(p, ','))
                if (!TrimmedAscii(category).empty())
                    value += (value.empty() ? "" : ", ") + TrimmedAscii(category);
        } else {
            value = r.Text(p);
        }
        if (!TrimmedAscii(value).empty())
            c.MoveToNotes(owner, caption, value);
    }
}

// What reading the card's bytes had to change, for the summary.
void NoteReadingChanges(FittedContact& c, const VCard& card) {
    for (const VCardProperty& p : card.properties) {
        if (IsLeftOut(p))
            continue;
        if (p.readAsWindows1252)
            c.NoteChange(kReadAsWindows1252);
        if (p.zeroBytesRemoved)
            c.NoteChange(kZeroBytesRemoved);
    }
}

// The organisation's name; its units after the name ("Sales", "East") go to the notes.
std::string Organisation(FittedContact& c, const CardReader& r, const VCard& card, int owner) {
    const VCardProperty* org = card.First("ORG");
    if (!org)
        return std::string();
    const std::vector<std::string> units = r.Parts(*org);
    for (std::size_t i = 1; i < units.size(); ++i)
        if (!TrimmedAscii(units[i]).empty())
            c.MoveToNotes(owner, "Department", units[i]);
    return units.front();
}

// An FN that only stands in for a missing name (see FirstFilled) is not a person's name.
bool IsStandInName(const std::string& fn, const CardReader& r, const VCard& card) {
    if (fn == kNoName)
        return true;
    if (const VCardProperty* org = card.First("ORG"))
        if (fn == r.Parts(*org).front())
            return true;
    for (const VCardProperty& p : card.properties)
        if ((p.name == "EMAIL" || p.name == "TEL") && fn == r.Text(p))
            return true;
    return false;
}

bool HasEmptyName(const CardReader& r, const VCard& card) {
    const VCardProperty* n = card.First("N");
    if (!n)
        return false;
    for (const std::string& part : r.Parts(*n))
        if (!part.empty())
            return false;
    return true;
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

ImportedContact ReadContactCard(const VCard& card) {
    using namespace col;
    ImportedContact contact;
    contact.line = card.line;
    FittedContact& c = contact.fitted;
    c.KeepLongValues(IsOwnCard(card));
    const CardReader r(card);
    c.SetText(Company, Organisation(c, r, card, 0));

    std::string first, last;
    if (const VCardProperty* n = card.First("N")) {
        const auto parts = r.Parts(*n);
        first = WithBlank(WithBlank(Part(parts, 3), Part(parts, 1)), Part(parts, 2));
        last = WithBlank(Part(parts, 0), Part(parts, 4));
    }
    if (first.empty() && last.empty()) {
        const std::string fn = r.TextOf("FN");
        if (!fn.empty() && !IsStandInName(fn, r, card)) {
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
        }
    }
    ReadPhones(c, r, card, Phone, -1, Fax, 0);
    ReadEmails(c, r, card, Email, 0);
    ReadNotes(c, r, card, 0);
    ReadUnplaced(c, r, card, 0, nullptr, &contact.leftOut);
    NoteReadingChanges(c, card);
    return contact;
}

void ReadExtraCard(ImportedContact& contact, const VCard& card, int n) {
    using namespace col;
    FittedContact& c = contact.fitted;
    const CardReader r(card);
    std::string name = r.TextOf("FN");
    if (!card.First("FN")) {
        if (const VCardProperty* np = card.First("N")) {
            const auto parts = r.Parts(*np);
            name = WithBlank(Part(parts, 1), Part(parts, 0));
        }
    } else if (HasEmptyName(r, card) && IsStandInName(name, r, card)) {
        name.clear();
    }
    c.SetText(ExtraColumn(n, XName), name);
    c.SetText(ExtraColumn(n, XTitle), r.TextOf("TITLE"));
    ReadPhones(c, r, card, ExtraColumn(n, XPhone), ExtraColumn(n, XExt), ExtraColumn(n, XFax), n);
    ReadEmails(c, r, card, ExtraColumn(n, XEmail), n);
    ReadNotes(c, r, card, n);
    ReadUnplaced(c, r, card, n, "TITLE", &contact.leftOut);
    NoteReadingChanges(c, card);
}

// An extra contact with no place left: one line in the contact's notes.
void ExtraToNotes(ImportedContact& contact, const VCard& card) {
    FittedContact& c = contact.fitted;
    const CardReader r(card);
    for (const VCardProperty& p : card.properties)
        contact.leftOut += IsLeftOut(p);
    NoteReadingChanges(c, card);
    std::string text = r.TextOf("FN");
    if (HasEmptyName(r, card) && IsStandInName(text, r, card))
        text.clear();
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
    ExtraLinkOf(card, &link.parent, &link.position);
    return link;
}

} // namespace

bool TellsOfPersonWithoutField(const std::string& name) {
    static const char* const kAlsoNoNote[] = {"GENDER", "X-GENDER", "GEO", "TZ", "LANG",
                                             "X-SOCIALPROFILE"};
    if (IsLeftOutName(name) || NotesCaption(name))
        return true;
    for (const char* also : kAlsoNoNote)
        if (name == also)
            return true;
    return false;
}

ImportedContact ReadPersonCard(const VCard& card, int person) {
    if (person == 0)
        return ReadContactCard(card);
    ImportedContact contact;
    contact.line = card.line;
    ReadExtraCard(contact, card, person);
    return contact;
}

std::string StandInName(const VCard& card) {
    const CardReader r(card);
    if (const VCardProperty* org = card.First("ORG"))
        if (!r.Parts(*org).front().empty())
            return r.Parts(*org).front();
    if (const std::string email = r.TextOf("EMAIL"); !email.empty())
        return email;
    for (const VCardProperty& p : card.properties)
        if (p.name == "TEL" && !p.HasType("fax"))
            return r.Text(p).empty() ? kNoName : r.Text(p);
    return kNoName;
}

void SplitTelValue(const std::string& value, std::string* number, std::string* extension) {
    Tel tel = SplitTel(value);
    *number = std::move(tel.number);
    *extension = std::move(tel.extension);
}

std::vector<ImportedContact> ContactsFromCards(const std::vector<VCard>& cards) {
    std::vector<ImportedContact> contacts;
    std::map<std::string, std::size_t> byUid; // only cards that are contacts themselves
    std::vector<Link> links(cards.size());
    for (std::size_t i = 0; i < cards.size(); ++i) {
        links[i] = LinkOf(cards[i]);
        if (links[i].parent.empty()) {
            const CardReader r(cards[i]);
            const std::string uid = TrimmedAscii(r.TextOf("UID"));
            contacts.push_back(ReadContactCard(cards[i]));
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
            contacts.push_back(ReadContactCard(cards[i]));
            placed[i] = true;
            continue;
        }
        const int n = links[i].position;
        if (n != 0 && !taken[parent->second][n]) {
            taken[parent->second][n] = true;
            ReadExtraCard(contacts[parent->second], cards[i], n);
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
            ExtraToNotes(contacts[owner], cards[i]);
            continue;
        }
        taken[owner][n] = true;
        ReadExtraCard(contacts[owner], cards[i], n);
    }
    return contacts;
}

std::string DisplayName(const ContactValues& v, int person) {
    using namespace col;
    if (person == 0)
        return FirstFilled(
            {WithBlank(v[FirstName], v[LastName]), v[Company], v[Email], PhoneOrEmpty(v[Phone])});
    return FirstFilled({v[ExtraColumn(person, XName)], v[Company],
                        v[ExtraColumn(person, XEmail)],
                        PhoneAndExtension(v[ExtraColumn(person, XPhone)],
                                          v[ExtraColumn(person, XExt)])});
}

void SplitExtraName(const std::string& name, std::string* given, std::string* family) {
    const std::size_t blank = name.rfind(' ');
    *given = blank == std::string::npos ? name : name.substr(0, blank);
    *family = blank == std::string::npos ? "" : name.substr(blank + 1);
}

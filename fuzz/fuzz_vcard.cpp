// Any bytes given to the contact file reader either fail with a message for the user or give
// contacts the editor can hold: no zero byte, masked fields in their shape, no e-mail or web
// address the links could misuse. And whatever the reader made of them comes back unchanged
// through this program's own writer and reader, as vCards and as CSV, so that an export of an
// imported book loses nothing.
//
// One difference is accepted: vCard text has a single escape for a line break, so a line break
// in a one-line field (which only a foreign file can put there) comes back as "\n" whatever it
// was; the notes, which the editor stores with "\r\n", come back exactly.

#include "fuzz/FuzzCheck.h"
#include "interchange/ContactCards.h"
#include "interchange/ContactCsv.h"
#include "interchange/ContactFileError.h"
#include "interchange/ContactReader.h"
#include "interchange/VCardWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

bool IsNotes(int column) {
    return ContactColumnTable()[column].type == FieldType::Notes;
}

std::string OneBreakKind(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void CheckEditorCanHold(const ContactValues& v) {
    for (int i = 0; i < kDataColumns; ++i)
        FUZZ_CHECK(v[i].find('\0') == std::string::npos, SaveOrderColumns()[i]);
    std::string fitted;
    FUZZ_CHECK(FitPhone(v[col::Phone], &fitted) && fitted == v[col::Phone],
               Printable(v[col::Phone]));
    const std::size_t phoneLength = std::string(kEmptyPhoneValue).size();
    FUZZ_CHECK(v[col::Phone].size() == phoneLength && v[col::Fax].size() == phoneLength,
               Printable(v[col::Fax]));
    FUZZ_CHECK(v[col::Email].empty() || IsPlainEmail(v[col::Email]), Printable(v[col::Email]));
    FUZZ_CHECK(IsSafeWebAddress(v[col::WebSite]), Printable(v[col::WebSite]));
    for (int n = 1; n <= kExtraContacts; ++n) {
        const std::string& ext = v[col::ExtraColumn(n, col::XExt)];
        FUZZ_CHECK(ext.size() == kExtensionDigits &&
                       ext.find_first_not_of(" 0123456789") == std::string::npos,
                   Printable(ext));
        const std::string& mail = v[col::ExtraColumn(n, col::XEmail)];
        FUZZ_CHECK(mail.empty() || IsPlainEmail(mail), Printable(mail));
    }
}

void CheckSame(const std::vector<ImportedContact>& first, const std::vector<ImportedContact>& again,
               bool exactBreaks, const char* how) {
    FUZZ_CHECK(first.size() == again.size(), std::string(how) + ": " +
                                                 std::to_string(first.size()) + " then " +
                                                 std::to_string(again.size()) + " contacts");
    for (std::size_t k = 0; k < first.size(); ++k) {
        const ContactValues a = first[k].fitted.Values(), b = again[k].fitted.Values();
        FUZZ_CHECK(again[k].fitted.MovedKinds().empty(),
                   std::string(how) + ": moved " + again[k].fitted.MovedKinds().front());
        for (int i = 0; i < kDataColumns; ++i) {
            const bool same =
                exactBreaks || IsNotes(i) ? a[i] == b[i] : OneBreakKind(a[i]) == OneBreakKind(b[i]);
            FUZZ_CHECK(same, std::string(how) + " " + SaveOrderColumns()[i] + ": " +
                                 Printable(a[i]) + " came back as " + Printable(b[i]));
        }
    }
}

// The bytes as the program reads a file: through the streaming reader, its batches and its
// threads.
std::vector<ImportedContact> ReadAsFile(const std::string& bytes) {
    // One file for the whole run, removed at its end.
    static const struct File {
        std::string path;
        File() {
            char name[] = "/tmp/fuzz_vcard.XXXXXX";
            const int fd = mkstemp(name);
            FUZZ_CHECK(fd >= 0, "no temporary file");
            close(fd);
            path = name;
        }
        ~File() { std::remove(path.c_str()); }
    } file;
    const std::string& path = file.path;
    {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        FUZZ_CHECK(out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() &&
                       std::fclose(out) == 0,
                   "cannot write " + path);
    }
    TContactReader reader(path);
    std::vector<ImportedContact> contacts, batch;
    while (reader.Next(batch))
        for (ImportedContact& contact : batch)
            contacts.push_back(std::move(contact));
    return contacts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<ImportedContact> contacts;
    try {
        contacts = ReadAsFile(bytes);
    } catch (const EContactFileError& e) {
        FUZZ_CHECK(*e.what() != '\0', "empty message");
        return 0;
    }
    VCardWriter cards;
    std::string csv;
    AppendCsvRow(csv, CsvHeader());
    for (const ImportedContact& c : contacts) {
        CheckEditorCanHold(c.fitted.Values());
        WriteContactCards(cards, c.fitted.Values());
        AppendCsvContact(csv, c.fitted.Values());
    }
    CheckSame(contacts, ContactsFromCards(ParseVCards(cards.Output())), false, "vCard");
    CheckSame(contacts, ContactsFromCsv(ParseCsv(csv)), true, "CSV");
    return 0;
}

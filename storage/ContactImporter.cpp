#include "ContactImporter.h"

#include "AddressBook.h"
#include "ContactCsv.h"
#include "ContactFileError.h"
#include "ContactFitting.h"
#include "ImportProgress.h"
#include "SQLiteTable3.h"
#include "TextCodec.h"

#include <fstream>
#include <set>

namespace {

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ContactFileError("Cannot open \"" + path + "\" for reading.");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0)
        throw ContactFileError("Cannot read \"" + path + "\".");
    if (static_cast<std::uint64_t>(size) > kMaxImportBytes)
        throw ContactFileError("\"" + path + "\" is too large to be a contact file (more than " +
                               std::to_string(kMaxImportBytes / (1024 * 1024)) + " MB).");
    in.seekg(0, std::ios::beg);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !in.read(&bytes[0], size))
        throw ContactFileError("Cannot read \"" + path + "\".");
    return bytes;
}

// Two contacts are the same when the editor would show them the same.
std::string KeyOf(const ContactValues& saved) {
    std::string key;
    for (const std::string& v : saved) {
        key += v;
        key += '\x1f';
    }
    return key;
}

// Undoes the transaction unless it was committed, whatever leaves the import.
class Transaction {
public:
    explicit Transaction(TSQLiteDatabase& db) : db_(db) { db_.RunStatement("BEGIN IMMEDIATE;"); }
    ~Transaction() {
        if (!done_) {
            try {
                db_.RunStatement("ROLLBACK;");
            } catch (...) {
                // The engine has already rolled back what a failed statement began.
            }
        }
    }
    void Commit() {
        db_.RunStatement("COMMIT;");
        done_ = true;
    }

private:
    TSQLiteDatabase& db_;
    bool done_ = false;
};

} // namespace

void ImportSummary::AddMoved(const std::string& name, const FittedContact& fitted) {
    if (fitted.MovedReasons().empty())
        return;
    moved.push_back(name);
    for (MoveReason why : fitted.MovedReasons())
        ++movedBy[why];
}

std::string ImportSummary::Text() const {
    if (cancelled)
        return "Import cancelled: the address book is unchanged.";
    std::string text = "Imported " + Plural(imported, "contact", "contacts") + ", " +
                       std::to_string(skipped) + " skipped as already present, " +
                       std::to_string(moved.size()) + " with values moved to notes";
    struct Kind {
        MoveReason why;
        const char* one;
        const char* many;
    };
    static const Kind kinds[] = {
        {MoveReason::PhoneMask, "phone number that does not fit the mask moved to notes",
         "phone numbers that do not fit the mask moved to notes"},
        {MoveReason::NotPlainEmail, "e-mail address that is not a plain address moved to notes",
         "e-mail addresses that are not plain addresses moved to notes"},
        {MoveReason::UnsafeWeb, "web address that is not http or https moved to notes",
         "web addresses that are not http or https moved to notes"},
        {MoveReason::TooLong, "value too long for its field kept whole in the notes",
         "values too long for their field kept whole in the notes"},
        {MoveReason::NoField, "value with no field of its own moved to notes",
         "values with no field of their own moved to notes"},
    };
    for (const Kind& k : kinds) {
        const auto found = movedBy.find(k.why);
        if (found != movedBy.end())
            text += "\n  " + Plural(found->second, k.one, k.many);
    }
    if (moved.empty())
        return text;
    text += "\nContacts with values moved to notes:";
    const std::size_t shown = 20;
    for (std::size_t i = 0; i < moved.size() && i < shown; ++i)
        text += "\n  " + moved[i];
    if (moved.size() > shown)
        text += "\n  and " + std::to_string(moved.size() - shown) + " more";
    return text;
}

std::vector<ImportedContact> ReadContactFile(const std::string& bytes) {
    if (bytes.find_first_not_of(" \t\r\n") == std::string::npos &&
        bytes.compare(0, 3, "\xEF\xBB\xBF") != 0)
        throw ContactFileError("The file is empty.");
    std::vector<ImportedContact> contacts;
    if (LooksLikeVCard(bytes))
        contacts = ContactsFromCards(ParseVCards(bytes));
    else
        contacts = ContactsFromCsvFile(bytes); // refuses a file that is no contact CSV either
    if (contacts.empty())
        throw ContactFileError("The file holds no contacts.");
    return contacts;
}

std::vector<ImportedContact> ReadContactsFrom(const std::string& filePath) {
    return ReadContactFile(ReadWholeFile(filePath));
}

ImportSummary ImportContacts(TSQLiteDatabase& db, const std::vector<ImportedContact>& contacts,
                             IImportProgress* progress) {
    ImportSummary summary;
    Transaction transaction(db);

    std::set<std::string> present;
    for (const ContactValues& saved : ReadSavedContacts(db, "SELECT * FROM Customers"))
        present.insert(KeyOf(saved));

    if (progress)
        progress->Start(contacts.size());
    for (std::size_t i = 0; i < contacts.size(); ++i) {
        if (progress && !progress->Step(i)) {
            progress->Finish();
            ImportSummary cancelled;
            cancelled.cancelled = true;
            return cancelled; // the transaction rolls back
        }
        const ContactValues values = contacts[i].fitted.Values();
        if (!present.insert(KeyOf(values)).second) {
            ++summary.skipped;
            continue;
        }
        db.RunStatement(BuildInsertStatement(values));
        summary.addedIds.push_back(std::to_string(db.LastInsertRowId()));
        ++summary.imported;
        summary.AddMoved(ContactLabel(values), contacts[i].fitted);
    }
    transaction.Commit();
    if (progress) {
        progress->Step(contacts.size());
        progress->Finish();
    }
    return summary;
}

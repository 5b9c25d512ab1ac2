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

std::string ImportSummary::Text() const {
    if (cancelled)
        return "Import cancelled: the address book is unchanged.";
    std::string text = "Imported " + Plural(imported, "contact", "contacts") + ", " +
                       std::to_string(skipped) + " skipped as already present, " +
                       std::to_string(moved.size()) + " with values moved to notes";
    for (const std::string& line : moved)
        text += "\n  " + line;
    return text;
}

std::vector<ImportedContact> ReadContactFile(const std::string& bytes) {
    if (bytes.find_first_not_of(" \t\r\n") == std::string::npos &&
        bytes.compare(0, 3, "\xEF\xBB\xBF") != 0)
        throw ContactFileError("The file is empty.");
    std::vector<ImportedContact> contacts;
    if (LooksLikeVCard(bytes))
        contacts = ContactsFromCards(ParseVCards(bytes));
    else if (bytes.find('\0') == std::string::npos && LooksLikeContactCsv(bytes))
        contacts = ContactsFromCsv(ParseCsv(bytes));
    else
        throw ContactFileError(
            "The file is neither a vCard file (.vcf) nor a CSV file of contacts (.csv).");
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
        const auto& kinds = contacts[i].fitted.MovedKinds();
        if (!kinds.empty()) {
            std::string line = ContactLabel(values) + ": ";
            for (std::size_t k = 0; k < kinds.size(); ++k)
                line += (k ? ", " : "") + kinds[k];
            summary.moved.push_back(line);
        }
    }
    transaction.Commit();
    if (progress) {
        progress->Step(contacts.size());
        progress->Finish();
    }
    return summary;
}

#include "storage/AddressBook.h"

#include "interchange/ContactExporter.h"
#include "interchange/ContactFitting.h"
#include "interchange/ContactMerge.h"
#include "interchange/ContactReader.h"
#include "interchange/TextCodec.h"
#include "storage/ContactImporter.h"
#include "storage/ContactStatements.h"
#include "storage/CustomerRows.h"
#include "storage/DuplicateMerge.h"
#include "storage/SQLiteTable3.h"
#include "storage/SyncStore.h"

namespace {

// The stored contact's columns whose value a text read cannot carry whole: a blob, or a text
// with a zero byte inside (a read of it stops there).
KeptColumns ValuesCutShort(TSQLiteDatabase& db, const std::string& id) {
    std::string sql = "SELECT ";
    for (const std::string& column : SaveOrderColumns()) {
        if (sql.size() > 7)
            sql += ',';
        sql += "typeof(" + column + ")='blob' OR instr(CAST(" + column + " AS BLOB),x'00')>0";
    }
    const std::string select = BuildSelectByIdStatement(id);
    sql += select.substr(select.find(" FROM "));
    auto result = db.OpenResult(sql);
    KeptColumns cut;
    for (int i = 0; i < kDataColumns && !result->AtEnd(); ++i)
        cut[i] = result->TextOrEmptyAt(i) == "1";
    return cut;
}

// Whether the editor shows the stored text as it is, so that saving it again writes the same
// bytes: not so for a zero byte, which no statement can carry, nor, outside Windows, for text
// that is not UTF-8 (shown as Windows-1252).
bool TextShowsExactly(const std::string& bytes) {
    if (bytes.find('\0') != std::string::npos)
        return false;
#ifdef _WIN32
    return true;
#else
    return IsValidUtf8(bytes);
#endif
}

void RefuseSeveral(const StoredContact& loaded, const std::string& id, const char* doing,
                   const char* done) {
    if (id.empty() || id != loaded.id || loaded.rows <= 1)
        return;
    throw EAddressBookError("The address book holds " + std::to_string(loaded.rows) +
                            " contacts with the identifier " + id + ": " + doing +
                            " this one would change all of them, so nothing was " + done + ".");
}

// Where the sync changed the stored contact since the editor opened it (the row now holds what
// the sync last recorded for it, and that is not what was opened), `values` becomes the merge of
// the user's changes into it. A change by anything else is not merged: the save writes the
// editor's values over it as it always has.
TAddressBook::SaveMerge MergeWithSync(TSQLiteDatabase& db, const std::string& id,
                                      const KeptColumns& untouched, const ContactValues& opened,
                                      ContactValues& values) {
    TAddressBook::SaveMerge outcome;
    // A book never synced is saved exactly as before: nothing is read first. Nor does a failed
    // read stand in for the save's own failure, which names the statement that failed.
    std::optional<ContactValues> synced;
    std::vector<ContactValues> now;
    try {
        synced = SyncedValuesOfRow(db, std::stoll(id));
        if (!synced)
            return outcome;
        now = ReadSavedContacts(db, BuildSelectByIdStatement(id));
    } catch (const std::exception&) {
        return outcome;
    }
    if (now.size() != 1 || now.front() == opened || *synced != now.front())
        return outcome;
    // What the user left alone counts as unchanged, whatever the editor made of it.
    ContactValues here = values;
    for (int i = 0; i < kDataColumns; ++i)
        if (untouched[i])
            here[i] = opened[i];
    MergedValues merged = MergeValues(opened, here, now.front());
    values = std::move(merged.values);
    outcome.merged = true;
    outcome.conflicts = std::move(merged.conflicts);
    return outcome;
}

} // namespace

TAddressBook::TAddressBook(std::string path) : path_(std::move(path)) {}

void TAddressBook::OnChange(std::function<void(const BookChange&)> listener) {
    listeners_.push_back(std::move(listener));
}

void TAddressBook::Report(BookChange::Kind kind, const std::string& id) const {
    for (const auto& listener : listeners_)
        listener(BookChange{kind, id});
}

std::unique_ptr<TSQLiteTable> TAddressBook::List(const std::string& statement) const {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    return db.OpenResult(statement);
}

std::vector<ContactValues> TAddressBook::SavedContacts(const std::string& query) const {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    return ReadSavedContacts(db, query);
}

StoredContact TAddressBook::Load(const std::string& id) {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    StoredContact contact;
    contact.row = db.OpenResult(BuildSelectByIdStatement(id));
    contact.id = id;
    contact.cutShort = ValuesCutShort(db, id);
    contact.rows = contact.row->RowCount();
    loaded_ = contact;
    return contact;
}

ContactValues StoredContact::Values() const {
    ContactValues values;
    for (int i : LoadOrder())
        values[i] = row->TextOrEmptyAt(row->ColumnOf(SaveOrderColumns()[i]));
    return values;
}

KeptColumns TAddressBook::KeptAsStored(const StoredContact& stored, const ContactValues& shown,
                                       const KeptColumns& untouched) {
    KeptColumns kept;
    if (untouched.none() || !stored.row)
        return kept;
    const ContactValues values = stored.Values();
    for (int i = 0; i < kDataColumns; ++i) {
        if (!untouched[i])
            continue;
        const std::string& value = values[i];
        switch (ContactColumnTable()[i].type) {
        case FieldType::Phone:
        case FieldType::Fax:
        case FieldType::Extension:
            // Laid into the mask, the stored text keeps its digits in their order and only
            // gains or loses blanks and literals; one that loses anything else stays as stored.
            kept[i] = MaskedCharacters(value) != MaskedCharacters(shown[i]);
            break;
        default:
            kept[i] = !TextShowsExactly(value);
        }
        kept[i] = kept[i] || stored.cutShort[i];
    }
    return kept;
}

std::string TAddressBook::Save(const ContactValues& values, const std::string& id,
                               const KeptColumns& untouched) {
    return SaveOpened(values, id, untouched, values, nullptr);
}

std::string TAddressBook::SaveOpened(const ContactValues& values, const std::string& id,
                                     const KeptColumns& untouched, const ContactValues& opened,
                                     SaveMerge* merge) {
    RefuseSeveral(loaded_, id, "saving", "saved");
    const KeptColumns kept =
        !id.empty() && id == loaded_.id ? KeptAsStored(loaded_, values, untouched) : KeptColumns();
    std::string saved;
    bool inserted = false;
    {
        TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
        ContactValues written = values;
        if (merge && !id.empty())
            *merge = MergeWithSync(db, id, untouched, opened, written);
        saved = WriteContact(db, written, id, kept, &inserted);
    }
    Report(inserted ? BookChange::Kind::Added : BookChange::Kind::Updated, saved);
    return saved;
}

void TAddressBook::Delete(const std::string& id, const std::function<bool()>& confirm) {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    RefuseSeveral(loaded_, id, "deleting", "deleted");
    if (!confirm())
        return;
    DeleteContact(db, id, [&] { Report(BookChange::Kind::Deleted, id); });
}

ImportSummary TAddressBook::Import(const std::string& filePath, IImportProgress* progress) {
    ImportSummary summary = ImportUnreported(filePath, progress);
    ReportImported(summary);
    return summary;
}

ImportSummary TAddressBook::ImportUnreported(const std::string& filePath,
                                             IImportProgress* progress) const {
    // The file's format is checked before the book is opened.
    TContactReader reader(filePath);
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    return ImportContacts(db, reader, progress);
}

void TAddressBook::ReportImported(const ImportSummary& summary) const {
    for (const std::string& id : summary.addedIds)
        Report(BookChange::Kind::Added, id);
}

ExportSummary TAddressBook::Export(const std::string& filePath, const std::string& query) {
    RefuseExportOntoBook(path_, filePath);
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    return WriteContactFile(filePath, [&](const std::function<void(const ContactValues&)>& write) {
        ForEachSavedContact(db, query, write);
    });
}

std::int64_t TAddressBook::MergeDuplicates(std::int64_t firstId, std::int64_t secondId,
                                           const ContactValues& merged) {
    std::int64_t merge = 0;
    {
        TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
        merge = MergeContactRows(db, firstId, secondId, merged);
    }
    Report(BookChange::Kind::Updated, std::to_string(firstId));
    Report(BookChange::Kind::Deleted, std::to_string(secondId));
    return merge;
}

void TAddressBook::UndoMerge(std::int64_t merge) {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    UndoContactMerge(db, merge);
}

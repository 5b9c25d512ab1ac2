#include "storage/ContactImporter.h"

#include "interchange/ContactCards.h"
#include "interchange/ContactCsv.h"
#include "interchange/ContactFileError.h"
#include "interchange/ContactFitting.h"
#include "interchange/TextCodec.h"
#include "storage/CustomerRows.h"
#include "storage/ImportProgress.h"
#include "storage/SQLiteTable3.h"

#include "interchange/ContactReader.h"
#include "storage/SQLiteStatement.h"
#include "storage/SqlLiteral.h"
#include "storage/WriteTransaction.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace {

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Two contacts are the same when the editor would show them the same. The values are compared
// through a 128-bit digest of all of them (with a separator after each): two different contacts
// that agree in it are far less likely than a fault in the memory holding them, and a digest
// keeps the memory of a big import small.
struct ContactKey {
    std::uint64_t a;
    std::uint64_t b;
    bool operator==(const ContactKey& other) const { return a == other.a && b == other.b; }
};

struct ContactKeyHash {
    std::size_t operator()(const ContactKey& key) const { return static_cast<std::size_t>(key.a); }
};

ContactKey KeyOf(const ContactValues& saved) {
    TDigest128 digest;
    for (const std::string& v : saved) {
        digest.Add(v);
        digest.Add(0x1f);
    }
    const auto [a, b] = digest.Value();
    return {a, b};
}

// The record of an import under way, in the book file beside Customers: the file and how many
// contacts it adds, and each row it has added so far with the digest of what it holds. Every
// part of the import writes its rows and their record in one transaction, and the last part, or
// the taking out of a cancelled or failed import, removes the record in the transaction that
// makes the book whole. A record found later belongs to an import that was killed.
void CreateImportRecord(TSQLiteDatabase& db) {
    db.RunStatement("CREATE TABLE IF NOT EXISTS VellicardImportInfo(name TEXT PRIMARY KEY,"
                    "value TEXT NOT NULL);");
    db.RunStatement("CREATE TABLE IF NOT EXISTS VellicardImportRows(row INTEGER PRIMARY KEY,"
                    "ka INTEGER NOT NULL,kb INTEGER NOT NULL);");
}

const char* const kRecordRow = "INSERT OR REPLACE INTO VellicardImportRows(row,ka,kb)VALUES(?,?,?);";

void BeginImportRecord(TSQLiteDatabase& db, const std::string& file, std::size_t staged) {
    db.RunStatement("DELETE FROM VellicardImportInfo;");
    db.RunStatement("INSERT INTO VellicardImportInfo(name,value)VALUES('file'," + SqlText(file) +
                    "),('staged','" + std::to_string(staged) + "');");
}

void EndImportRecord(TSQLiteDatabase& db) {
    db.RunStatement("DROP TABLE IF EXISTS VellicardImportRows;");
    db.RunStatement("DROP TABLE IF EXISTS VellicardImportInfo;");
}


} // namespace

std::string ImportSummary::Text() const {
    const std::string before = interrupted.empty() ? std::string() : interrupted + "\n\n";
    if (cancelled)
        return before + "Import cancelled: the address book is unchanged.";
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
        {MoveReason::LineBreak, "value with a line break kept whole in the notes",
         "values with a line break kept whole in the notes"},
        {MoveReason::NoField, "value with no field of its own moved to notes",
         "values with no field of their own moved to notes"},
    };
    for (const Kind& k : kinds) {
        const auto found = movedBy.find(k.why);
        if (found != movedBy.end())
            text += "\n  " + Plural(found->second, k.one, k.many);
    }
    if (leftOut > 0)
        text += "\n  " +
                Plural(leftOut, "photo, logo, sound or key", "photos, logos, sounds or keys") +
                " left out";
    // At most 20 names a list, then how many more.
    const auto list = [&text](const char* heading, const std::vector<std::string>& names) {
        if (names.empty())
            return;
        text += heading;
        const std::size_t shown = 20;
        for (std::size_t i = 0; i < names.size() && i < shown; ++i)
            text += "\n  " + names[i];
        if (names.size() > shown)
            text += "\n  and " + std::to_string(names.size() - shown) + " more";
    };
    list("\nContacts with values moved to notes:", moved);
    list("\nContacts whose text had to be changed in reading:", changed);
    return before + text;
}

namespace {

std::string ColumnList(const char* prefix = "") {
    std::string list;
    for (const std::string& column : SaveOrderColumns())
        list += (list.empty() ? "" : ",") + std::string(prefix) + column;
    return list;
}

// What the summary needs of a contact, kept with its staged row in columns of their own: the
// reasons of its values moved to notes as digits, what reading had to change in it, how many
// photos, logos, sounds and keys it left out, and its name. False when there is nothing to tell.
struct SummaryNote {
    std::string reasons;
    std::string changed;
    std::size_t leftOut = 0;
    std::string name;
};
bool NoteOf(const ContactValues& values, const ImportedContact& contact, SummaryNote* note) {
    const FittedContact& fitted = contact.fitted;
    if (fitted.MovedReasons().empty() && fitted.ChangedKinds().empty() && contact.leftOut == 0)
        return false;
    *note = SummaryNote();
    for (MoveReason why : fitted.MovedReasons())
        note->reasons += static_cast<char>('0' + static_cast<int>(why));
    for (const std::string& kind : fitted.ChangedKinds())
        note->changed += (note->changed.empty() ? "" : ", ") + kind;
    note->leftOut = contact.leftOut;
    note->name = DisplayName(values);
    return true;
}

void AddSummaryNote(ImportSummary& summary, const SummaryNote& note) {
    for (char why : note.reasons)
        ++summary.movedBy[static_cast<MoveReason>(why - '0')];
    if (!note.reasons.empty())
        summary.moved.push_back(note.name);
    if (!note.changed.empty())
        summary.changed.push_back(note.name + ": " + note.changed);
    summary.leftOut += note.leftOut;
}

// Counts the import's progress in units of the caller's choosing (the file's bytes, or the
// contacts), nine tenths of them for reading and staging, the rest for adding to the book.
class ProgressShare {
public:
    ProgressShare(IImportProgress* progress, std::uint64_t total)
        : progress_(progress), total_(std::max<std::uint64_t>(total, 1)) {
        if (progress_)
            progress_->Start(static_cast<std::size_t>(total_));
    }
    ~ProgressShare() {
        if (progress_)
            progress_->Finish();
    }
    bool Read(std::uint64_t done) { return Step(done * 9 / 10); }
    bool Added(std::size_t chunk, std::size_t chunks) {
        return Step(total_ * 9 / 10 +
                    (total_ - total_ * 9 / 10) * chunk / std::max<std::size_t>(chunks, 1));
    }
    void Done() {
        if (progress_)
            progress_->Step(static_cast<std::size_t>(total_));
    }

private:
    bool Step(std::uint64_t done) {
        return !progress_ || progress_->Step(static_cast<std::size_t>(done));
    }
    IImportProgress* progress_;
    std::uint64_t total_;
};

// The staging file: a private database of its own in the temporary folder, attached to the
// book's connection only while the import runs and removed afterwards. Writing it takes no lock
// on the book; it is tuned for speed, as nothing in it outlives the import.
class StagingFile {
public:
    explicit StagingFile(TSQLiteDatabase& db) : db_(db) {
        const char* folder = std::getenv("TMPDIR");
        std::string pattern =
            std::string(folder && *folder ? folder : "/tmp") + "/vellicard-import-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        const int fd = mkstemp(name.data());
        if (fd < 0)
            throw EContactFileError(std::string("Cannot create a working file for the import: ") +
                                   std::strerror(errno) + ".");
        close(fd);
        path_ = name.data();
        try {
            db_.RunStatement("ATTACH " + SqlText(path_) + " AS staged;");
            attached_ = true;
            db_.OpenResult("PRAGMA staged.journal_mode=OFF;");
            db_.RunStatement("PRAGMA staged.synchronous=OFF;");
            db_.RunStatement("CREATE TABLE staged.Rows(seq INTEGER PRIMARY KEY,"
                             "skip INTEGER NOT NULL DEFAULT 0,ka INTEGER,kb INTEGER,"
                             "noted INTEGER NOT NULL DEFAULT 0,reasons TEXT,changed TEXT,"
                             "leftOut INTEGER,name TEXT," +
                             ColumnList() + ");");
        } catch (...) {
            Remove();
            throw;
        }
    }
    ~StagingFile() { Remove(); }

private:
    void Remove() noexcept {
        if (attached_) {
            try {
                db_.RunStatement("DETACH staged;");
            } catch (...) {
            }
            attached_ = false;
        }
        unlink(path_.c_str());
        unlink((path_ + "-journal").c_str());
    }
    TSQLiteDatabase& db_;
    std::string path_;
    bool attached_ = false;
};

class StagedImport {
public:
    StagedImport(TSQLiteDatabase& db, ProgressShare& progress, std::string path)
        : db_(db), progress_(progress), staging_(db), path_(std::move(path)) {
        ReadBookKeys();
        std::string insert = "INSERT INTO staged.Rows(seq,ka,kb,noted,reasons,changed,leftOut,"
                             "name," +
                             ColumnList() + ")VALUES(?,?,?,?,?,?,?,?";
        for (int i = 0; i < kDataColumns; ++i)
            insert += ",?";
        stage_ = std::make_unique<TSQLiteStatement>(db_, insert + ");");
    }

    // Stages the contacts not already present; in a transaction of the staging file alone.
    void Add(const std::vector<ImportedContact>& contacts) {
        db_.RunStatement("BEGIN;");
        try {
            for (const ImportedContact& contact : contacts) {
                const ContactValues values = contact.fitted.Values();
                const ContactKey key = KeyOf(values);
                const auto placed = keys_.emplace(key, staged_ + 1);
                if (!placed.second) {
                    ++summary_.skipped;
                    continue;
                }
                ++staged_;
                stage_->BindInteger(1, static_cast<std::int64_t>(staged_));
                stage_->BindInteger(2, static_cast<std::int64_t>(key.a));
                stage_->BindInteger(3, static_cast<std::int64_t>(key.b));
                SummaryNote note;
                const bool noted = NoteOf(values, contact, &note);
                stage_->BindInteger(4, noted ? 1 : 0);
                stage_->BindKeptText(5, note.reasons);
                stage_->BindKeptText(6, note.changed);
                stage_->BindInteger(7, static_cast<std::int64_t>(note.leftOut));
                stage_->BindKeptText(8, note.name);
                for (int i = 0; i < kDataColumns; ++i)
                    stage_->BindKeptText(i + 9, values[i]);
                stage_->Run();
            }
            db_.RunStatement("COMMIT;");
        } catch (...) {
            stage_->Reset();
            db_.RunStatement("ROLLBACK;");
            throw;
        }
    }

    // Moves the staged contacts into the book, kInsertRows at a time. False when cancelled, with
    // the book as it was.
    bool Commit() {
        const std::size_t chunks = (staged_ + kInsertRows - 1) / kInsertRows;
        TSQLiteStatement insert(db_, "INSERT INTO main.Customers(" + ColumnList() + ")SELECT " +
                                         ColumnList() +
                                         " FROM staged.Rows WHERE seq>?1 AND seq<=?2 AND skip=0 "
                                         "ORDER BY seq;");
        TSQLiteStatement skip(db_, "UPDATE staged.Rows SET skip=1 WHERE seq=?;");
        TSQLiteStatement keys(db_, "SELECT ka,kb FROM staged.Rows WHERE seq>?1 AND seq<=?2 AND "
                                   "skip=0 ORDER BY seq;");
        std::unique_ptr<TSQLiteStatement> record;
        try {
            for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
                if (!progress_.Added(chunk, chunks)) {
                    TakeOut();
                    return false;
                }
                TWriteTransaction transaction(db_);
                // The record begins with the first part, so that an import that fails there
                // leaves the file exactly as it was.
                if (chunk == 0) {
                    CreateImportRecord(db_);
                    BeginImportRecord(db_, path_, staged_);
                    record = std::make_unique<TSQLiteStatement>(db_, kRecordRow);
                }
                SkipContactsAddedMeanwhile(skip, chunk * kInsertRows);
                insert.BindInteger(1, static_cast<std::int64_t>(chunk * kInsertRows));
                insert.BindInteger(2, static_cast<std::int64_t>((chunk + 1) * kInsertRows));
                insert.Run();
                // Nobody else writes until the commit: every row past the last seen is ours,
                // in the order of the staged rows. Each is recorded with the digest of what it
                // holds, so that a kill before the end leaves what it takes to take it out.
                TSQLiteStatement added(db_, "SELECT rowid FROM main.Customers WHERE rowid>? "
                                            "ORDER BY rowid;");
                added.BindInteger(1, lastSeen_);
                keys.BindInteger(1, static_cast<std::int64_t>(chunk * kInsertRows));
                keys.BindInteger(2, static_cast<std::int64_t>((chunk + 1) * kInsertRows));
                while (added.Step()) {
                    lastSeen_ = added.IntegerAt(0);
                    addedIds_.push_back(lastSeen_);
                    if (!keys.Step())
                        throw std::logic_error("the import added a row it did not stage");
                    record->BindInteger(1, lastSeen_);
                    record->BindInteger(2, keys.IntegerAt(0));
                    record->BindInteger(3, keys.IntegerAt(1));
                    record->Run();
                }
                keys.Reset();
                // The last part leaves no record: the import is whole.
                if (chunk + 1 == chunks) {
                    record.reset();
                    EndImportRecord(db_);
                }
                transaction.Commit();
                committed_ = addedIds_.size();
            }
        } catch (...) {
            TakeOut();
            throw;
        }
        return true;
    }

    ImportSummary Summary() {
        ImportSummary summary = summary_;
        summary.imported = addedIds_.size();
        summary.addedIds.reserve(addedIds_.size());
        for (std::int64_t id : addedIds_)
            summary.addedIds.push_back(std::to_string(id));
        TSQLiteStatement noted(db_, "SELECT reasons,changed,leftOut,name FROM staged.Rows "
                                    "WHERE skip=0 AND noted=1 ORDER BY seq;");
        while (noted.Step()) {
            SummaryNote note;
            note.reasons = noted.TextAt(0);
            note.changed = noted.TextAt(1);
            note.leftOut = static_cast<std::size_t>(noted.IntegerAt(2));
            note.name = noted.TextAt(3);
            AddSummaryNote(summary, note);
        }
        return summary;
    }

private:
    // The stored contacts as the editor saves them, read a page at a time so that no read
    // keeps others from saving for long.
    void ReadBookKeys() {
        ForEachSavedRow(db_, "", lastSeen_, [&](std::int64_t row, const ContactValues& saved) {
            keys_.emplace(KeyOf(saved), 0);
            lastSeen_ = row;
        });
    }

    // Contacts other copies added since the book was read: a staged contact equal to one of
    // them is not added after all.
    void SkipContactsAddedMeanwhile(TSQLiteStatement& skip, std::size_t stagedAdded) {
        const std::string newer =
            "SELECT * FROM Customers WHERE rowid>" + std::to_string(lastSeen_) + " ORDER BY rowid";
        for (const ContactValues& saved : ReadSavedContacts(db_, newer)) {
            auto found = keys_.find(KeyOf(saved));
            if (found == keys_.end() || found->second == 0)
                continue;
            if (found->second > stagedAdded) {
                skip.BindInteger(1, static_cast<std::int64_t>(found->second));
                skip.Run();
                ++summary_.skipped;
            }
            found->second = 0;
        }
        auto last = db_.OpenResult("SELECT max(rowid) FROM Customers");
        if (!last->AtEnd() && !last->TextOrEmptyAt(0).empty())
            lastSeen_ = std::max(lastSeen_, last->IntegerAt(0));
    }

    // Takes the contacts of chunks already committed out of the book again.
    void TakeOut() noexcept {
        if (committed_ == 0)
            return;
        try {
            TWriteTransaction transaction(db_);
            TSQLiteStatement remove(db_, "DELETE FROM main.Customers WHERE rowid=?;");
            for (std::size_t i = 0; i < committed_; ++i) {
                remove.BindInteger(1, addedIds_[i]);
                remove.Run();
            }
            EndImportRecord(db_);
            transaction.Commit();
            addedIds_.clear();
            committed_ = 0;
        } catch (...) {
            // The book is out of reach; what failed first is what the user hears of.
        }
    }

    TSQLiteDatabase& db_;
    ProgressShare& progress_;
    StagingFile staging_;
    std::string path_; // the file imported, for the record
    std::unique_ptr<TSQLiteStatement> stage_;
    // Every contact seen: 0 for one in the book, else its place in the staging file.
    std::unordered_map<ContactKey, std::size_t, ContactKeyHash> keys_;
    std::size_t staged_ = 0;
    std::int64_t lastSeen_ = 0; // the highest rowid of the book read so far
    std::vector<std::int64_t> addedIds_;
    std::size_t committed_ = 0;
    ImportSummary summary_;
};

ImportSummary Cancelled() {
    ImportSummary cancelled;
    cancelled.cancelled = true;
    return cancelled;
}

ImportSummary ImportRead(TSQLiteDatabase& db, TContactReader& reader, IImportProgress* progress) {
    ProgressShare share(progress, reader.Size());
    StagedImport import(db, share, reader.Path());
    std::vector<ImportedContact> batch;
    if (!share.Read(0))
        return Cancelled();
    while (reader.Next(batch)) {
        import.Add(batch);
        if (!share.Read(reader.BytesRead()))
            return Cancelled();
    }
    if (!import.Commit())
        return Cancelled();
    ImportSummary summary = import.Summary();
    share.Done();
    return summary;
}

} // namespace

ImportSummary ImportContacts(TSQLiteDatabase& db, TContactReader& reader,
                             IImportProgress* progress) {
    // What an import cut short left is taken out first, so that this one finds the book as it
    // was before that one.
    const std::string interrupted = TakeOutInterruptedImport(db);
    ImportSummary summary = ImportRead(db, reader, progress);
    summary.interrupted = interrupted;
    return summary;
}

std::string TakeOutInterruptedImport(TSQLiteDatabase& db) {
    if (!HasTable(db, "VellicardImportRows") || !HasTable(db, "VellicardImportInfo"))
        return {};
    TWriteTransaction transaction(db);
    std::string file;
    std::int64_t staged = 0;
    auto info = db.OpenResult("SELECT name,value FROM VellicardImportInfo;");
    for (; !info->AtEnd(); info->Advance()) {
        if (info->TextOrEmptyAt(0) == "file")
            file = info->TextOrEmptyAt(1);
        else if (info->TextOrEmptyAt(0) == "staged")
            staged = std::atoll(info->TextOrEmptyAt(1).c_str());
    }
    std::unordered_map<std::int64_t, ContactKey> added;
    {
        TSQLiteStatement rows(db, "SELECT row,ka,kb FROM VellicardImportRows;");
        while (rows.Step())
            added[rows.IntegerAt(0)] = {static_cast<std::uint64_t>(rows.IntegerAt(1)),
                                        static_cast<std::uint64_t>(rows.IntegerAt(2))};
    }
    // A contact changed since (by another copy of the program, or the sync) is somebody's
    // work, and stays.
    std::vector<std::int64_t> unchanged;
    std::size_t present = 0;
    ForEachSavedRow(db, "rowid IN (SELECT row FROM VellicardImportRows)", kFromFirstRow,
                    [&](std::int64_t row, const ContactValues& values) {
                        ++present;
                        if (added[row] == KeyOf(values))
                            unchanged.push_back(row);
                    });
    {
        TSQLiteStatement remove(db, "DELETE FROM main.Customers WHERE rowid=?;");
        for (std::int64_t row : unchanged) {
            remove.BindInteger(1, row);
            remove.Run();
        }
    }
    EndImportRecord(db);
    transaction.Commit();
    if (added.empty())
        return {};
    const std::size_t kept = present - unchanged.size();
    std::string text = "The import of \"" + file + "\" did not finish: the program was ended " +
                       "after it had added " + std::to_string(added.size()) + " of its " +
                       Plural(static_cast<std::size_t>(staged), "contact", "contacts") + ". ";
    if (kept == 0)
        text += "They were taken out again, so the address book is as it was before that "
                "import. Import the file again to add its contacts.";
    else
        text += std::to_string(unchanged.size()) + " of them were taken out again; " +
                Plural(kept, "contact was", "contacts were") +
                " changed since and kept. Import the file again to add the rest: contacts "
                "already present are skipped.";
    return text;
}

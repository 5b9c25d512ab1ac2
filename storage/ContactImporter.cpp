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

std::uint64_t Mixed(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

ContactKey KeyOf(const ContactValues& saved) {
    std::uint64_t a = 0xcbf29ce484222325ULL;
    std::uint64_t b = 0x9e3779b97f4a7c15ULL;
    auto add = [&](unsigned char c) {
        a = (a ^ c) * 0x100000001b3ULL;
        b = ((b ^ c) << 7 | (b ^ c) >> 57) * 0xbf58476d1ce4e5b9ULL;
    };
    for (const std::string& v : saved) {
        for (char c : v)
            add(static_cast<unsigned char>(c));
        add(0x1f);
    }
    return {Mixed(a), Mixed(b ^ a)};
}


} // namespace

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
    return text;
}

namespace {

std::string ColumnList(const char* prefix = "") {
    std::string list;
    for (const std::string& column : SaveOrderColumns())
        list += (list.empty() ? "" : ",") + std::string(prefix) + column;
    return list;
}

// What the summary needs of a contact, kept with its staged row: the reasons of its values
// moved to notes as digits, what reading had to change in it, how many photos, logos, sounds and
// keys it left out, and its name, apart by \x1f. Empty when there is nothing to tell.
std::string SummaryRecord(const ContactValues& values, const ImportedContact& contact) {
    const FittedContact& fitted = contact.fitted;
    if (fitted.MovedReasons().empty() && fitted.ChangedKinds().empty() && contact.leftOut == 0)
        return {};
    std::string record;
    for (MoveReason why : fitted.MovedReasons())
        record += static_cast<char>('0' + static_cast<int>(why));
    record += '\x1f';
    for (const std::string& kind : fitted.ChangedKinds())
        record += (record.back() == '\x1f' ? "" : ", ") + kind;
    return record + '\x1f' + std::to_string(contact.leftOut) + '\x1f' + DisplayName(values);
}

void AddSummaryRecord(ImportSummary& summary, const std::string& record) {
    std::string part[4];
    std::size_t from = 0;
    for (int k = 0; k < 4; ++k) {
        const std::size_t cut = k < 3 ? record.find('\x1f', from) : record.size();
        if (cut == std::string::npos)
            return;
        part[k] = record.substr(from, cut - from);
        from = cut + 1;
    }
    for (char why : part[0])
        ++summary.movedBy[static_cast<MoveReason>(why - '0')];
    if (!part[0].empty())
        summary.moved.push_back(part[3]);
    if (!part[1].empty())
        summary.changed.push_back(part[3] + ": " + part[1]);
    summary.leftOut += std::stoul(part[2]);
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
                             "skip INTEGER NOT NULL DEFAULT 0,moved TEXT," +
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
    StagedImport(TSQLiteDatabase& db, ProgressShare& progress)
        : db_(db), progress_(progress), staging_(db) {
        ReadBookKeys();
        std::string insert = "INSERT INTO staged.Rows(seq,moved," + ColumnList() + ")VALUES(?,?";
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
                const auto placed = keys_.emplace(KeyOf(values), staged_ + 1);
                if (!placed.second) {
                    ++summary_.skipped;
                    continue;
                }
                ++staged_;
                stage_->BindInteger(1, static_cast<std::int64_t>(staged_));
                const std::string moved = SummaryRecord(values, contact);
                if (!moved.empty())
                    stage_->BindKeptText(2, moved);
                for (int i = 0; i < kDataColumns; ++i)
                    stage_->BindKeptText(i + 3, values[i]);
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
        try {
            for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
                if (!progress_.Added(chunk, chunks)) {
                    TakeOut();
                    return false;
                }
                TWriteTransaction transaction(db_);
                SkipContactsAddedMeanwhile(skip, chunk * kInsertRows);
                insert.BindInteger(1, static_cast<std::int64_t>(chunk * kInsertRows));
                insert.BindInteger(2, static_cast<std::int64_t>((chunk + 1) * kInsertRows));
                insert.Run();
                // Nobody else writes until the commit: every row past the last seen is ours.
                TSQLiteStatement added(db_, "SELECT rowid FROM main.Customers WHERE rowid>? "
                                            "ORDER BY rowid;");
                added.BindInteger(1, lastSeen_);
                while (added.Step()) {
                    lastSeen_ = added.IntegerAt(0);
                    addedIds_.push_back(lastSeen_);
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
        TSQLiteStatement moved(
            db_, "SELECT moved FROM staged.Rows WHERE skip=0 AND moved IS NOT NULL ORDER BY seq;");
        while (moved.Step())
            AddSummaryRecord(summary, std::string(moved.TextAt(0)));
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

} // namespace

ImportSummary ImportContacts(TSQLiteDatabase& db, TContactReader& reader,
                             IImportProgress* progress) {
    ProgressShare share(progress, reader.Size());
    StagedImport import(db, share);
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

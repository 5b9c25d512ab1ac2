#pragma once

#include "model/ContactColumns.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class IImportProgress;
class TSQLiteDatabase;
class TSQLiteTable;
struct ExportSummary;
struct ImportSummary;

// One change the address book made, reported after it is made.
struct BookChange {
    enum class Kind { Added, Updated, Deleted };
    Kind kind;
    std::string id;
};

// A stored contact as loaded: its row (a null column gives the empty text), and the columns
// whose value a text read cannot carry whole (a blob, or a text with a zero byte inside, where
// a read stops).
struct StoredContact {
    std::string id;
    KeptColumns cutShort;
    // How many rows carry the identifier: more than one only in a file another tool wrote,
    // where a save or delete of one would change them all.
    std::size_t rows = 0;
    std::shared_ptr<const TSQLiteTable> row;

    // The texts in table order, read in loading order: a contact that has gone meanwhile fails
    // here, naming the first column read.
    ContactValues Values() const;
};

// A save or delete the book refuses, with a message for the user; nothing has changed.
class EAddressBookError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The address book file, and the one way the program reads and changes it. Every operation
// opens a connection of its own on the file as it exists (only the first-start build creates
// it), runs its statements and closes the connection before it returns, also when it fails:
// other copies of the program and other tools may use the file in between.
class TAddressBook {
public:
    explicit TAddressBook(std::string path);

    const std::string& Path() const { return path_; }
    // Every change the book makes from now on, after it is made.
    void OnChange(std::function<void(const BookChange&)> listener);

    // The rows of a list or search statement.
    std::unique_ptr<TSQLiteTable> List(const std::string& statement) const;
    // Every contact the query lists, each as the editor would save it.
    std::vector<ContactValues> SavedContacts(const std::string& query) const;

    // The contact with the identifier, as stored.
    StoredContact Load(const std::string& id);
    // Writes the editor's values: an UPDATE of the stored contact, an INSERT for a new one (empty
    // id). `untouched` names the columns the user has not changed since the contact was loaded:
    // of those, a value the editor could not show exactly is left as it is stored. Returns the
    // contact's identifier.
    std::string Save(const ContactValues& values, const std::string& id,
                     const KeptColumns& untouched = {});
    // The same for a contact the editor opened with the values `opened` (as the editor would have
    // saved them then). Where a sync changed the stored contact while it was open, the user's
    // changes are merged into the sync's by field, as the sync merges: a field both changed takes
    // the sync's value and the user's goes to the notes. `merge` tells what happened.
    struct SaveMerge {
        bool merged = false;        // the stored contact had changed, and was merged with
        std::vector<int> conflicts; // the columns both changed differently
    };
    std::string SaveOpened(const ContactValues& values, const std::string& id,
                           const KeptColumns& untouched, const ContactValues& opened,
                           SaveMerge* merge);
    // Deletes the contact, then compacts the file. The connection opens first, so that a book
    // that cannot be opened fails before the user is asked; `confirm` asks, and nothing is
    // deleted unless it returns true.
    void Delete(const std::string& id, const std::function<bool()>& confirm);

    // Adds the contacts of a vCard or CSV file, all or none, and reports each contact added.
    ImportSummary Import(const std::string& filePath, IImportProgress* progress = nullptr);
    // The same in two halves, for an import on a thread of its own: the first works on the files
    // alone and may run on any thread; the second reports what it added, on the caller's.
    ImportSummary ImportUnreported(const std::string& filePath,
                                   IImportProgress* progress = nullptr) const;
    void ReportImported(const ImportSummary& summary) const;
    // Makes two contacts one: the first takes the merged values, the second goes (see
    // MergeContactRows); reports both changes. Returns the merge's number for UndoMerge.
    std::int64_t MergeDuplicates(std::int64_t firstId, std::int64_t secondId,
                                 const ContactValues& merged);
    // Takes the merge back (see UndoContactMerge) and reports it.
    void UndoMerge(std::int64_t merge);
    // Writes the contacts the query lists to a vCard or CSV file.
    ExportSummary Export(const std::string& filePath,
                         const std::string& query = "SELECT * FROM Customers");

    // The columns of `untouched` whose stored value the editor cannot give back exactly: text
    // that is not UTF-8 or holds a zero byte, a blob, a masked field whose stored text loses
    // characters in the mask (`shown`: the editor's values).
    static KeptColumns KeptAsStored(const StoredContact& stored, const ContactValues& shown,
                                    const KeptColumns& untouched);

private:
    void Report(BookChange::Kind kind, const std::string& id) const;

    std::string path_;
    std::vector<std::function<void(const BookChange&)>> listeners_;
    StoredContact loaded_; // the contact last loaded, for the keep-as-stored rule
};

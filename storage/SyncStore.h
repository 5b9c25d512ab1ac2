#pragma once

#include "model/ContactColumns.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class TSQLiteDatabase;

// One card on the server as this desk last synced it.
struct SyncedCard {
    std::string href;
    std::string etag;
    std::string uid;     // the card's own UID
    int person = 0;      // 0 the contact's own card, 1 to 5 the extra person in that place
    std::string content; // the card as last sent or received
};

// A contact as last synced: the row it lives in here, its values then (the base a merge
// compares both sides with), and its cards on the server. Its name on the server is the UID of
// its own card.
struct SyncedContact {
    std::string uid;
    std::int64_t row = 0;
    ContactValues values;
    std::vector<SyncedCard> cards;
};

// A new contact as its sending began: its row (0 once deleted) and the values sent, which are
// what the server's card held before anyone else could change it.
struct PendingContact {
    std::int64_t row = 0;
    ContactValues sent;
};

// What the last sync left: the address book it synced with, that book's sync token, and every
// contact both sides had then.
struct SyncState {
    std::string bookUrl;
    std::string bookName;
    std::string from; // the address the book was found from
    // Empty while a sync is changing either side: the next then lists the book whole.
    std::string token;
    bool syncCollection = false; // the book gave a token before
    // The part of the UIDs this desk gave new contacts before it kept them in `pending`.
    std::string salt;
    std::map<std::string, SyncedContact> contacts; // by UID
    // New contacts whose sending began and was not yet recorded, by the UID chosen for each, so
    // that a sending cut short (or whose answer was lost) is finished under the same names, and
    // a card the server stored for a row deleted since is known as this desk's.
    std::map<std::string, PendingContact> pending;
    // The own cards of synced contacts merged into another, by the row of the one they were
    // merged into: what they told of the person that no field holds goes to that contact's card
    // when it is next sent.
    std::map<std::int64_t, std::vector<std::string>> carried;
};

// A contact of this desk: its row and values as the editor would save them.
struct LocalContact {
    std::int64_t row = 0;
    ContactValues values;
};

// The sync's own tables in the address book file, beside Customers and never in it, so that
// every other program on the file sees the book as it always was. Every change of the book the
// sync makes goes through here, in one transaction with the state that records it, so a sync
// killed at any moment leaves the book and its state agreeing. Each call opens a connection of
// its own, as the address book's operations do.
class TSyncStore {
public:
    explicit TSyncStore(std::string bookPath);

    SyncState Load();
    std::vector<LocalContact> LocalContacts();

    // The contact's row takes the values (a new row when `synced.row` is 0, or when the row has
    // gone meanwhile) and the state records it as synced. Returns the row.
    std::int64_t Apply(SyncedContact synced, const ContactValues& values);
    // The same for values that differ from the row's only as the cards just sent read back (the
    // notes' lines in the cards' order): that is nobody's edit, so a merge into the row that
    // could be undone before stays undoable.
    std::int64_t ApplyAsRead(const SyncedContact& synced, const ContactValues& values);
    // The same for several contacts in one transaction, each with its state: quicker where many
    // come at once (the first sync of a desk), and as safe. Returns their rows in order.
    std::vector<std::int64_t> ApplyAll(const std::vector<std::pair<SyncedContact, ContactValues>>& contacts);
    // Both sides hold the contact as `synced` says: the state records it, the book is not
    // touched.
    void Record(const SyncedContact& synced);
    // The contact is gone on both sides: its row (when `deleteRow`) and its state.
    void Remove(const SyncedContact& synced, bool deleteRow);
    // Starts over with another address book (found from the address `from`): every contact's
    // state goes.
    void Reset(const std::string& bookUrl, const std::string& bookName, const std::string& from);
    void SetToken(const std::string& token);
    // The contact in `row` is about to be sent for the first time under `uid`, with `sent`.
    void AddPending(const std::string& uid, std::int64_t row, const ContactValues& sent);
    // The cards carried to the contact in `row` are on the server now.
    void ForgetCarried(std::int64_t row);

private:
    std::string path_;
};

// The values the sync last recorded for the contact in `row`, on a connection of the caller's;
// none when the book has never been synced or the sync does not know the row.
std::optional<ContactValues> SyncedValuesOfRow(TSQLiteDatabase& db, std::int64_t row);

// A merge of two contacts on that connection, inside its transaction, before the second row goes:
// the second's own card, when the sync knows it, is carried to the first (see SyncState), and
// the state's rows of both are kept with the merge's number, so that an undo finds them again.
void KeepSyncStateOfMerge(TSQLiteDatabase& db, std::int64_t merge, std::int64_t firstId,
                          std::int64_t secondId);
// After that merge is undone and both rows are back: the state points at them again where it
// still knows them, and nothing is carried for the merge any more.
void RestoreSyncStateOfMerge(TSQLiteDatabase& db, std::int64_t merge);

// The three sample contacts of a first start, as the editor saves them.
std::vector<ContactValues> FirstStartSampleValues();

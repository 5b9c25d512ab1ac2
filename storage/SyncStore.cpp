#include "storage/SyncStore.h"

#include "interchange/ContactCards.h"
#include "interchange/ContactFitting.h"
#include "interchange/TextCodec.h"
#include "interchange/VCardParser.h"
#include "interchange/VCardWriter.h"
#include "storage/ContactStatements.h"
#include "storage/CustomerRows.h"
#include "storage/SQLiteStatement.h"
#include "storage/SQLiteTable3.h"
#include "storage/WriteTransaction.h"
#include "storage/unitCreateDB.h"

#include <stdexcept>

namespace {

const char* const kCreateTables[] = {
    "CREATE TABLE IF NOT EXISTS VellicardSyncContacts(uid TEXT PRIMARY KEY,row INTEGER NOT NULL,"
    "synced TEXT NOT NULL);",
    "CREATE TABLE IF NOT EXISTS VellicardSyncCards(href TEXT PRIMARY KEY,contact TEXT NOT NULL,"
    "uid TEXT NOT NULL,person INTEGER NOT NULL,etag TEXT NOT NULL,content TEXT NOT NULL);",
    "CREATE INDEX IF NOT EXISTS VellicardSyncCardsByContact ON VellicardSyncCards(contact);",
    "CREATE TABLE IF NOT EXISTS VellicardSyncInfo(name TEXT PRIMARY KEY,value TEXT NOT NULL);",
    "CREATE TABLE IF NOT EXISTS VellicardSyncPending(uid TEXT PRIMARY KEY,row INTEGER NOT NULL,"
    "sent TEXT NOT NULL);",
    // A deleted contact's number can be given to the next new one; whichever way a row goes,
    // the state stops pointing at it, so the new contact is never taken for the deleted one.
    "CREATE TRIGGER IF NOT EXISTS VellicardSyncRowGone AFTER DELETE ON Customers BEGIN "
    "UPDATE VellicardSyncContacts SET row=0 WHERE row=OLD.dbCustomer_ID;"
    "UPDATE VellicardSyncPending SET row=0 WHERE row=OLD.dbCustomer_ID; END;"};

void CreateTables(TSQLiteDatabase& db) {
    for (const char* statement : kCreateTables)
        db.RunStatement(statement);
}

// The values as one text: each value's length, a colon, the value.
std::string Encoded(const ContactValues& values) {
    std::string text;
    for (const std::string& value : values)
        text += std::to_string(value.size()) + ":" + value;
    return text;
}

ContactValues Decoded(std::string_view text) {
    ContactValues values;
    std::size_t at = 0;
    for (std::string& value : values) {
        const std::size_t colon = text.find(':', at);
        if (colon == std::string_view::npos)
            throw std::runtime_error("The sync state in the address book is damaged.");
        const std::size_t length = std::stoul(std::string(text.substr(at, colon - at)));
        if (colon + 1 + length > text.size())
            throw std::runtime_error("The sync state in the address book is damaged.");
        value = std::string(text.substr(colon + 1, length));
        at = colon + 1 + length;
    }
    return values;
}


void Forget(TSQLiteDatabase& db, const char* statement, const std::string& uid) {
    TSQLiteStatement forget(db, statement);
    forget.BindText(1, uid);
    forget.Run();
}

void WriteState(TSQLiteDatabase& db, const SyncedContact& synced) {
    Forget(db, "DELETE FROM VellicardSyncCards WHERE contact=?;", synced.uid);
    Forget(db, "DELETE FROM VellicardSyncPending WHERE uid=?;", synced.uid);
    TSQLiteStatement contact(
        db, "INSERT OR REPLACE INTO VellicardSyncContacts(uid,row,synced)VALUES(?,?,?);");
    contact.BindText(1, synced.uid);
    contact.BindInteger(2, synced.row);
    contact.BindText(3, Encoded(synced.values));
    contact.Run();
    TSQLiteStatement card(db, "INSERT OR REPLACE INTO VellicardSyncCards(href,contact,uid,person,"
                              "etag,content)VALUES(?,?,?,?,?,?);");
    for (const SyncedCard& c : synced.cards) {
        card.BindText(1, c.href);
        card.BindText(2, synced.uid);
        card.BindText(3, c.uid);
        card.BindInteger(4, c.person);
        card.BindText(5, c.etag);
        card.BindText(6, c.content);
        card.Run();
    }
}

bool RowExists(TSQLiteDatabase& db, std::int64_t row) {
    if (row <= 0)
        return false;
    TSQLiteStatement exists(db, "SELECT 1 FROM Customers WHERE rowid=?;");
    exists.BindInteger(1, row);
    return exists.Step();
}

} // namespace

std::optional<ContactValues> SyncedValuesOfRow(TSQLiteDatabase& db, std::int64_t row) {
    TSQLiteStatement known(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND "
                               "name='VellicardSyncContacts';");
    if (!known.Step())
        return std::nullopt;
    TSQLiteStatement synced(db, "SELECT synced FROM VellicardSyncContacts WHERE row=?;");
    synced.BindInteger(1, row);
    if (!synced.Step())
        return std::nullopt;
    return Decoded(synced.TextAt(0));
}

TSyncStore::TSyncStore(std::string bookPath) : path_(std::move(bookPath)) {}

SyncState TSyncStore::Load() {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    CreateTables(db);
    SyncState state;
    {
        TSQLiteStatement info(db, "SELECT name,value FROM VellicardSyncInfo;");
        while (info.Step()) {
            if (info.TextAt(0) == "book")
                state.bookUrl = std::string(info.TextAt(1));
            else if (info.TextAt(0) == "name")
                state.bookName = std::string(info.TextAt(1));
            else if (info.TextAt(0) == "from")
                state.from = std::string(info.TextAt(1));
            else if (info.TextAt(0) == "salt")
                state.salt = std::string(info.TextAt(1));
            else if (info.TextAt(0) == "token") {
                state.token = std::string(info.TextAt(1));
                state.syncCollection = true;
            }
        }
    }
    {
        TSQLiteStatement contacts(db, "SELECT uid,row,synced FROM VellicardSyncContacts;");
        while (contacts.Step()) {
            SyncedContact c;
            c.uid = std::string(contacts.TextAt(0));
            c.row = contacts.IntegerAt(1);
            c.values = Decoded(contacts.TextAt(2));
            state.contacts.emplace(c.uid, std::move(c));
        }
    }
    {
        TSQLiteStatement pending(db, "SELECT uid,row,sent FROM VellicardSyncPending;");
        while (pending.Step())
            state.pending[std::string(pending.TextAt(0))] = {pending.IntegerAt(1),
                                                             Decoded(pending.TextAt(2))};
    }
    TSQLiteStatement cards(db, "SELECT href,contact,uid,person,etag,content FROM "
                               "VellicardSyncCards ORDER BY contact,person;");
    while (cards.Step()) {
        const auto owner = state.contacts.find(std::string(cards.TextAt(1)));
        if (owner == state.contacts.end())
            continue;
        owner->second.cards.push_back({std::string(cards.TextAt(0)), std::string(cards.TextAt(4)),
                                       std::string(cards.TextAt(2)),
                                       static_cast<int>(cards.IntegerAt(3)),
                                       std::string(cards.TextAt(5))});
    }
    return state;
}

std::vector<LocalContact> TSyncStore::LocalContacts() {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    std::vector<LocalContact> contacts;
    ForEachSavedRow(db, "", kFromFirstRow, [&](std::int64_t row, const ContactValues& values) {
        contacts.push_back({row, values});
    });
    return contacts;
}

namespace {

std::int64_t ApplyOne(TSQLiteDatabase& db, SyncedContact synced, const ContactValues& values) {
    if (RowExists(db, synced.row))
        WriteContact(db, values, std::to_string(synced.row));
    else
        synced.row = std::stoll(WriteContact(db, values, std::string()));
    WriteState(db, synced);
    return synced.row;
}

} // namespace

std::int64_t TSyncStore::Apply(SyncedContact synced, const ContactValues& values) {
    return ApplyAll({{std::move(synced), values}}).front();
}

std::vector<std::int64_t> TSyncStore::ApplyAll(
    const std::vector<std::pair<SyncedContact, ContactValues>>& contacts) {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    TWriteTransaction transaction(db);
    std::vector<std::int64_t> rows;
    for (const auto& [synced, values] : contacts)
        rows.push_back(ApplyOne(db, synced, values));
    transaction.Commit();
    return rows;
}

void TSyncStore::Record(const SyncedContact& synced) {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    TWriteTransaction transaction(db);
    WriteState(db, synced);
    transaction.Commit();
}

void TSyncStore::Remove(const SyncedContact& synced, bool deleteRow) {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    TWriteTransaction transaction(db);
    // The compaction a delete in the window does cannot run inside a transaction; the next
    // delete in the window compacts the file.
    if (deleteRow && RowExists(db, synced.row))
        db.RunStatement(BuildDeleteStatement(std::to_string(synced.row)));
    Forget(db, "DELETE FROM VellicardSyncCards WHERE contact=?;", synced.uid);
    Forget(db, "DELETE FROM VellicardSyncContacts WHERE uid=?;", synced.uid);
    Forget(db, "DELETE FROM VellicardSyncPending WHERE uid=?;", synced.uid);
    transaction.Commit();
}

void TSyncStore::Reset(const std::string& bookUrl, const std::string& bookName,
                       const std::string& from) {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    CreateTables(db);
    TWriteTransaction transaction(db);
    db.RunStatement("DELETE FROM VellicardSyncCards;");
    db.RunStatement("DELETE FROM VellicardSyncContacts;");
    db.RunStatement("DELETE FROM VellicardSyncInfo;");
    db.RunStatement("DELETE FROM VellicardSyncPending;");
    TSQLiteStatement info(db, "INSERT INTO VellicardSyncInfo(name,value)VALUES(?,?);");
    const std::string salt = NewCardUid();
    for (const auto& [name, value] : {std::pair<const char*, const std::string&>{"book", bookUrl},
                                      {"name", bookName},
                                      {"from", from},
                                      {"salt", salt}}) {
        info.BindText(1, name);
        info.BindText(2, value);
        info.Run();
    }
    transaction.Commit();
}

void TSyncStore::SetToken(const std::string& token) {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    TSQLiteStatement set(db, "INSERT OR REPLACE INTO VellicardSyncInfo(name,value)VALUES('token',?);");
    set.BindText(1, token);
    set.Run();
}

void TSyncStore::AddPending(const std::string& uid, std::int64_t row, const ContactValues& sent) {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    TSQLiteStatement add(db,
                         "INSERT OR REPLACE INTO VellicardSyncPending(uid,row,sent)VALUES(?,?,?);");
    add.BindText(1, uid);
    add.BindInteger(2, row);
    add.BindText(3, Encoded(sent));
    add.Run();
}

std::vector<ContactValues> FirstStartSampleValues() {
    TSQLiteDatabase db(":memory:");
    int count = 0;
    const char* const* statements = SeedStatements(&count);
    for (int i = 0; i < count; ++i)
        db.RunStatement(statements[i]);
    std::vector<ContactValues> samples;
    ForEachSavedRow(db, "", kFromFirstRow, [&](std::int64_t, const ContactValues& values) {
        samples.push_back(values);
    });
    return samples;
}

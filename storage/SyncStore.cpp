#include "storage/SyncStore.h"

#include "interchange/ContactCards.h"
#include "interchange/ContactFitting.h"
#include "interchange/TextCodec.h"
#include "interchange/VCardParser.h"
#include "interchange/VCardWriter.h"
#include "storage/ContactStatements.h"
#include "storage/CustomerRows.h"
#include "storage/DuplicateMerge.h"
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
    "UPDATE VellicardSyncPending SET row=0 WHERE row=OLD.dbCustomer_ID; END;",
    "CREATE TABLE IF NOT EXISTS VellicardSyncCarried(row INTEGER NOT NULL,merge INTEGER NOT NULL,"
    "content TEXT NOT NULL);",
    "CREATE TRIGGER IF NOT EXISTS VellicardSyncCarriedGone AFTER DELETE ON Customers BEGIN "
    "DELETE FROM VellicardSyncCarried WHERE row=OLD.dbCustomer_ID; END;"};

void CreateTables(TSQLiteDatabase& db) {
    for (const char* statement : kCreateTables)
        db.RunStatement(statement);
}

[[noreturn]] void Damaged() {
    throw std::runtime_error("The sync state in the address book is damaged.");
}

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The values as a JSON array of strings, in table order, which any tool that reads JSON reads
// (SQLite's json_extract among them). Bytes from 0x80 up stand as they are.
std::string Encoded(const ContactValues& values) {
    static const char kHex[] = "0123456789abcdef";
    std::string text = "[";
    for (const std::string& value : values) {
        text += text.size() > 1 ? ",\"" : "\"";
        for (char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                text += '\\';
                text += c;
            } else if (c == '\n') {
                text += "\\n";
            } else if (c == '\r') {
                text += "\\r";
            } else if (c == '\t') {
                text += "\\t";
            } else if (byte < 0x20) {
                text += "\\u00";
                text += kHex[byte >> 4];
                text += kHex[byte & 15];
            } else {
                text += c;
            }
        }
        text += '"';
    }
    return text + "]";
}

// Four hexadecimal digits at `at`.
unsigned Hex4(std::string_view text, std::size_t at) {
    if (at + 4 > text.size())
        Damaged();
    unsigned code = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        const int digit = HexValue(text[i]);
        if (digit < 0)
            Damaged();
        code = code * 16 + static_cast<unsigned>(digit);
    }
    return code;
}

ContactValues DecodedJson(std::string_view text) {
    ContactValues values;
    std::size_t at = 1;
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (at >= text.size() || text[at] != '"')
            Damaged();
        std::string& value = values[k];
        for (++at;; ++at) {
            if (at >= text.size())
                Damaged();
            const char c = text[at];
            if (c == '"')
                break;
            if (c != '\\') {
                value += c;
                continue;
            }
            if (++at >= text.size())
                Damaged();
            switch (text[at]) {
            case 'n': value += '\n'; break;
            case 'r': value += '\r'; break;
            case 't': value += '\t'; break;
            case 'b': value += '\b'; break;
            case 'f': value += '\f'; break;
            case 'u': {
                unsigned code = Hex4(text, at + 1);
                at += 4;
                if (code >= 0xD800 && code < 0xDC00 && text.substr(at + 1, 2) == "\\u") {
                    const unsigned low = Hex4(text, at + 3);
                    if (low >= 0xDC00 && low < 0xE000) {
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                        at += 6;
                    }
                }
                AppendUtf8(value, code);
                break;
            }
            default: value += text[at]; // \" \\ \/
            }
        }
        ++at;
        const char next = k + 1 < values.size() ? ',' : ']';
        if (at >= text.size() || text[at] != next)
            Damaged();
        ++at;
    }
    if (at != text.size())
        Damaged();
    return values;
}

// The values as earlier versions recorded them: each value's length, a colon, the value.
ContactValues DecodedLengths(std::string_view text) {
    ContactValues values;
    std::size_t at = 0;
    for (std::string& value : values) {
        const std::size_t colon = text.find(':', at);
        if (colon == std::string_view::npos)
            Damaged();
        const std::size_t length = std::stoul(std::string(text.substr(at, colon - at)));
        if (colon + 1 + length > text.size())
            Damaged();
        value = std::string(text.substr(colon + 1, length));
        at = colon + 1 + length;
    }
    return values;
}

ContactValues Decoded(std::string_view text) {
    return !text.empty() && text.front() == '[' ? DecodedJson(text) : DecodedLengths(text);
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

bool SyncKnown(TSQLiteDatabase& db) { return HasTable(db, "VellicardSyncContacts"); }

} // namespace

void KeepSyncStateOfMerge(TSQLiteDatabase& db, std::int64_t merge, std::int64_t firstId,
                          std::int64_t secondId) {
    if (!SyncKnown(db))
        return;
    CreateTables(db);
    const std::string m = std::to_string(merge), first = std::to_string(firstId),
                      second = std::to_string(secondId);
    // Each entry with what it held, and a contact's own card as last synced: an undo after a sync
    // that deleted the card puts it on the server again as it was.
    db.RunStatement("CREATE TABLE IF NOT EXISTS VellicardMergeSyncRows(vcMerge INTEGER NOT NULL,"
                    "pending INTEGER NOT NULL,uid TEXT NOT NULL,row INTEGER NOT NULL,"
                    "synced TEXT NOT NULL,href TEXT,card TEXT);");
    db.RunStatement("INSERT INTO VellicardMergeSyncRows SELECT " + m + ",0,s.uid,s.row,s.synced,"
                    "c.href,c.content FROM VellicardSyncContacts s LEFT JOIN VellicardSyncCards c ON "
                    "c.contact=s.uid AND c.person=0 WHERE s.row IN (" + first + "," + second + ");");
    db.RunStatement("INSERT INTO VellicardMergeSyncRows SELECT " + m + ",1,uid,row,sent,NULL,NULL "
                    "FROM VellicardSyncPending WHERE row IN (" + first + "," + second + ");");
    // What was carried to the second goes on to the first.
    db.RunStatement("UPDATE VellicardSyncCarried SET row=" + first + " WHERE row=" + second + ";");
    db.RunStatement("INSERT INTO VellicardSyncCarried(row,merge,content) SELECT " + first + "," +
                    m + ",c.content FROM VellicardSyncCards c JOIN VellicardSyncContacts s ON "
                    "c.contact=s.uid WHERE s.row=" + second + " AND c.person=0;");
}

void RestoreSyncStateOfMerge(TSQLiteDatabase& db, std::int64_t merge) {
    if (!SyncKnown(db))
        return;
    CreateTables(db);
    const std::string m = std::to_string(merge);
    db.RunStatement("DELETE FROM VellicardSyncCarried WHERE merge=" + m + ";");
    if (!HasTable(db, "VellicardMergeSyncRows"))
        return;
    for (const char* table : {"VellicardSyncContacts", "VellicardSyncPending"}) {
        const std::string pending = table == std::string("VellicardSyncPending") ? "1" : "0";
        db.RunStatement(std::string("UPDATE ") + table + " SET row=(SELECT k.row FROM "
                        "VellicardMergeSyncRows k WHERE k.vcMerge=" + m + " AND k.pending=" +
                        pending + " AND k.uid=" + table + ".uid) WHERE row=0 AND uid IN (SELECT "
                        "uid FROM VellicardMergeSyncRows WHERE vcMerge=" + m + " AND pending=" +
                        pending + ");");
    }
    // The second contact's cards went from the server at a sync since: the state knows it again
    // with its own card as it was, which the next sync finds gone there and makes again, under
    // its UID and with every byte another program wrote. (Its people's cards are written anew.)
    // A card no longer known by its ETag is always sent; the card carried to itself makes the
    // contact one to send though its values are as synced.
    TSQLiteStatement gone(db, "SELECT k.uid,k.row,k.synced,k.href,k.card FROM VellicardMergeSyncRows "
                              "k JOIN VellicardMergeUndo u ON u.vcMerge=k.vcMerge AND u.vcRole=2 "
                              "AND u.dbCustomer_ID=k.row WHERE k.vcMerge=? AND k.pending=0 AND "
                              "k.card IS NOT NULL AND k.uid NOT IN (SELECT uid FROM "
                              "VellicardSyncContacts) AND k.href NOT IN (SELECT href FROM "
                              "VellicardSyncCards);");
    gone.BindInteger(1, merge);
    struct Gone {
        std::string uid, synced, href, card;
        std::int64_t row;
    };
    std::vector<Gone> again;
    while (gone.Step())
        again.push_back({std::string(gone.TextAt(0)), std::string(gone.TextAt(2)),
                         std::string(gone.TextAt(3)), std::string(gone.TextAt(4)),
                         gone.IntegerAt(1)});
    TSQLiteStatement contact(db, "INSERT INTO VellicardSyncContacts(uid,row,synced)VALUES(?,?,?);");
    TSQLiteStatement card(db, "INSERT INTO VellicardSyncCards(href,contact,uid,person,etag,content)"
                              "VALUES(?,?,?,0,'',?);");
    TSQLiteStatement carried(db, "INSERT INTO VellicardSyncCarried(row,merge,content)VALUES(?,?,?);");
    for (const Gone& g : again) {
        contact.BindText(1, g.uid);
        contact.BindInteger(2, g.row);
        contact.BindText(3, g.synced);
        contact.Run();
        card.BindText(1, g.href);
        card.BindText(2, g.uid);
        card.BindText(3, g.uid);
        card.BindText(4, g.card);
        card.Run();
        carried.BindInteger(1, g.row);
        carried.BindInteger(2, merge);
        carried.BindText(3, g.card);
        carried.Run();
    }
    db.RunStatement("DELETE FROM VellicardMergeSyncRows WHERE vcMerge=" + m + ";");
}

std::optional<ContactValues> SyncedValuesOfRow(TSQLiteDatabase& db, std::int64_t row) {
    if (!SyncKnown(db))
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
    {
        TSQLiteStatement carried(db, "SELECT row,content FROM VellicardSyncCarried ORDER BY "
                                     "merge;");
        while (carried.Step())
            state.carried[carried.IntegerAt(0)].emplace_back(carried.TextAt(1));
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
    // What the sync leaves as the row had it stays as stored.
    if (RowExists(db, synced.row))
        WriteContact(db, values, std::to_string(synced.row),
                     UnchangedColumns(db, std::to_string(synced.row), values));
    else
        synced.row = std::stoll(WriteContact(db, values, std::string()));
    WriteState(db, synced);
    return synced.row;
}

} // namespace

std::int64_t TSyncStore::Apply(SyncedContact synced, const ContactValues& values) {
    return ApplyAll({{std::move(synced), values}}).front();
}

std::int64_t TSyncStore::ApplyAsRead(const SyncedContact& synced, const ContactValues& values) {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    TWriteTransaction transaction(db);
    const std::int64_t merge = UndoableMergeInto(db, synced.row);
    const std::int64_t row = ApplyOne(db, synced, values);
    if (merge != 0)
        RetakeMergedContact(db, merge);
    transaction.Commit();
    return row;
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

void TSyncStore::ForgetCarried(std::int64_t row) {
    TSQLiteDatabase db(path_, OpenMode::ExistingOnly);
    CreateTables(db);
    TSQLiteStatement forget(db, "DELETE FROM VellicardSyncCarried WHERE row=?;");
    forget.BindInteger(1, row);
    forget.Run();
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

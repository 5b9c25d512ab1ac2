#pragma once

#include "interchange/ContactMerge.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <string>

class ISyncServer;
class TDavClient;

// What one sync did, counted by contact.
struct SyncSummary {
    QString book;              // the address book's name on the server
    int sent = 0;              // contacts added or changed on the server
    int received = 0;          // contacts added or changed here
    int deleted = 0;           // contacts deleted on either side
    QStringList conflicts;     // contacts changed on both sides in the same field, by name
    QStringList skipped;       // why cards of the server were left out, one sentence each

    // "Synchronized with Contacts: 3 sent, 12 received, 1 deleted, 0 conflicts", the contacts
    // with conflicts named after a colon, and the cards left out said after that.
    QString Line() const;
};

// Syncs the address book file with the client's address book, both ways:
// - what changed on the server since the last sync comes by sync-collection where the server
//   offers it, else by comparing ETags; cards come by addressbook-multiget;
// - what changed here is found by content, each contact's row against its values as last
//   synced, so a change by another copy of the program or another tool is synced too; a row
//   that has gone was deleted;
// - a contact changed on both sides is merged field by field (see MergeValues); deleted on one
//   side and changed on the other, the change wins; on the first sync of a book, contacts equal
//   in every field on both sides are matched rather than doubled;
// - every change to the book is one transaction with the state that records it, and state is
//   recorded only after the server has taken a change, so a sync stopped anywhere is finished
//   by the next one without doubles or losses.
// Throws EDavError for what the server refused or answered wrongly, std::exception for the book.
// A card the server holds is written back patched: only the properties of the fields changed
// here are replaced, whoever wrote the card. A card too big to take is left out, named in the
// summary, and taken up again by the next sync; the rest goes on both ways.
SyncSummary SyncAddressBook(TDavClient& client, const std::string& bookPath);
SyncSummary SyncAddressBook(ISyncServer& server, const std::string& bookPath);

// Called after every step that changes the book or the server, for tests that stop a sync at
// each of them in turn; none by default.
void SetSyncStepObserver(std::function<void()> observer);

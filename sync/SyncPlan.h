#pragma once

// The sync's decisions, apart from carrying them out: from the state as last synced, the book's
// rows and what the server holds now, the list of steps that brings both sides together. No
// server and no file here, so every decision can be tested in tables.

#include "storage/SyncStore.h"

#include <map>
#include <set>
#include <string>
#include <vector>

// What the server holds now, as far as this sync has seen it.
struct ServerNow {
    // Cards listed as new or changed since the last sync, fetched, by the UID of their contact.
    std::map<std::string, std::vector<SyncedCard>> fetched;
    std::set<std::string> fetchedHrefs;
    std::set<std::string> removed; // hrefs listed as gone
    // Hrefs listed as changed that could not be taken (too big): their contacts stay as they
    // were on both sides until a later sync takes them.
    std::set<std::string> skipped;
};

enum class SyncStep {
    // The contact's cards go to the server: a card the server has is patched (only the
    // properties of the fields that differ between `synced.values` and `values` change), one
    // it has not is made new. The state then records what the server holds. A contact sent
    // for the first time has no UID yet: the runner gives it one and keeps it as pending first.
    Send,
    // The book takes `values` for the contact (a new row where `synced.row` is 0 or has gone),
    // and the state records `synced`.
    Apply,
    // The same for a contact new on the server; consecutive ones share a transaction.
    Arrive,
    // The state records `synced`; the book is not touched.
    Record,
    // The cards in `synced.cards` go from the server (a card changed there meanwhile brings the
    // contact back, where `bringBack`), then the contact's state, and its row with `deleteRow`.
    Delete,
};

struct SyncAction {
    SyncStep step = SyncStep::Record;
    SyncedContact synced;
    ContactValues values;
    bool deleteRow = false;
    bool bringBack = false;
    // What the step counts for in the summary, by contact.
    int sent = 0, received = 0, deleted = 0;
    std::string conflict; // the contact's name, when a merge kept a conflict
};

struct SyncPlanInput {
    const SyncState& state;
    const std::map<std::int64_t, ContactValues>& locals; // the book's rows, as the editor saves
    const ServerNow& server;
    // The first-start samples, as saved: every desk starts with the same three.
    const std::vector<ContactValues>& samples;
};

std::vector<SyncAction> PlanSync(const SyncPlanInput& input);

// The cards' values, read as an import reads them; empty values when they hold no contact.
ContactValues ValuesOfSyncedCards(const std::vector<SyncedCard>& cards);


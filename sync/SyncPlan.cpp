#include "interchange/ContactCards.h"
#include "interchange/ContactMerge.h"
#include "interchange/SyncCards.h"
#include "sync/SyncPlan.h"

#include <algorithm>

namespace {

class Planner {
public:
    explicit Planner(const SyncPlanInput& in) : in_(in) {}

    std::vector<SyncAction> Run() {
        for (const auto& [uid, synced] : in_.state.contacts)
            PlanKnown(synced);
        PlanArrivals();
        PlanNewRows();
        return std::move(actions_);
    }

private:
    const SyncPlanInput& in_;
    std::vector<SyncAction> actions_;
    std::set<std::int64_t> linkedRows_;

    SyncAction& Add(SyncStep step, const SyncedContact& synced, const ContactValues& values) {
        actions_.emplace_back();
        SyncAction& a = actions_.back();
        a.step = step;
        a.synced = synced;
        a.values = values;
        return a;
    }

    const ContactValues* Local(std::int64_t row) const {
        const auto found = in_.locals.find(row);
        return found == in_.locals.end() ? nullptr : &found->second;
    }

    bool Skipped(const SyncedContact& synced) const {
        for (const SyncedCard& card : synced.cards)
            if (in_.server.skipped.count(card.href))
                return true;
        return false;
    }

    bool ServerTouched(const SyncedContact& synced) const {
        if (in_.server.fetched.count(synced.uid))
            return true;
        for (const SyncedCard& card : synced.cards)
            if (in_.server.removed.count(card.href) || in_.server.fetchedHrefs.count(card.href))
                return true;
        return false;
    }

    // A card of the contact written there since the last sync, not only some taken away.
    bool ChangedThere(const SyncedContact& synced) const {
        if (in_.server.fetched.count(synced.uid))
            return true;
        for (const SyncedCard& card : synced.cards)
            if (in_.server.fetchedHrefs.count(card.href))
                return true;
        return false;
    }

    // `values` with the extra people whose cards among `cards` were written there since.
    ContactValues WithPeopleOf(const SyncedContact& synced,
                               const std::vector<SyncedCard>& cards) const {
        ContactValues values = synced.values;
        std::vector<SyncedCard> written, read; // read with the own card as last synced
        for (const SyncedCard& card : synced.cards)
            if (card.person == 0)
                read.push_back(card);
        for (const SyncedCard& card : cards)
            if (card.person > 0 && in_.server.fetchedHrefs.count(card.href))
                written.push_back(card);
        if (written.empty() || read.empty())
            return values;
        read.insert(read.end(), written.begin(), written.end());
        const ContactValues there = ValuesOfSyncedCards(read);
        for (const SyncedCard& card : written)
            TakePerson(values, there, card.person);
        return values;
    }

    static void TakePerson(ContactValues& into, const ContactValues& from, int n) {
        for (int i = 0; i < kColumnsPerExtra; ++i) {
            const int column = col::ExtraColumn(n, col::Extra(i));
            into[column] = from[column];
        }
    }

    // The contact's cards on the server now: those fetched, and those last synced that neither
    // changed nor went. False when the contact's own card is not among them.
    bool CardsNow(const SyncedContact& synced, std::vector<SyncedCard>* cards) const {
        cards->clear();
        std::set<int> persons;
        const auto fetched = in_.server.fetched.find(synced.uid);
        if (fetched != in_.server.fetched.end())
            for (const SyncedCard& card : fetched->second)
                if (persons.insert(card.person).second)
                    cards->push_back(card);
        for (const SyncedCard& card : synced.cards)
            if (!in_.server.removed.count(card.href) && !in_.server.fetchedHrefs.count(card.href) &&
                persons.insert(card.person).second)
                cards->push_back(card);
        return persons.count(0) > 0;
    }

    void PlanKnown(const SyncedContact& synced) {
        const ContactValues* local = Local(synced.row);
        if (local)
            linkedRows_.insert(synced.row);
        if (Skipped(synced))
            return; // taken up again when the server's card can be read
        const bool changedHere = local && (*local != synced.values || Carried(synced.row));
        if (!ServerTouched(synced)) {
            if (!local) {
                SyncAction& a = Add(SyncStep::Delete, synced, {});
                a.bringBack = true;
                a.deleted = 1;
            } else if (changedHere) {
                Add(SyncStep::Send, synced, *local).sent = 1;
            }
            return;
        }
        std::vector<SyncedCard> cards;
        if (!CardsNow(synced, &cards)) {
            // Gone on the server.
            if (changedHere) {
                // The change here wins: the contact goes back to the server, its own card made
                // again from the card as last synced, so what others wrote there is kept.
                // A person's card written there since (a person another desk added or changed)
                // is merged in, not taken away again.
                SyncedContact again = synced;
                again.cards = cards;
                again.values = WithPeopleOf(synced, cards);
                for (const SyncedCard& card : synced.cards)
                    if (card.person == 0) {
                        again.cards.push_back(card);
                        again.cards.back().href.clear();
                        again.cards.back().etag.clear();
                    }
                const MergedValues merged = MergeValues(synced.values, *local, again.values);
                if (merged.values != *local) {
                    // The state without the own card: if the sync stops here, the next one
                    // still finds the contact gone there and changed here.
                    SyncedContact applied = again;
                    applied.cards = cards;
                    SyncAction& apply = Add(SyncStep::Apply, applied, merged.values);
                    apply.received = 1;
                    if (!merged.conflicts.empty())
                        apply.conflict = DisplayName(merged.values);
                }
                Add(SyncStep::Send, again, merged.values).sent = 1;
            } else {
                // Its people's cards left there go too, but not one another client changed
                // since: that is someone's contact now.
                SyncedContact gone = synced;
                gone.cards.clear();
                for (const SyncedCard& card : cards)
                    if (!in_.server.fetchedHrefs.count(card.href))
                        gone.cards.push_back(card);
                SyncAction& a = Add(SyncStep::Delete, gone, {});
                a.deleteRow = local != nullptr;
                a.deleted = local ? 1 : 0;
            }
            return;
        }
        SyncedContact now = synced;
        now.cards = cards;
        now.values = ValuesOfSyncedCards(cards);
        if (!local) {
            if (!ChangedThere(synced)) {
                // Deleted here while only some of its people's cards went there (another
                // client, or a delete of ours that stopped part way): the delete goes on.
                SyncAction& a = Add(SyncStep::Delete, now, {});
                a.bringBack = true;
                a.deleted = 1;
                return;
            }
            // Deleted here and changed there: the change wins.
            now.row = 0;
            Add(SyncStep::Apply, now, now.values).received = 1;
            return;
        }
        if (!changedHere) {
            if (now.values != *local)
                Add(SyncStep::Apply, now, now.values).received = 1;
            else
                Add(SyncStep::Record, now, now.values);
            return;
        }
        PlanMerged(synced.values, *local, now.values, now);
    }

    // A contact this desk began to send whose cards are on the server, though the sending was
    // cut short or its answer lost: what was sent is the base, so a change made there since
    // (another desk's, another client's) is merged rather than written over.
    void PlanResumed(const std::string& uid, const PendingContact& pending,
                     const std::vector<SyncedCard>& cards) {
        linkedRows_.insert(pending.row);
        SyncedContact now{uid, pending.row, ValuesOfSyncedCards(cards), cards};
        // People whose cards never got there are not taken for people removed there.
        ContactValues there = now.values;
        for (int n = 1; n <= kExtraContacts; ++n) {
            bool sent = false;
            for (const SyncedCard& card : cards)
                sent = sent || card.person == n;
            if (!sent)
                TakePerson(there, pending.sent, n);
        }
        PlanMerged(pending.sent, *Local(pending.row), there, now);
    }

    // Changed here since `base`, and perhaps there too (`there`); `now` is what the server holds.
    void PlanMerged(const ContactValues& base, const ContactValues& local,
                    const ContactValues& there, const SyncedContact& now) {
        const MergedValues merged = MergeValues(base, local, there);
        if (merged.values == local && merged.values == now.values && !Carried(now.row)) {
            Add(SyncStep::Record, now, now.values); // the same change on both sides
            return;
        }
        // The book takes the merge now, the state what the server holds: if the sync stops
        // before the server has the merge, the next one finds it changed here and sends it.
        SyncAction& apply = Add(SyncStep::Apply, now, merged.values);
        apply.received = merged.values != local ? 1 : 0;
        if (!merged.conflicts.empty())
            apply.conflict = DisplayName(merged.values);
        if (merged.values != now.values || Carried(now.row))
            Add(SyncStep::Send, now, merged.values).sent = 1;
    }

    // Whether cards of contacts merged into the one in `row` wait to go to its card.
    bool Carried(std::int64_t row) const { return row != 0 && in_.state.carried.count(row); }

    // The row of a contact this desk began to send under the UID, 0 for any other UID. UIDs
    // from before the pending list were the desk's salt and the row.
    std::int64_t OwnRowOf(const std::string& uid) const {
        const auto pending = in_.state.pending.find(uid);
        if (pending != in_.state.pending.end())
            return pending->second.row;
        const std::string prefix = in_.state.salt + "-";
        if (in_.state.salt.empty() || uid.compare(0, prefix.size(), prefix) != 0 ||
            uid.size() == prefix.size() || uid.size() > prefix.size() + 18)
            return 0;
        std::int64_t row = 0;
        for (std::size_t i = prefix.size(); i < uid.size(); ++i) {
            if (uid[i] < '0' || uid[i] > '9')
                return 0;
            row = row * 10 + (uid[i] - '0');
        }
        return PendingOfRow(row) ? 0 : row;
    }

    const std::string* PendingOfRow(std::int64_t row) const {
        for (const auto& [uid, pending] : in_.state.pending)
            if (pending.row == row)
                return &uid;
        return nullptr;
    }

    static bool HasOwnCard(const std::vector<SyncedCard>& cards) {
        for (const SyncedCard& card : cards)
            if (card.person == 0)
                return true;
        return false;
    }

    void PlanArrivals() {
        // Rows no contact of the state lives in, by their values, for a first sync's matching.
        std::multimap<ContactValues, std::int64_t> unlinked;
        for (const auto& [row, values] : in_.locals)
            if (!linkedRows_.count(row))
                unlinked.emplace(values, row);
        for (const auto& [uid, fetched] : in_.server.fetched) {
            if (in_.state.contacts.count(uid) || !HasOwnCard(fetched))
                continue; // known, or extra people whose contact is not on the server: left there
            std::vector<SyncedCard> cards;
            std::set<int> persons;
            for (const SyncedCard& card : fetched)
                if (persons.insert(card.person).second)
                    cards.push_back(card);
            const auto pending = in_.state.pending.find(uid);
            if (pending != in_.state.pending.end()) {
                if (Local(pending->second.row) && !linkedRows_.count(pending->second.row)) {
                    PlanResumed(uid, pending->second, cards);
                    continue;
                }
                if (!Local(pending->second.row)) {
                    // Sent from here, though its answer never came, and deleted here since.
                    SyncedContact sent;
                    sent.uid = uid;
                    sent.cards = cards;
                    Add(SyncStep::Delete, sent, {}).deleted = 1;
                    continue;
                }
            } else if (const std::int64_t own = OwnRowOf(uid); own != 0 && Local(own) &&
                                                                 !linkedRows_.count(own)) {
                continue; // cut short before the pending list: the row sends it again below
            }
            foreign_ = true;
            SyncedContact synced;
            synced.uid = uid;
            synced.cards = cards;
            synced.values = ValuesOfSyncedCards(cards);
            const auto match = unlinked.find(synced.values);
            int received = 1;
            if (match != unlinked.end()) {
                synced.row = match->second;
                unlinked.erase(match);
                received = 0;
            }
            linkedRows_.insert(synced.row);
            Add(SyncStep::Arrive, synced, synced.values).received = received;
        }
    }

    // Whether the server's book holds contacts this desk did not send.
    bool BookHoldsOthers() const {
        if (foreign_)
            return true;
        for (const auto& [uid, synced] : in_.state.contacts) {
            std::vector<SyncedCard> cards;
            if (OwnRowOf(uid) == 0 && CardsNow(synced, &cards))
                return true;
        }
        return false;
    }

    bool IsSample(const ContactValues& values) const {
        return std::find(in_.samples.begin(), in_.samples.end(), values) != in_.samples.end();
    }

    void PlanNewRows() {
        const bool others = BookHoldsOthers();
        for (const auto& [row, values] : in_.locals) {
            if (linkedRows_.count(row))
                continue;
            SyncedContact synced;
            synced.row = row;
            if (others && IsSample(values)) {
                // Every desk starts with the same samples: a book shared already has them as
                // the office left them (changed, or deleted), so this desk's copy goes.
                Add(SyncStep::Delete, synced, {}).deleteRow = true;
                actions_.back().deleted = 1;
                continue;
            }
            // A new contact gets its UID as its sending begins, unless it began before.
            if (const std::string* pending = PendingOfRow(row))
                synced.uid = *pending;
            else if (const std::int64_t legacy = LegacyRow(row))
                synced.uid = in_.state.salt + "-" + std::to_string(legacy);
            Add(SyncStep::Send, synced, values).sent = 1;
        }
        // A sending begun for a row deleted since that never reached the server is forgotten.
        for (const auto& [uid, pending] : in_.state.pending)
            if (!Local(pending.row) && !in_.server.fetched.count(uid)) {
                SyncedContact gone;
                gone.uid = uid;
                Add(SyncStep::Delete, gone, {});
            }
    }

    // Before the pending list, a new contact went to the server as the salt and its row: a
    // sending of that kind cut short is finished under that name.
    std::int64_t LegacyRow(std::int64_t row) const {
        const std::string uid = in_.state.salt + "-" + std::to_string(row);
        return !in_.state.salt.empty() && in_.server.fetched.count(uid) ? row : 0;
    }

    bool foreign_ = false;
};

} // namespace

std::vector<SyncAction> PlanSync(const SyncPlanInput& input) {
    return Planner(input).Run();
}

ContactValues ValuesOfSyncedCards(const std::vector<SyncedCard>& cards) {
    std::vector<std::string> contents;
    for (const SyncedCard& card : cards)
        contents.push_back(card.content);
    ContactValues values;
    ValuesOfCards(contents, &values);
    return values;
}

#include "Synchronizer.h"

#include "ContactCards.h"
#include "DavClient.h"
#include "SyncStore.h"

#include <map>
#include <set>

namespace {

std::function<void()>& StepObserver() {
    static std::function<void()> observer;
    return observer;
}

void Stepped() {
    if (StepObserver())
        StepObserver()();
}

// The book's and the server's changes, each followed by the observer.
class StepStore {
public:
    // A stop asked of the client ends the sync after the step that changed the book: each is
    // one transaction, so it never ends halfway through one.
    StepStore(const std::string& path, const TDavClient& client) : store_(path), client_(client) {}
    SyncState Load() { return store_.Load(); }
    std::vector<LocalContact> LocalContacts() { return store_.LocalContacts(); }
    std::int64_t Apply(const SyncedContact& synced, const ContactValues& values) {
        const std::int64_t row = store_.Apply(synced, values);
        Stepped();
        client_.ThrowIfStopped();
        return row;
    }
    std::vector<std::int64_t> ApplyAll(
        const std::vector<std::pair<SyncedContact, ContactValues>>& contacts) {
        std::vector<std::int64_t> rows = store_.ApplyAll(contacts);
        Stepped();
        client_.ThrowIfStopped();
        return rows;
    }
    void Record(const SyncedContact& synced) {
        store_.Record(synced);
        Stepped();
        client_.ThrowIfStopped();
    }
    void Remove(const SyncedContact& synced, bool deleteRow) {
        store_.Remove(synced, deleteRow);
        Stepped();
        client_.ThrowIfStopped();
    }
    void Reset(const std::string& bookUrl, const std::string& name, const std::string& from) {
        store_.Reset(bookUrl, name, from);
        Stepped();
        client_.ThrowIfStopped();
    }
    void SetToken(const std::string& token) {
        store_.SetToken(token);
        Stepped();
        client_.ThrowIfStopped();
    }

private:
    TSyncStore store_;
    const TDavClient& client_;
};

class StepClient {
public:
    explicit StepClient(TDavClient& client) : client_(client) {}
    TDavClient::Book Discover() { return client_.Discover(); }
    void UseBook(const QUrl& url) { client_.UseBook(url); }
    QUrl StartUrl() const { return client_.StartUrl(); }
    std::optional<DavChanges> SyncCollection(const QString& token) {
        return client_.SyncCollection(token);
    }
    QMap<QString, QString> ListEtags() { return client_.ListEtags(); }
    QList<DavCard> Multiget(const QStringList& hrefs) { return client_.Multiget(hrefs); }
    QString NewHref(const QString& uid) const { return client_.NewHref(uid); }
    QString PutNew(const QString& href, const QByteArray& vcard) {
        const QString etag = client_.PutNew(href, vcard);
        Stepped();
        return etag;
    }
    QString PutChanged(const QString& href, const QByteArray& vcard, const QString& etag) {
        const QString now = client_.PutChanged(href, vcard, etag);
        Stepped();
        return now;
    }
    void Delete(const QString& href, const QString& etag) {
        client_.Delete(href, etag);
        Stepped();
    }

private:
    TDavClient& client_;
};

std::string Std(const QString& text) {
    return text.toStdString();
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The name a person knows the contact by.
QString NameOf(const ContactValues& v) {
    const std::string person = v[col::FirstName] + (v[col::FirstName].empty() || v[col::LastName].empty() ? "" : " ") + v[col::LastName];
    if (!person.empty())
        return Q(person);
    return Q(!v[col::Company].empty() ? v[col::Company] : v[col::Email]);
}

// A card on the server now, as fetched.
struct ServerCard {
    SyncedCard card;
    std::string contactUid; // whose card it is
};

class Sync {
public:
    Sync(TDavClient& client, const std::string& bookPath)
        : client_(client), store_(bookPath, client) {}

    SyncSummary Run() {
        state_ = store_.Load();
        // The book found last time is used again without asking, unless the account's address
        // changed; a book that has gone meanwhile is looked for again.
        const std::string from = Std(client_.StartUrl().toString());
        TDavClient::Book book;
        std::string token;
        bool listed = false;
        if (!state_.bookUrl.empty() && state_.from == from) {
            book.url = QUrl(Q(state_.bookUrl));
            book.name = Q(state_.bookName);
            book.syncCollection = !state_.token.empty();
            client_.UseBook(book.url);
            try {
                token = ListServerChanges(book.syncCollection);
                listed = true;
            } catch (const EDavError& e) {
                if (e.kind() != EDavError::Kind::NotFound &&
                    e.kind() != EDavError::Kind::NotAddressBook)
                    throw;
                changed_.clear();
                removed_.clear();
            }
        }
        if (!listed) {
            book = client_.Discover();
            const std::string bookUrl = Std(book.url.toString());
            if (state_.bookUrl != bookUrl || state_.from != from) {
                store_.Reset(bookUrl, Std(book.name.isEmpty() ? book.url.path() : book.name), from);
                state_ = store_.Load();
            }
            token = ListServerChanges(book.syncCollection);
        }
        summary_.book = book.name.isEmpty() ? book.url.path() : book.name;
        FetchChangedCards();
        for (const LocalContact& local : store_.LocalContacts())
            locals_.emplace(local.row, local.values);

        for (auto& [uid, synced] : state_.contacts)
            SyncKnownContact(synced);
        SyncNewServerContacts();
        SyncNewLocalContacts();
        if (!token.empty() && token != state_.token)
            store_.SetToken(token);
        return summary_;
    }

private:
    // Which cards changed or went on the server since the last sync. Returns the token for the
    // next sync, if the server gives one.
    std::string ListServerChanges(bool syncCollection) {
        std::map<std::string, std::string> known; // href -> ETag as last synced
        for (const auto& [uid, synced] : state_.contacts)
            for (const SyncedCard& card : synced.cards)
                known.emplace(card.href, card.etag);

        std::optional<DavChanges> listing;
        bool whole = true;
        if (syncCollection && !state_.token.empty()) {
            listing = client_.SyncCollection(Q(state_.token));
            whole = !listing;
        }
        if (!listing && syncCollection)
            listing = client_.SyncCollection(QString());
        if (!listing) {
            listing.emplace();
            const QMap<QString, QString> etags = client_.ListEtags();
            for (auto it = etags.begin(); it != etags.end(); ++it)
                listing->changed.append({it.key(), it.value()});
        }
        std::set<std::string> listed;
        for (const auto& [href, etag] : listing->changed) {
            listed.insert(Std(href));
            const auto found = known.find(Std(href));
            if (found == known.end() || found->second != Std(etag))
                changed_.append(href);
        }
        for (const QString& href : listing->removed)
            if (known.count(Std(href)))
                removed_.insert(Std(href));
        if (whole)
            for (const auto& [href, etag] : known)
                if (!listed.count(href))
                    removed_.insert(href);
        return Std(listing->token);
    }

    void FetchChangedCards() {
        for (const DavCard& fetched : client_.Multiget(changed_)) {
            ServerCard card;
            card.card.href = Std(fetched.href);
            card.card.etag = Std(fetched.etag);
            card.card.content = fetched.vcard.toStdString();
            std::string contactUid;
            if (!IdentifyCard(card.card.content, &card.card.uid, &contactUid, &card.card.person))
                continue; // not one card: nothing this program can hold
            if (card.card.uid.empty())
                card.card.uid = card.card.href;
            card.contactUid = card.card.person > 0 ? contactUid : card.card.uid;
            fetched_[card.contactUid].push_back(card.card);
            fetchedHrefs_.insert(card.card.href);
        }
    }

    // The contact's cards on the server now: those last synced that neither changed nor went,
    // and those fetched. Returns false when the contact's own card is not among them.
    bool CardsNow(const SyncedContact& synced, std::vector<SyncedCard>* cards) const {
        cards->clear();
        std::set<int> persons;
        const auto fetched = fetched_.find(synced.uid);
        if (fetched != fetched_.end())
            for (const SyncedCard& card : fetched->second)
                if (persons.insert(card.person).second)
                    cards->push_back(card);
        for (const SyncedCard& card : synced.cards)
            if (!removed_.count(card.href) && !fetchedHrefs_.count(card.href) &&
                persons.insert(card.person).second)
                cards->push_back(card);
        return persons.count(0) > 0;
    }

    bool ServerTouched(const SyncedContact& synced) const {
        if (fetched_.count(synced.uid))
            return true;
        for (const SyncedCard& card : synced.cards)
            if (removed_.count(card.href) || fetchedHrefs_.count(card.href))
                return true;
        return false;
    }

    static ContactValues ValuesOf(const std::vector<SyncedCard>& cards) {
        std::vector<std::string> contents;
        for (const SyncedCard& card : cards)
            contents.push_back(card.content);
        ContactValues values;
        ValuesOfCards(contents, &values);
        return values;
    }

    void SyncKnownContact(SyncedContact& synced) {
        handled_.insert(synced.uid);
        const auto local = locals_.find(synced.row);
        const bool here = local != locals_.end();
        if (here)
            linkedRows_.insert(synced.row);
        const bool changedHere = here && local->second != synced.values;
        if (!ServerTouched(synced)) {
            if (!here) {
                DeleteOnServer(synced);
            } else if (changedHere) {
                Send(synced, local->second);
                ++summary_.sent;
            }
            return;
        }
        std::vector<SyncedCard> cards;
        if (!CardsNow(synced, &cards)) {
            // Gone on the server.
            if (changedHere) {
                // The change here wins: the contact goes back to the server as new.
                for (SyncedCard& card : synced.cards)
                    card.href.clear();
                KeepRemainingCards(synced, cards);
                Send(synced, local->second);
                ++summary_.sent;
            } else {
                DeleteLeftCards(cards);
                store_.Remove(synced, here);
                if (here)
                    ++summary_.deleted;
            }
            return;
        }
        const ContactValues server = ValuesOf(cards);
        SyncedContact now = synced;
        now.cards = cards;
        now.values = server;
        if (!here) {
            // Deleted here and changed there: the change wins.
            now.row = 0;
            store_.Apply(now, server);
            ++summary_.received;
            return;
        }
        if (!changedHere) {
            if (server != local->second) {
                store_.Apply(now, server);
                ++summary_.received;
            } else {
                store_.Record(now);
            }
            return;
        }
        const MergedValues merged = MergeValues(synced.values, local->second, server);
        if (!merged.conflicts.empty())
            summary_.conflicts << NameOf(merged.values);
        // The book takes the merge now, the state what the server holds: if the sync stops
        // before the server has the merge, the next one finds it changed here and sends it.
        store_.Apply(now, merged.values);
        if (merged.values != local->second)
            ++summary_.received;
        if (merged.values != server) {
            Send(now, merged.values);
            ++summary_.sent;
        }
    }

    // Cards of a contact gone on the server that remain there (its extra people) keep their
    // places, so that sending it again replaces them rather than adding more.
    static void KeepRemainingCards(SyncedContact& synced, const std::vector<SyncedCard>& left) {
        synced.cards = left;
    }

    void DeleteLeftCards(const std::vector<SyncedCard>& cards) {
        for (const SyncedCard& card : cards)
            client_.Delete(Q(card.href), Q(card.etag));
    }

    void DeleteOnServer(SyncedContact& synced) {
        try {
            for (const SyncedCard& card : synced.cards)
                client_.Delete(Q(card.href), Q(card.etag));
        } catch (const EDavError& e) {
            if (e.kind() != EDavError::Kind::PreconditionFailed)
                throw;
            // Changed there meanwhile: the change wins, the contact comes back here.
            std::vector<SyncedCard> cards;
            RefetchContact(synced, &cards);
            if (!cards.empty()) {
                SyncedContact now = synced;
                now.cards = cards;
                now.values = ValuesOf(cards);
                now.row = 0;
                store_.Apply(now, now.values);
                ++summary_.received;
                return;
            }
        }
        store_.Remove(synced, false);
        ++summary_.deleted;
    }

    // The contact's cards as the server holds them now, fetched again.
    void RefetchContact(const SyncedContact& synced, std::vector<SyncedCard>* cards) {
        QStringList hrefs;
        for (const SyncedCard& card : synced.cards)
            hrefs << Q(card.href);
        cards->clear();
        for (const DavCard& fetched : client_.Multiget(hrefs)) {
            SyncedCard card;
            card.href = Std(fetched.href);
            card.etag = Std(fetched.etag);
            card.content = fetched.vcard.toStdString();
            std::string contactUid;
            if (IdentifyCard(card.content, &card.uid, &contactUid, &card.person))
                cards->push_back(card);
        }
    }

    // Puts the contact's cards on the server as the values give them, and records what the
    // server then holds. A card changed there meanwhile is fetched and merged again, a few
    // times at most.
    void Send(SyncedContact synced, const ContactValues& values) {
        ContactValues wanted = values;
        for (int attempt = 0;; ++attempt) {
            try {
                SendOnce(synced, wanted);
                return;
            } catch (const EDavError& e) {
                if (e.kind() != EDavError::Kind::PreconditionFailed || attempt == 3)
                    throw;
            }
            std::vector<SyncedCard> cards;
            RefetchContact(synced, &cards);
            const ContactValues server = ValuesOf(cards);
            const MergedValues merged = MergeValues(synced.values, wanted, server);
            if (!merged.conflicts.empty())
                summary_.conflicts << NameOf(merged.values);
            synced.cards = cards;
            synced.values = server;
            synced.row = store_.Apply(synced, merged.values);
            wanted = merged.values;
        }
    }

    void SendOnce(SyncedContact& synced, const ContactValues& values) {
        std::array<std::string, kExtraContacts + 1> uids;
        uids[0] = synced.uid;
        // A person's card is named after its contact and place, so that sending it again after
        // a sync was cut short finds the card sent before.
        for (int person = 1; person <= kExtraContacts; ++person)
            uids[person] = synced.uid + "-" + std::to_string(person);
        std::map<int, SyncedCard> before;
        for (const SyncedCard& card : synced.cards) {
            before[card.person] = card;
            if (card.person > 0)
                uids[card.person] = card.uid;
        }
        std::vector<SyncedCard> after;
        for (const PersonCard& card : CardsOfContact(values, uids)) {
            const auto old = before.find(card.person);
            SyncedCard sent;
            sent.person = card.person;
            sent.uid = card.uid;
            sent.content = card.content;
            if (old != before.end() && !old->second.href.empty()) {
                sent.href = old->second.href;
                sent.etag = old->second.content == card.content
                                ? old->second.etag
                                : Std(client_.PutChanged(Q(sent.href), QByteArray::fromStdString(card.content),
                                                         Q(old->second.etag)));
                before.erase(old);
            } else {
                sent.href = Std(client_.NewHref(Q(card.uid)));
                sent.etag = PutNewOrAgain(sent.href, card.content);
                if (old != before.end())
                    before.erase(old);
            }
            after.push_back(sent);
        }
        for (const auto& [person, card] : before)
            if (!card.href.empty())
                client_.Delete(Q(card.href), Q(card.etag));
        synced.cards = after;
        synced.values = values;
        store_.Record(synced);
    }

    // A new card, or one this desk sent under the same name in a sync cut short before it
    // recorded it: that one is replaced.
    std::string PutNewOrAgain(const std::string& href, const std::string& content) {
        try {
            return Std(client_.PutNew(Q(href), QByteArray::fromStdString(content)));
        } catch (const EDavError& e) {
            if (e.kind() != EDavError::Kind::PreconditionFailed)
                throw;
        }
        const QList<DavCard> there = client_.Multiget({Q(href)});
        if (there.isEmpty())
            return Std(client_.PutNew(Q(href), QByteArray::fromStdString(content)));
        return Std(client_.PutChanged(Q(href), QByteArray::fromStdString(content),
                                      there.front().etag));
    }

    // The UID this desk gives the contact in a row of its own that the server does not know yet.
    std::string NewContactUid(std::int64_t row) const {
        return state_.salt + "-" + std::to_string(row);
    }

    void SyncNewServerContacts() {
        // Contacts new on the server are added (or matched) a few hundred to a transaction.
        constexpr std::size_t kArrivedAtOnce = 500;
        std::vector<std::pair<SyncedContact, ContactValues>> arrived;
        const auto flush = [&] {
            if (!arrived.empty())
                for (std::int64_t row : store_.ApplyAll(arrived))
                    linkedRows_.insert(row);
            arrived.clear();
        };
        // Rows no contact of the state lives in, by their values, for the first sync's matching.
        std::multimap<ContactValues, std::int64_t> unlinked;
        for (const auto& [row, values] : locals_)
            if (!linkedRows_.count(row))
                unlinked.emplace(values, row);
        std::set<std::string> oursUnsent; // contacts of rows here whose sending was cut short
        for (const auto& [row, values] : locals_)
            if (!linkedRows_.count(row))
                oursUnsent.insert(NewContactUid(row));
        for (const auto& [uid, cards] : fetched_) {
            if (handled_.count(uid) || oursUnsent.count(uid))
                continue;
            bool own = false;
            for (const SyncedCard& card : cards)
                own = own || card.person == 0;
            if (!own)
                continue; // extra people whose contact is not on the server: left there
            SyncedContact synced;
            synced.uid = uid;
            std::set<int> persons;
            for (const SyncedCard& card : cards)
                if (persons.insert(card.person).second)
                    synced.cards.push_back(card);
            synced.values = ValuesOf(synced.cards);
            const auto match = unlinked.find(synced.values);
            if (match != unlinked.end()) {
                synced.row = match->second;
                unlinked.erase(match);
            }
            linkedRows_.insert(synced.row);
            if (synced.row == 0)
                ++summary_.received;
            arrived.emplace_back(std::move(synced), ContactValues());
            arrived.back().second = arrived.back().first.values;
            if (arrived.size() == kArrivedAtOnce)
                flush();
        }
        flush();
    }
    void SyncNewLocalContacts() {
        for (const auto& [row, values] : locals_) {
            if (linkedRows_.count(row))
                continue;
            SyncedContact synced;
            synced.uid = NewContactUid(row);
            synced.row = row;
            Send(synced, values);
            ++summary_.sent;
        }
    }

    StepClient client_;
    StepStore store_;
    SyncState state_;
    SyncSummary summary_;
    QStringList changed_;
    std::set<std::string> removed_;
    std::map<std::string, std::vector<SyncedCard>> fetched_; // by the contact's UID
    std::set<std::string> fetchedHrefs_;
    std::map<std::int64_t, ContactValues> locals_;
    std::set<std::int64_t> linkedRows_;
    std::set<std::string> handled_;
};

} // namespace

QString SyncSummary::Line() const {
    QString line = QStringLiteral("Synchronized with %1: %2 sent, %3 received, %4 deleted, %5 conflicts")
                       .arg(book)
                       .arg(sent)
                       .arg(received)
                       .arg(deleted)
                       .arg(conflicts.size());
    if (!conflicts.isEmpty())
        line += QStringLiteral(": ") + conflicts.join(QStringLiteral(", "));
    return line;
}

void SetSyncStepObserver(std::function<void()> observer) {
    StepObserver() = std::move(observer);
}

SyncSummary SyncAddressBook(TDavClient& client, const std::string& bookPath) {
    return Sync(client, bookPath).Run();
}

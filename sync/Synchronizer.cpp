#include "sync/Synchronizer.h"

#include "interchange/CardPatch.h"
#include "interchange/ContactCards.h"
#include "interchange/ContactMerge.h"
#include "interchange/SyncCards.h"
#include "interchange/VCardWriter.h"
#include "storage/SyncStore.h"
#include "sync/DavClient.h"
#include "sync/SyncPlan.h"
#include "sync/SyncServer.h"

#include <algorithm>
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

// The book's changes, each followed by the observer. A stop asked of the server ends the sync
// after the step that changed the book: each is one transaction, so it never ends halfway
// through one.
class StepStore {
public:
    StepStore(const std::string& path, const ISyncServer& server) : store_(path), server_(server) {}
    SyncState Load() { return store_.Load(); }
    std::vector<LocalContact> LocalContacts() { return store_.LocalContacts(); }
    std::int64_t Apply(const SyncedContact& synced, const ContactValues& values) {
        return Done(store_.Apply(synced, values));
    }
    std::int64_t ApplyAsRead(const SyncedContact& synced, const ContactValues& values) {
        return Done(store_.ApplyAsRead(synced, values));
    }
    std::vector<std::int64_t> ApplyAll(
        const std::vector<std::pair<SyncedContact, ContactValues>>& contacts) {
        return Done(store_.ApplyAll(contacts));
    }
    void Record(const SyncedContact& synced) {
        store_.Record(synced);
        Done(0);
    }
    void Remove(const SyncedContact& synced, bool deleteRow) {
        store_.Remove(synced, deleteRow);
        Done(0);
    }
    void Reset(const std::string& bookUrl, const std::string& name, const std::string& from) {
        store_.Reset(bookUrl, name, from);
        Done(0);
    }
    void SetToken(const std::string& token) {
        store_.SetToken(token);
        Done(0);
    }
    void AddPending(const std::string& uid, std::int64_t row, const ContactValues& sent) {
        store_.AddPending(uid, row, sent);
        Done(0);
    }
    void ForgetCarried(std::int64_t row) {
        store_.ForgetCarried(row);
        Done(0);
    }

private:
    template <typename T> T Done(T result) {
        Stepped();
        server_.ThrowIfStopped();
        return result;
    }
    TSyncStore store_;
    const ISyncServer& server_;
};

// The server's changes, each followed by the observer.
class StepServer {
public:
    explicit StepServer(ISyncServer& server) : server_(server) {}
    ISyncServer& operator*() { return server_; }
    ISyncServer* operator->() { return &server_; }
    int writes = 0; // begun, whether or not they were answered

    QString PutNew(const QString& href, const QByteArray& vcard) {
        ++writes;
        const QString etag = server_.PutNew(href, vcard);
        Stepped();
        return etag;
    }
    QString PutChanged(const QString& href, const QByteArray& vcard, const QString& etag) {
        ++writes;
        const QString now = server_.PutChanged(href, vcard, etag);
        Stepped();
        return now;
    }
    void Delete(const QString& href, const QString& etag) {
        ++writes;
        server_.Delete(href, etag);
        Stepped();
    }

private:
    ISyncServer& server_;
};

std::string Std(const QString& text) {
    return text.toStdString();
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

bool IsPreconditionFailed(const EDavError& e) {
    return e.Failure() == EDavError::Kind::PreconditionFailed;
}

bool HasOwnCard(const std::vector<SyncedCard>& cards) {
    for (const SyncedCard& card : cards)
        if (card.person == 0)
            return true;
    return false;
}

class Sync {
public:
    Sync(ISyncServer& server, const std::string& bookPath)
        : server_(server), store_(bookPath, server) {}

    SyncSummary Run() {
        state_ = store_.Load();
        const std::string stored = state_.token;
        std::string token = ChooseBookAndList();
        for (int round = 1;; ++round) {
            const int writes = server_.writes;
            CarryRound();
            // A card left out is listed again by the next sync only while the token stays.
            if (!now_.skipped.empty() || token.empty())
                return summary_;
            if (server_.writes == writes) {
                if (token != stored || tokenTaken_)
                    store_.SetToken(token);
                return summary_;
            }
            // The token came before this desk's own writes, and a server may leave a card
            // made and deleted since out of the changes it lists from there (xandikos does):
            // the changes since are taken too, until a round writes nothing. A book that
            // keeps changing under the sync is left without a token: the next lists it whole.
            if (round == 3)
                return summary_;
            state_ = store_.Load();
            state_.token = token;
            changed_.clear();
            now_ = ServerNow();
            owners_.clear();
            token = ListServerChanges(true);
        }
    }

private:
    void CarryRound() {
        FetchChangedCards();
        std::map<std::int64_t, ContactValues> locals;
        for (const LocalContact& local : store_.LocalContacts())
            locals.emplace(local.row, local.values);
        const std::vector<ContactValues> samples = FirstStartSampleValues();
        const std::vector<SyncAction> actions = PlanSync({state_, locals, now_, samples});
        if (!actions.empty() && !state_.token.empty() && !tokenTaken_) {
            // A server may leave a card made and deleted after the token out of the changes
            // it lists from there: a sync that stops part way leaves no token, so the next
            // one lists the book whole rather than from before what this one changed.
            store_.SetToken(std::string());
            tokenTaken_ = true;
        }
        for (std::size_t i = 0; i < actions.size();) {
            if (actions[i].step == SyncStep::Arrive) {
                i = Arrive(actions, i);
                continue;
            }
            Carry(actions[i++]);
        }
    }

    // The book found last time is used again without asking, unless the account's address
    // changed; a book that has gone meanwhile is looked for again. Returns the token for the
    // next sync, if the server gives one.
    std::string ChooseBookAndList() {
        const std::string from = Std(server_->StartUrl().toString());
        TDavClient::Book book;
        if (!state_.bookUrl.empty() && state_.from == from) {
            book.url = QUrl(Q(state_.bookUrl));
            book.name = Q(state_.bookName);
            book.syncCollection = state_.syncCollection;
            server_->UseBook(book.url);
            try {
                const std::string token = ListServerChanges(book.syncCollection);
                summary_.book = book.name.isEmpty() ? book.url.path() : book.name;
                return token;
            } catch (const EDavError& e) {
                if (e.Failure() != EDavError::Kind::NotFound &&
                    e.Failure() != EDavError::Kind::NotAddressBook)
                    throw;
                changed_.clear();
                now_ = ServerNow();
            }
        }
        book = server_->Discover();
        const std::string bookUrl = Std(book.url.toString());
        if (state_.bookUrl != bookUrl || state_.from != from) {
            store_.Reset(bookUrl, Std(book.name.isEmpty() ? book.url.path() : book.name), from);
            state_ = store_.Load();
        }
        summary_.book = book.name.isEmpty() ? book.url.path() : book.name;
        return ListServerChanges(book.syncCollection);
    }

    // Which cards changed or went on the server since the last sync.
    std::string ListServerChanges(bool syncCollection) {
        std::map<std::string, std::string> known; // href -> ETag as last synced
        for (const auto& [uid, synced] : state_.contacts)
            for (const SyncedCard& card : synced.cards)
                known.emplace(card.href, card.etag);

        std::optional<DavChanges> listing;
        bool whole = true;
        if (syncCollection && !state_.token.empty()) {
            listing = server_->SyncCollection(Q(state_.token));
            whole = !listing;
        }
        if (!listing && syncCollection)
            listing = server_->SyncCollection(QString());
        if (!listing) {
            listing.emplace();
            const QMap<QString, QString> etags = server_->ListEtags();
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
                now_.removed.insert(Std(href));
        if (whole)
            for (const auto& [href, etag] : known)
                if (!listed.count(href))
                    now_.removed.insert(href);
        return Std(listing->token);
    }

    // The cards at the hrefs as the server holds them now; one too big to take is named in the
    // summary and in `now_.skipped`.
    std::vector<SyncedCard> Fetch(const QStringList& hrefs) {
        QList<DavSkippedCard> skipped;
        const QList<DavCard> fetched = server_->Multiget(hrefs, &skipped);
        for (const DavSkippedCard& card : skipped) {
            if (now_.skipped.insert(Std(card.href)).second)
                summary_.skipped << card.reason;
        }
        std::vector<SyncedCard> cards;
        for (const DavCard& f : fetched) {
            SyncedCard card;
            card.href = Std(f.href);
            card.etag = Std(f.etag);
            card.content = f.vcard.toStdString();
            std::string contactUid;
            if (!IdentifyCard(card.content, &card.uid, &contactUid, &card.person))
                continue; // not one card: nothing this program can hold
            if (card.uid.empty())
                card.uid = card.href;
            if (card.person == 0)
                contactUid = card.uid;
            owners_[card.href] = contactUid;
            cards.push_back(std::move(card));
        }
        return cards;
    }

    void FetchChangedCards() {
        for (SyncedCard& card : Fetch(changed_)) {
            now_.fetchedHrefs.insert(card.href);
            now_.fetched[owners_[card.href]].push_back(std::move(card));
        }
    }

    void Count(const SyncAction& a) {
        summary_.sent += a.sent;
        summary_.received += a.received;
        summary_.deleted += a.deleted;
        if (!a.conflict.empty())
            summary_.conflicts << Q(a.conflict);
    }

    void Carry(const SyncAction& a) {
        switch (a.step) {
        case SyncStep::Send:
            Count(a);
            Send(a.synced, a.values);
            return;
        case SyncStep::Apply:
            store_.Apply(a.synced, a.values);
            Count(a);
            return;
        case SyncStep::Arrive:
            return; // see Arrive()
        case SyncStep::Record:
            store_.Record(a.synced);
            return;
        case SyncStep::Delete:
            Delete(a);
            return;
        }
    }

    // Contacts new on the server are added (or matched) a few hundred to a transaction.
    std::size_t Arrive(const std::vector<SyncAction>& actions, std::size_t from) {
        constexpr std::size_t kArrivedAtOnce = 500;
        std::vector<std::pair<SyncedContact, ContactValues>> arrived;
        std::size_t i = from;
        for (; i < actions.size() && actions[i].step == SyncStep::Arrive &&
               arrived.size() < kArrivedAtOnce;
             ++i)
            arrived.emplace_back(actions[i].synced, actions[i].values);
        store_.ApplyAll(arrived);
        for (std::size_t k = from; k < i; ++k)
            Count(actions[k]);
        return i;
    }

    void Delete(const SyncAction& a) {
        // The people's cards first, the contact's own card last: a card another client changed
        // meanwhile stops the delete while the contact can still come back whole.
        std::vector<SyncedCard> cards = a.synced.cards;
        std::stable_partition(cards.begin(), cards.end(),
                              [](const SyncedCard& card) { return card.person != 0; });
        try {
            for (const SyncedCard& card : cards)
                server_.Delete(Q(card.href), Q(card.etag));
        } catch (const EDavError& e) {
            if (!IsPreconditionFailed(e))
                throw;
            // Changed there meanwhile: the change wins, the contact comes back here.
            const std::vector<SyncedCard> cards = Refetch(a.synced);
            if (a.bringBack && HasOwnCard(cards)) {
                SyncedContact now = a.synced;
                now.cards = cards;
                now.values = ValuesOfSyncedCards(cards);
                now.row = 0;
                store_.Apply(now, now.values);
                ++summary_.received;
                return;
            }
        }
        store_.Remove(a.synced, a.deleteRow);
        Count(a);
    }

    // The contact's cards as the server holds them now, fetched again.
    std::vector<SyncedCard> Refetch(const SyncedContact& synced) {
        QStringList hrefs;
        for (const SyncedCard& card : synced.cards)
            if (!card.href.empty())
                hrefs << Q(card.href);
        return Fetch(hrefs);
    }

    // Puts the contact's cards on the server as the values give them, and records what the
    // server then holds. A card changed there meanwhile is fetched, merged and patched again,
    // a few times at most.
    void Send(SyncedContact synced, const ContactValues& values) {
        if (synced.uid.empty()) {
            // A new contact: its UID is kept before anything is sent under it.
            synced.uid = NewCardUid();
            store_.AddPending(synced.uid, synced.row, values);
        }
        ContactValues wanted = values;
        for (int attempt = 0;; ++attempt) {
            try {
                SendOnce(synced, wanted);
                return;
            } catch (const EDavError& e) {
                if (!IsPreconditionFailed(e) || attempt == 3)
                    throw;
            }
            const std::size_t skippedBefore = now_.skipped.size();
            std::vector<SyncedCard> cards = Refetch(synced);
            if (now_.skipped.size() != skippedBefore)
                return; // too big to take now: left for a later sync
            if (!HasOwnCard(cards)) {
                // Gone there meanwhile: the change here wins, the card is made again.
                for (const SyncedCard& card : synced.cards)
                    if (card.person == 0) {
                        cards.push_back(card);
                        cards.back().href.clear();
                        cards.back().etag.clear();
                    }
                synced.cards = cards;
                continue;
            }
            const ContactValues server = ValuesOfSyncedCards(cards);
            const MergedValues merged = MergeValues(synced.values, wanted, server);
            if (!merged.conflicts.empty())
                summary_.conflicts << Q(DisplayName(merged.values));
            synced.cards = cards;
            synced.values = server;
            synced.row = store_.Apply(synced, merged.values);
            wanted = merged.values;
        }
    }

    void SendOnce(SyncedContact& synced, const ContactValues& values) {
        const ContactValues base = synced.values;
        std::map<int, SyncedCard> before;
        for (const SyncedCard& card : synced.cards)
            before[card.person] = card;
        // A contact made again after it went there: its people's cards left there are written
        // too, so that every desk that let the contact go finds them changed and takes them.
        const bool again = before.count(0) && before[0].href.empty();
        // Cards of contacts merged into this one: what they tell that no field holds goes to
        // its own card.
        const auto carriedFound = synced.row != 0 ? state_.carried.find(synced.row)
                                                  : state_.carried.end();
        const std::vector<std::string>* carried =
            carriedFound != state_.carried.end() ? &carriedFound->second : nullptr;
        std::vector<SyncedCard> after;
        for (int person = 0; person <= kExtraContacts; ++person) {
            if (person > 0 && ExtraPersonIsEmpty(values, person))
                continue;
            const auto old = before.find(person);
            SyncedCard sent;
            sent.person = person;
            // A person's card is named after its contact and place, so that sending it again
            // after a sync was cut short finds the card sent before.
            sent.uid = person == 0 ? synced.uid
                       : old != before.end() ? old->second.uid
                                             : synced.uid + "-" + std::to_string(person);
            if (old != before.end() && !old->second.content.empty()) {
                const std::string& received = old->second.content;
                sent.content =
                    PatchCard(person == 0 && carried ? WithCarriedProperties(received, *carried)
                                                     : received,
                              person, synced.values, values);
            } else {
                VCardWriter writer;
                WriteContactCard(writer, values, person, sent.uid, synced.uid);
                sent.content = writer.Output();
                if (person == 0 && carried)
                    sent.content = WithCarriedProperties(sent.content, *carried);
            }
            if (old != before.end() && !old->second.href.empty()) {
                sent.href = old->second.href;
                sent.etag = sent.content == old->second.content && !again &&
                                    !old->second.etag.empty()
                                ? old->second.etag
                                : Std(server_.PutChanged(Q(sent.href),
                                                         QByteArray::fromStdString(sent.content),
                                                         Q(old->second.etag)));
            } else {
                sent.href = Std(server_->NewHref(Q(sent.uid)));
                sent.etag = PutNewOrAgain(sent.href, sent.content);
            }
            if (old != before.end())
                before.erase(old);
            after.push_back(std::move(sent));
        }
        for (const auto& [person, card] : before)
            if (!card.href.empty())
                server_.Delete(Q(card.href), Q(card.etag));
        synced.cards = after;
        synced.values = values;
        // The desks that receive the cards read the card's own note before the lines of
        // values it has no field for, and only the values the cards still hold: where the notes
        // here hold the same lines in another order, or a line the reading had moved there from
        // a value the change replaced, this desk takes the notes as read, so that every desk
        // shows the same.
        // A card that took properties of merged contacts reads them into its notes, as every
        // desk that receives it does.
        const ContactValues read = ValuesOfSyncedCards(after);
        if (read != values &&
            (SameButNotesAsRead(read, values, base) || (carried && ButNotes(read, values)))) {
            synced.values = read;
            store_.ApplyAsRead(synced, read);
        } else {
            store_.Record(synced);
        }
        if (carried) {
            store_.ForgetCarried(synced.row);
            state_.carried.erase(carriedFound);
        }
    }

    static bool ButNotes(const ContactValues& a, const ContactValues& b) {
        for (int i = 0; i < kDataColumns; ++i)
            if (a[i] != b[i] && ContactColumnTable()[i].type != FieldType::Notes)
                return false;
        return true;
    }

    static std::multiset<std::string> LinesOf(const std::string& text) {
        std::multiset<std::string> lines;
        std::size_t at = 0;
        for (;;) {
            const std::size_t end = text.find("\r\n", at);
            lines.insert(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
            if (end == std::string::npos)
                return lines;
            at = end + 2;
        }
    }

    // Whether `read` is `values` but for notes whose lines stand in another order or lack lines
    // the notes held as last synced (`base`): never a line written here since.
    static bool SameButNotesAsRead(const ContactValues& read, const ContactValues& values,
                                   const ContactValues& base) {
        for (int i = 0; i < kDataColumns; ++i) {
            if (read[i] == values[i])
                continue;
            if (ContactColumnTable()[i].type != FieldType::Notes)
                return false;
            std::multiset<std::string> gone = LinesOf(values[i]);
            for (const std::string& line : LinesOf(read[i])) {
                const auto found = gone.find(line);
                if (found == gone.end())
                    return false;
                gone.erase(found);
            }
            const std::multiset<std::string> was = LinesOf(base[i]);
            for (const std::string& line : gone)
                if (!was.count(line))
                    return false;
        }
        return true;
    }

    // A new card, or one this desk sent under the same name in a sync cut short before it
    // recorded it (or whose answer was lost): that one is replaced.
    std::string PutNewOrAgain(const std::string& href, const std::string& content) {
        try {
            return Std(server_.PutNew(Q(href), QByteArray::fromStdString(content)));
        } catch (const EDavError& e) {
            if (!IsPreconditionFailed(e))
                throw;
        }
        const QList<DavCard> there = server_->Multiget({Q(href)}, nullptr);
        if (there.isEmpty())
            return Std(server_.PutNew(Q(href), QByteArray::fromStdString(content)));
        return Std(server_.PutChanged(Q(href), QByteArray::fromStdString(content),
                                      there.front().etag));
    }

    StepServer server_;
    StepStore store_;
    SyncState state_;
    SyncSummary summary_;
    QStringList changed_;
    bool tokenTaken_ = false;
    ServerNow now_;
    std::map<std::string, std::string> owners_; // href -> the UID of its card's contact
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
    if (!skipped.isEmpty())
        line += QStringLiteral(". ") + skipped.join(QStringLiteral(" "));
    return line;
}

void SetSyncStepObserver(std::function<void()> observer) {
    StepObserver() = std::move(observer);
}

SyncSummary SyncAddressBook(ISyncServer& server, const std::string& bookPath) {
    return Sync(server, bookPath).Run();
}

SyncSummary SyncAddressBook(TDavClient& client, const std::string& bookPath) {
    TDavSyncServer server(client);
    return SyncAddressBook(server, bookPath);
}

// The sync's decisions in tables: the state as last synced, the book's rows and the server's
// cards go in, the steps come out, without a server or a file.
#include "interchange/ContactCards.h"
#include "interchange/VCardWriter.h"
#include "model/ContactColumns.h"
#include "sync/SyncPlan.h"

#include <QtTest>

namespace {

ContactValues Contact(const char* company, std::initializer_list<std::pair<int, const char*>> set = {}) {
    ContactValues v;
    for (int i = 0; i < kDataColumns; ++i)
        v[i] = EmptyValueOf(ContactColumnTable()[i].type);
    v[col::Company] = company;
    for (const auto& [column, value] : set)
        v[column] = value;
    return AsSaved(v);
}

SyncedCard CardOf(const ContactValues& v, const std::string& uid, const std::string& etag) {
    VCardWriter w;
    WriteContactCard(w, v, 0, uid, uid);
    return {"/book/" + uid + ".vcf", etag, uid, 0, w.Output()};
}

// One contact of the table: its base as last synced (none: unknown), its row here and the
// server's card now.
struct Case {
    std::optional<ContactValues> base, here, server;
    bool serverChanged = false; // the server's card differs from the base's ETag
};

QString Described(const std::vector<SyncAction>& actions) {
    static const char* names[] = {"Send", "Apply", "Arrive", "Record", "Delete"};
    QStringList out;
    for (const SyncAction& a : actions) {
        QString s = names[int(a.step)];
        if (a.deleteRow)
            s += "+row";
        if (a.sent + a.received + a.deleted)
            s += QString("(%1%2%3)").arg(a.sent ? "s" : "", a.received ? "r" : "", a.deleted ? "d" : "");
        if (!a.conflict.empty())
            s += "!";
        out << s;
    }
    return out.join(' ');
}

} // namespace

class TestSyncPlan : public QObject {
    Q_OBJECT

    std::vector<SyncAction> Plan(const Case& c, const std::vector<ContactValues>& samples = {},
                                 const std::string& ownUid = "other-1") {
        SyncState state;
        state.salt = "desk";
        if (ownUid == "sent-7")
            state.pending[ownUid] = {7, c.here.value_or(Contact(""))};
        std::map<std::int64_t, ContactValues> locals;
        ServerNow server;
        if (c.here)
            locals[7] = *c.here;
        if (c.base) {
            SyncedContact synced{ownUid, 7, *c.base, {CardOf(*c.base, ownUid, "\"1\"")}};
            state.contacts[ownUid] = synced;
            if (!c.server)
                server.removed.insert(synced.cards.front().href);
        }
        if (c.server && (c.serverChanged || !c.base)) {
            const SyncedCard card = CardOf(*c.server, ownUid, "\"2\"");
            server.fetched[ownUid] = {card};
            server.fetchedHrefs.insert(card.href);
        }
        return PlanSync({state, locals, server, samples});
    }

private slots:
    void decisions_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("steps");
        const ContactValues base = Contact("Acme", {{col::LastName, "Kay"}});
        const ContactValues street = Contact("Acme", {{col::LastName, "Kay"}, {col::Address, "1 Here St"}});
        const ContactValues mail = Contact("Acme", {{col::LastName, "Kay"}, {col::Email, "k@acme.example"}});
        cases_ = {
            {base, base, base, false},        // nothing changed
            {base, street, base, false},      // changed here
            {base, base, mail, true},         // changed there
            {base, std::nullopt, base, false},// deleted here
            {base, base, std::nullopt, true}, // deleted there
            {base, street, std::nullopt, true}, // deleted there, changed here: sent again
            {base, std::nullopt, mail, true}, // deleted here, changed there: back here
            {base, street, mail, true},       // both, different fields: merged both ways
            {base, street, street, true},     // both, the same change
            {std::nullopt, std::nullopt, mail, true}, // new there
            {std::nullopt, street, std::nullopt, false}, // new here
            {std::nullopt, mail, mail, true}, // new on both, equal: matched
        };
        const char* steps[] = {"", "Send(s)", "Apply(r)", "Delete(d)", "Delete+row(d)", "Send(s)",
                               "Apply(r)", "Apply(r) Send(s)", "Record", "Arrive(r)", "Send(s)",
                               "Arrive"};
        for (int i = 0; i < int(cases_.size()); ++i)
            QTest::newRow(steps[i][0] ? QByteArray::number(i).append(' ').append(steps[i]).constData()
                                      : "nothing")
                << i << steps[i];
    }
    void decisions() {
        QFETCH(int, kind);
        QFETCH(QString, steps);
        const std::vector<SyncAction> plan = Plan(cases_[kind]);
        QCOMPARE(Described(plan), steps);
        for (const SyncAction& a : plan) {
            if (a.step == SyncStep::Send && cases_[kind].base && cases_[kind].server)
                // A card the server has is patched from its content as the server holds it.
                QVERIFY(!a.synced.cards.empty() && !a.synced.cards.front().content.empty());
            if (a.step == SyncStep::Send && !cases_[kind].server && cases_[kind].base)
                // Made again on the server from the card as last synced.
                QVERIFY(a.synced.cards.front().href.empty() && !a.synced.cards.front().content.empty());
        }
    }

    // Changed on both sides in the same field: the server's value, this desk's in the notes,
    // after the notes as merged (the server's change of the notes kept too).
    void conflictKeepsBothNotes() {
        const ContactValues base = Contact("Acme", {{col::FirstName, "Jo"}, {col::Notes, "old"}});
        const ContactValues here = Contact("Acme", {{col::FirstName, "Joe"}, {col::Notes, "old"}});
        const ContactValues there = Contact("Acme", {{col::FirstName, "Jon"}, {col::Notes, "new there"}});
        const std::vector<SyncAction> plan = Plan({base, here, there, true});
        QCOMPARE(Described(plan), QString("Apply(r)! Send(s)"));
        QCOMPARE(QString::fromStdString(plan[0].values[col::FirstName]), QString("Jon"));
        QCOMPARE(QString::fromStdString(plan[0].values[col::Notes]),
                 QString("new there\r\nConflict, this desk's value: First Name: Joe"));
        QVERIFY(plan[1].values == plan[0].values);
        QCOMPARE(plan[0].conflict, std::string("Jon"));
    }

    // A desk joining a shared book: its untouched samples are not sent where the book holds
    // others' contacts (it takes the book's state of them), changed ones and new ones are; an
    // empty book takes the samples; a card of this desk whose answer was lost is found again.
    void samplesAndOwnCards() {
        const ContactValues sample = Contact("Sample Co");
        const ContactValues edited = Contact("Sample Co", {{col::Address, "2 New St"}});
        const ContactValues other = Contact("Other Co");
        QCOMPARE(Described(Plan({std::nullopt, sample, std::nullopt}, {sample})), QString("Send(s)"));
        QCOMPARE(Described(Plan({std::nullopt, sample, other, true}, {sample})),
                 QString("Arrive(r) Delete+row(d)"));
        QCOMPARE(Described(Plan({std::nullopt, edited, other, true}, {sample})),
                 QString("Arrive(r) Send(s)"));
        // Row 7's sending began under "sent-7": its answer was lost, or it was cut short.
        QCOMPARE(Described(Plan({std::nullopt, edited, edited, true}, {}, "sent-7")), QString("Record"));
        {
            // Changed here since, and there by someone else: merged, not written over.
            SyncState state;
            state.pending["sent-7"] = {7, sample};
            ServerNow server;
            const SyncedCard card = CardOf(Contact("Sample Co", {{col::Email, "x@y.example"}}), "sent-7", "\"2\"");
            server.fetched["sent-7"] = {card};
            server.fetchedHrefs.insert(card.href);
            const std::vector<SyncAction> plan = PlanSync({state, {{7, edited}}, server, {}});
            QCOMPARE(Described(plan), QString("Apply(r) Send(s)"));
            QCOMPARE(plan[1].values[col::Email], std::string("x@y.example"));
            QCOMPARE(plan[1].values[col::Address], std::string("2 New St"));
        }
        QCOMPARE(Described(Plan({std::nullopt, std::nullopt, edited, true}, {}, "sent-7")),
                 QString("Delete(d)"));
        QCOMPARE(Described(Plan({std::nullopt, std::nullopt, std::nullopt}, {}, "sent-7")),
                 QString("Delete"));
        // Another desk's contact that happens to use the name: it arrives.
        QCOMPARE(Described(Plan({std::nullopt, std::nullopt, edited, true}, {}, "desk-8")),
                 QString("Arrive(r)"));
    }

    // A card that could not be taken leaves its contact alone on both sides.
    void skippedCardLeavesItsContact() {
        const ContactValues base = Contact("Acme");
        SyncState state;
        SyncedContact synced{"c1", 7, base, {CardOf(base, "c1", "\"1\"")}};
        state.contacts["c1"] = synced;
        std::map<std::int64_t, ContactValues> locals{{7, Contact("Acme", {{col::Address, "x"}})}};
        ServerNow server;
        server.skipped.insert(synced.cards.front().href);
        QCOMPARE(Described(PlanSync({state, locals, server, {}})), QString());
    }

    // Deleted here while one of its people's cards went there (a delete of ours stopped part
    // way): the delete goes on with the cards left; a person's card changed there brings it back.
    void deletedHereWhilePeopleWentThere() {
        const ContactValues base = Contact("Acme");
        SyncedCard person = CardOf(base, "c1-p", "\"1\"");
        person.uid = "c1";
        person.person = 1;
        SyncState state;
        state.contacts["c1"] = {"c1", 7, base, {CardOf(base, "c1", "\"1\""), person}};
        ServerNow gone;
        gone.removed.insert(person.href);
        const std::vector<SyncAction> plan = PlanSync({state, {}, gone, {}});
        QCOMPARE(Described(plan), QString("Delete(d)"));
        QCOMPARE(plan[0].synced.cards.size(), std::size_t(1));
        ServerNow changed;
        person.etag = "\"2\"";
        changed.fetched["c1"] = {person};
        changed.fetchedHrefs.insert(person.href);
        QCOMPARE(Described(PlanSync({state, {}, changed, {}})), QString("Apply(r)"));
    }

    // Gone there, changed here: made again with a person another desk added meanwhile, who is
    // not taken away again.
    void madeAgainWithPeopleAddedThere() {
        const ContactValues base = Contact("Acme");
        SyncState state;
        state.contacts["c1"] = {"c1", 7, base, {CardOf(base, "c1", "\"1\"")}};
        ServerNow server;
        server.removed.insert(state.contacts["c1"].cards.front().href);
        ContactValues withBo = Contact("Acme", {{col::ExtraColumn(2, col::XName), "Bo Kay"}});
        VCardWriter w;
        WriteContactCard(w, withBo, 2, "c1-2", "c1");
        const SyncedCard bo{"/book/c1-2.vcf", "\"5\"", "c1-2", 2, w.Output()};
        server.fetched["c1"] = {bo};
        server.fetchedHrefs.insert(bo.href);
        const std::vector<SyncAction> plan =
            PlanSync({state, {{7, Contact("Acme", {{col::Address, "1 Here St"}})}}, server, {}});
        QCOMPARE(Described(plan), QString("Apply(r) Send(s)"));
        QCOMPARE(plan[1].values[col::ExtraColumn(2, col::XName)], std::string("Bo Kay"));
        QCOMPARE(plan[1].values[col::Address], std::string("1 Here St"));
    }

private:
    std::vector<Case> cases_;
};

QTEST_MAIN(TestSyncPlan)
#include "test_syncplan.moc"

// The sync's side of the book: the merge of a contact changed on both sides, the cards a
// contact travels as, and the state kept beside the contacts.
#include "interchange/ContactMerge.h"
#include "interchange/SyncCards.h"
#include "model/ContactColumns.h"
#include "storage/AddressBook.h"
#include "storage/SQLiteTable3.h"
#include "storage/SqlLiteral.h"
#include "storage/SyncStore.h"
#include "storage/unitCreateDB.h"
#include "storage/unitFilePath.h"
#include "storage/CustomerRows.h"
#include "storage/ContactStatements.h"
#include "tests/common/TestHome.h"

#include <QtTest>

namespace {

ContactValues Filled(std::initializer_list<std::pair<int, const char*>> set) {
    ContactValues v;
    for (int i = 0; i < kDataColumns; ++i)
        v[i] = EmptyValueOf(ContactColumnTable()[i].type);
    for (const auto& [column, value] : set)
        v[column] = value;
    return v;
}

} // namespace

class TestSyncStore : public QObject {
    Q_OBJECT

private slots:
    void merge_data() {
        QTest::addColumn<QString>("here");   // "column=value" changes from the base, ";" apart
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("notes");
        QTest::newRow("one side each") << "2=Acme" << "5=a@acme.example" << "2=Acme;5=a@acme.example" << "";
        QTest::newRow("same change") << "2=Acme" << "2=Acme" << "2=Acme" << "";
        QTest::newRow("both, differently")
            << "2=Acme Here" << "2=Acme There" << "2=Acme There"
            << "Conflict, this desk's value: Company Name: Acme Here";
        QTest::newRow("an extra person's field")
            << "10=Jo Here" << "10=Jo There" << "10=Jo There"
            << "Conflict, this desk's value: Extra Contact 1 Contact Name: Jo Here";
    }
    void merge() {
        QFETCH(QString, here);
        QFETCH(QString, server);
        QFETCH(QString, expected);
        QFETCH(QString, notes);
        const ContactValues base = Filled({{col::LastName, "Kay"}, {col::Company, "Old"}});
        auto changed = [&](const QString& changes) {
            ContactValues v = base;
            for (const QString& change : changes.split(';', Qt::SkipEmptyParts))
                v[change.section('=', 0, 0).toInt()] = change.section('=', 1).toStdString();
            return v;
        };
        const MergedValues merged = MergeValues(base, changed(here), changed(server));
        ContactValues want = changed(expected);
        QCOMPARE(QString::fromStdString(merged.values[col::Notes]), notes);
        want[col::Notes] = merged.values[col::Notes];
        QVERIFY(merged.values == want);
        QCOMPARE(merged.conflicts.empty(), notes.isEmpty());
    }

    // Every first start makes the same sample contacts; each must come back from its cards
    // exactly, or two desks would double them on their first sync.
    void samplesComeBackFromTheirCards() {
        TestHome home;
        QVERIFY(QDir().mkpath(home.dataFolder()));
        BuildContactDatabase();
        TSyncStore store(ContactDbPath());
        const std::vector<LocalContact> samples = store.LocalContacts();
        QCOMPARE(samples.size(), std::size_t(3));
        for (const LocalContact& sample : samples) {
            std::vector<std::string> contents;
            for (const PersonCard& card : CardsOfContact(sample.values, {}))
                contents.push_back(card.content);
            ContactValues back;
            QVERIFY(ValuesOfCards(contents, &back));
            for (int i = 0; i < kDataColumns; ++i)
                QCOMPARE(QString::fromStdString(back[i]),
                         QString::fromStdString(sample.values[i]));
        }
    }

    // State goes in and out whole, beside the contacts, and an apply writes the row with it.
    void stateBesideTheBook() {
        TestHome home;
        QVERIFY(QDir().mkpath(home.dataFolder()));
        BuildContactDatabase();
        TSyncStore store(ContactDbPath());
        store.Reset("http://127.0.0.1/book/", "Book", "http://127.0.0.1/");
        SyncedContact synced;
        synced.uid = "u1";
        synced.values = Filled({{col::Company, "Semi;colon 12:3"}, {col::Notes, "a\r\nb"}});
        synced.cards = {{"/book/u1.vcf", "\"e1\"", "u1", 0, "BEGIN:VCARD..."},
                        {"/book/u2.vcf", "\"e2\"", "u2", 2, "BEGIN:VCARD..."}};
        synced.row = store.Apply(synced, synced.values);
        store.SetToken("t-1");
        const SyncState state = store.Load();
        QCOMPARE(QString::fromStdString(state.token), QString("t-1"));
        QCOMPARE(QString::fromStdString(state.bookUrl), QString("http://127.0.0.1/book/"));
        const SyncedContact& back = state.contacts.at("u1");
        QCOMPARE(back.row, synced.row);
        QVERIFY(back.values == synced.values);
        QCOMPARE(back.cards.size(), std::size_t(2));
        QCOMPARE(back.cards[1].person, 2);
        // A value the editor cannot show, that the apply leaves as it was, stays as stored.
        TSQLiteDatabase raw(ContactDbPath());
        raw.RunStatement("UPDATE Customers SET dbCustAddress=x'00ff',dbCustFax=NULL WHERE rowid=" +
                         std::to_string(synced.row) + ";");
        synced.values = ReadSavedContacts(raw, BuildSelectByIdStatement(std::to_string(synced.row))).at(0);
        synced.values[col::Notes] = "c";
        store.Apply(synced, synced.values);
        QCOMPARE(raw.OpenResult("SELECT typeof(dbCustAddress)||typeof(dbCustFax)||dbCustNotes FROM "
                                "Customers WHERE rowid=" + std::to_string(synced.row))->TextOrEmptyAt(0),
                 std::string("blobnullc"));
        QCOMPARE(store.LocalContacts().size(), std::size_t(4));
        store.Remove(back, true);
        QCOMPARE(store.LocalContacts().size(), std::size_t(3));
        QVERIFY(store.Load().contacts.empty());
        // A deleted row's number given to the next new contact: the state no longer points there.
        synced.row = store.Apply(synced, synced.values);
        store.AddPending("p1", synced.row, synced.values);
        TAddressBook book(ContactDbPath());
        book.Load(std::to_string(synced.row));
        book.Delete(std::to_string(synced.row), [] { return true; });
        QCOMPARE(book.Save(Filled({{col::Company, "New Co"}}), std::string()), std::to_string(synced.row));
        QCOMPARE(store.Load().contacts.at("u1").row, std::int64_t(0));
        QCOMPARE(store.Load().pending.at("p1").row, std::int64_t(0));
        // The contacts' own table keeps its shape.
        TSQLiteDatabase db(ContactDbPath());
        QCOMPARE(db.OpenResult("PRAGMA table_info(Customers)")->RowCount(), 46u);
    }

    // The values a sync recorded are JSON that other tools read, whatever they hold, and come
    // back exactly; a state written by earlier versions (each value's length, a colon, the
    // value) is still read.
    void recordedValuesAreJson() {
        TestHome home;
        QVERIFY(QDir().mkpath(home.dataFolder()));
        BuildContactDatabase();
        TSyncStore store(ContactDbPath());
        store.Reset("http://127.0.0.1/book/", "Book", "http://127.0.0.1/");
        SyncedContact synced;
        synced.uid = "u1";
        synced.values = Filled({{col::Company, "Q\"uote \\ back/slash"},
                                {col::Notes, "a\r\nb\tc\x01\x1f"},
                                {col::LastName, "M\xc3\xbcller \xf0\x9f\x98\x80"}});
        synced.row = store.Apply(synced, synced.values);
        TSQLiteDatabase db(ContactDbPath());
        auto read = db.OpenResult("SELECT json_extract(synced,'$[2]'),json_extract(synced,'$[9]'),"
                                  "json_extract(synced,'$[1]'),json_array_length(synced) "
                                  "FROM VellicardSyncContacts");
        QCOMPARE(read->TextOrEmptyAt(0), synced.values[col::Company]);
        QCOMPARE(read->TextOrEmptyAt(1), synced.values[col::Notes]);
        QCOMPARE(read->TextOrEmptyAt(2), synced.values[col::LastName]);
        QCOMPARE(read->TextOrEmptyAt(3), std::to_string(kDataColumns));
        QVERIFY(store.Load().contacts.at("u1").values == synced.values);
        // Escapes other writers of JSON use come back as the same text.
        db.RunStatement("UPDATE VellicardSyncContacts SET synced=json_set(synced,'$[2]',"
                        "json('\"\\u00e9\\ud83d\\ude00 \\\"x\\\"\\/\"'));");
        QCOMPARE(store.Load().contacts.at("u1").values[col::Company],
                 std::string("\xc3\xa9\xf0\x9f\x98\x80 \"x\"/"));
        std::string old;
        for (const std::string& value : synced.values)
            old += std::to_string(value.size()) + ":" + value;
        db.RunStatement("UPDATE VellicardSyncContacts SET synced=" + SqlText(old) + ";");
        QVERIFY(store.Load().contacts.at("u1").values == synced.values);
        db.RunStatement("UPDATE VellicardSyncContacts SET synced='[\"a\"]';");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, store.Load());
    }
};

QTEST_MAIN(TestSyncStore)
#include "test_syncstore.moc"

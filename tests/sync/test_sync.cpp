// Two-way sync of address book files with a real radicale: two desks, each with a book file of
// its own, and an independent client (vdirsyncer) on the same address book.

#include "AddressBook.h"
#include "ContactColumns.h"
#include "DavClient.h"
#include "DavServers.h"
#include "SQLiteTable3.h"
#include "SyncStore.h"
#include "Synchronizer.h"
#include "TestHome.h"
#include "unitCreateDB.h"
#include "unitFilePath.h"

#include <QtTest>

#include <memory>

namespace {

// A desk: a book file made by a first start.
struct Desk {
    explicit Desk(const QString& path) : path(path.toStdString()) {
        TestHome home;
        QDir().mkpath(home.dataFolder());
        BuildContactDatabase();
        QFile::copy(home.dbPath(), path);
    }
    std::string path;

    std::vector<LocalContact> Contacts() const { return TSyncStore(path).LocalContacts(); }
    // The contact whose column holds the value.
    LocalContact Find(int column, const std::string& value) const {
        for (const LocalContact& c : Contacts())
            if (c.values[column] == value)
                return c;
        return {};
    }
    void Set(std::int64_t row, int column, const std::string& value) const {
        TAddressBook book(path);
        ContactValues v = book.Load(std::to_string(row)).Values();
        v[column] = value;
        book.Save(v, std::to_string(row));
    }
    void Delete(std::int64_t row) const {
        TAddressBook book(path);
        book.Load(std::to_string(row));
        book.Delete(std::to_string(row), [] { return true; });
    }
};

} // namespace

class TestSync : public QObject {
    Q_OBJECT
    std::unique_ptr<RadicaleServer> server_;
    QTemporaryDir dir_;
    int books_ = 0;

    SyncSummary SyncNow(const Desk& desk) {
        TDavClient client(server_->url("/"), "user", "secret");
        return SyncAddressBook(client, desk.path);
    }
    QString NewBookPath() { return dir_.filePath(QString("desk%1.db").arg(++books_)); }

private slots:
    void init() {
        server_ = std::make_unique<RadicaleServer>();
        QVERIFY2(server_->error().isEmpty(), qPrintable(server_->error()));
    }
    void cleanup() { server_.reset(); }

    // The first desk sends its three sample contacts (one with two extra people: five cards);
    // the second desk has the same samples and matches them rather than doubling them.
    void firstSyncsMatchTheSamples() {
        Desk a(NewBookPath()), b(NewBookPath());
        const SyncSummary first = SyncNow(a);
        QVERIFY2(first.Line().startsWith("Synchronized with ") &&
                     first.Line().endsWith(": 3 sent, 0 received, 0 deleted, 0 conflicts"),
                 qPrintable(first.Line()));
        QCOMPARE(server_->request("PROPFIND", "/user/contacts/"), 207);
        const SyncSummary second = SyncNow(b);
        QCOMPARE(second.sent + second.received + second.deleted, 0);
        QCOMPARE(b.Contacts().size(), std::size_t(3));
        QCOMPARE(SyncNow(a).sent + SyncNow(a).received, 0);
    }

    // Changes, additions and deletions travel both ways; a field changed on both desks takes
    // the value that reached the server first, the other goes to the notes and is named.
    void twoDesksConverge() {
        Desk a(NewBookPath()), b(NewBookPath());
        SyncNow(a);
        SyncNow(b);
        const LocalContact janeA = a.Find(col::Company, "Janes Place");
        const LocalContact janeB = b.Find(col::Company, "Janes Place");
        a.Set(janeA.row, col::Address, "1 New Street");          // only here
        b.Set(janeB.row, col::Email, "jane@new.example");         // only there
        a.Set(janeA.row, col::FirstName, "Janet");                // both, differently
        b.Set(janeB.row, col::FirstName, "Janie");
        const LocalContact mark = b.Find(col::FirstName, "Mark");
        b.Set(mark.row, col::ExtraColumn(2, col::XTitle), "Boy"); // an extra person's field
        const LocalContact deleted = a.Find(col::FirstName, "Mark");
        a.Delete(deleted.row);

        SyncNow(b);
        const SyncSummary merge = SyncNow(a);
        QCOMPARE(merge.conflicts, QStringList{"Janie Doyle"});
        SyncNow(b);
        QCOMPARE(SyncNow(a).sent + SyncNow(b).received, 0);

        for (const Desk* desk : {&a, &b}) {
            const LocalContact jane = desk->Find(col::Company, "Janes Place");
            QCOMPARE(QString::fromStdString(jane.values[col::FirstName]), QString("Janie"));
            QCOMPARE(QString::fromStdString(jane.values[col::Address]), QString("1 New Street"));
            QCOMPARE(QString::fromStdString(jane.values[col::Email]), QString("jane@new.example"));
            QVERIFY2(QString::fromStdString(jane.values[col::Notes])
                         .endsWith("Conflict, this desk's value: First Name: Janet"),
                     jane.values[col::Notes].c_str());
        }
        // Mark was deleted on one desk and changed on the other: the change wins.
        for (const Desk* desk : {&a, &b}) {
            const LocalContact back = desk->Find(col::FirstName, "Mark");
            QCOMPARE(QString::fromStdString(back.values[col::ExtraColumn(2, col::XTitle)]),
                     QString("Boy"));
        }
        QCOMPARE(a.Contacts().size(), std::size_t(3));
        QCOMPARE(b.Contacts().size(), std::size_t(3));
    }

    // A deletion on one desk reaches the other; a contact added there comes back.
    void deletionsAndAdditions() {
        Desk a(NewBookPath()), b(NewBookPath());
        SyncNow(a);
        SyncNow(b);
        a.Delete(a.Find(col::Company, "Janes Place").row);
        ContactValues added;
        for (int i = 0; i < kDataColumns; ++i)
            added[i] = EmptyValueOf(ContactColumnTable()[i].type);
        added[col::Company] = "Kay Engines";
        TAddressBook(b.path).Save(added, std::string());
        QCOMPARE(SyncNow(a).deleted, 1);
        const SyncSummary atB = SyncNow(b);
        QCOMPARE(atB.deleted, 1);
        QCOMPARE(atB.sent, 1);
        QCOMPARE(SyncNow(a).received, 1);
        QVERIFY(a.Find(col::Company, "Kay Engines").row != 0);
        QCOMPARE(b.Find(col::Company, "Janes Place").row, std::int64_t(0));
    }
};

QTEST_MAIN(TestSync)
#include "test_sync.moc"

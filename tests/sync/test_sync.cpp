// Two-way sync of address book files with real servers, radicale and xandikos: two desks, each
// with a book file of its own, and an independent client (vdirsyncer) on the same address book.

#include "model/ContactColumns.h"
#include "storage/SQLiteTable3.h"
#include "storage/unitFilePath.h"
#include "sync/DavClient.h"
#include "tests/sync/SyncDesk.h"

#include <QtTest>

#include <memory>

class TestSync : public QObject {
    Q_OBJECT
    std::unique_ptr<DavTestServer> server_;
    QTemporaryDir dir_;
    int books_ = 0;

    SyncSummary SyncNow(const Desk& desk) { return ::SyncNow(*server_, desk); }
    QString NewBookPath() { return dir_.filePath(QString("desk%1.db").arg(++books_)); }

private slots:
    void init() {
        // A test without rows runs on radicale.
        server_ = StartDavServer(QTest::currentDataTag() ? RowServer() : QString("radicale"));
        QVERIFY2(server_->error().isEmpty(), qPrintable(server_->error()));
    }
    void cleanup() { server_.reset(); }

    // The first desk sends its three sample contacts (one with two extra people: five cards);
    // the second desk has the same samples and matches them rather than doubling them.
    void firstSyncsMatchTheSamples_data() { Servers(); }
    void firstSyncsMatchTheSamples() {
        Desk a(NewBookPath()), b(NewBookPath());
        const SyncSummary first = SyncNow(a);
        QVERIFY2(first.Line().startsWith("Synchronized with ") &&
                     first.Line().endsWith(": 3 sent, 0 received, 0 deleted, 0 conflicts"),
                 qPrintable(first.Line()));
        QCOMPARE(server_->request("PROPFIND", server_->bookPath()), 207);
        const SyncSummary second = SyncNow(b);
        QCOMPARE(second.sent + second.received + second.deleted, 0);
        QCOMPARE(b.Contacts().size(), std::size_t(3));
        QCOMPARE(SyncNow(a).sent + SyncNow(a).received, 0);
        // Both servers offer the changes since a token, each in its own way of saying so.
        QVERIFY(TSyncStore(a.path).Load().syncCollection);
    }

    // Changes, additions and deletions travel both ways; a field changed on both desks takes
    // the value that reached the server first, the other goes to the notes and is named.
    void twoDesksConverge_data() { Servers(); }
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
    void deletionsAndAdditions_data() { Servers(); }
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

    // A sync stopped after any of its steps leaves a whole book, and the next one finishes the
    // work without doubles or losses on either desk.
    void stoppedAtEachStep_data() { Servers(); }
    void stoppedAtEachStep() {
        Desk a(NewBookPath()), b(NewBookPath());
        SyncNow(a);
        SyncNow(b);
        ContactValues kay;
        for (int i = 0; i < kDataColumns; ++i)
            kay[i] = EmptyValueOf(ContactColumnTable()[i].type);
        ContactValues lee = kay;
        kay[col::Company] = "Kay Engines";
        // New here with people of its own: a stop between its cards must not double it.
        kay[col::ExtraColumn(1, col::XName)] = "Ada Kay";
        kay[col::ExtraColumn(3, col::XName)] = "Bo Kay";
        lee[col::Company] = "Lee Co";
        a.Set(a.Find(col::Company, "Janes Place").row, col::Email, "jane@new.example");
        TAddressBook(a.path).Save(kay, std::string());
        a.Delete(a.Find(col::FirstName, "Mark").row);
        b.Set(b.Find(col::Company, "Joes Bar and Grill").row, col::Phone, "(225)999-0000");
        TAddressBook(b.path).Save(lee, std::string());
        SyncNow(b);

        const QString child = QString::fromLocal8Bit(qgetenv("VC_BIN_DIR")) + "/../tests/synckill";
        int stops = 0;
        for (int stopAt = 1;; ++stopAt) {
            QProcess p;
            p.start(child, {QString::fromStdString(a.path), server_->url("/").toString(),
                            QString::number(stopAt)});
            QVERIFY(p.waitForFinished(60000));
            if (p.exitCode() == 0)
                break;
            QCOMPARE(p.exitCode(), 9);
            ++stops;
            TSQLiteDatabase db(a.path);
            QCOMPARE(QString::fromStdString(db.OpenResult("PRAGMA integrity_check")->TextOrEmptyAt(0)),
                     QString("ok"));
        }
        QVERIFY(stops > 3);
        SyncNow(a);
        SyncNow(b);
        QCOMPARE(SyncNow(a).sent + SyncNow(b).sent, 0);
        // Every card on the server once: the contacts' own and their people's.
        TDavClient client(server_->url("/"), "user", "secret");
        client.Discover();
        QCOMPARE(client.ListEtags().size(), 6 + 1 + 3 + 1); // Joe's, Jane, Kay, Lee
        for (const Desk* desk : {&a, &b}) {
            QCOMPARE(desk->Contacts().size(), std::size_t(4)); // no doubles
            const LocalContact engines = desk->Find(col::Company, "Kay Engines");
            QCOMPARE(QString::fromStdString(engines.values[col::ExtraColumn(3, col::XName)]),
                     QString("Bo Kay"));
            QVERIFY(desk->Find(col::Company, "Lee Co").row != 0);
            QCOMPARE(desk->Find(col::FirstName, "Mark").row, std::int64_t(0));
            QCOMPARE(QString::fromStdString(desk->Find(col::Company, "Janes Place").values[col::Email]),
                     QString("jane@new.example"));
            QCOMPARE(QString::fromStdString(desk->Find(col::Company, "Joes Bar and Grill").values[col::Phone]),
                     QString("(225)999-0000"));
        }
    }

    // The program itself, as a timer runs it: set up once, then one line per sync; the faults a
    // person can act on end it with status 1 and the reason, the book as it was. A refused
    // password only where the server checks one.
    void fromTheCommandLine_data() { Servers(); }
    void fromTheCommandLine() {
        TestHome home;
        auto program = [&](const QStringList& args, const QByteArray& input,
                           const QString& password) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("HOME", home.path());
            env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.path() + "/no-bus");
            if (!password.isEmpty())
                env.insert("VELLICARD_SYNC_PASSWORD", password);
            p.setProcessEnvironment(env);
            p.start(QString::fromLocal8Bit(qgetenv("VC_BIN_DIR")) + "/vellicard", args);
            p.write(input);
            p.closeWriteChannel();
            p.waitForFinished(60000);
            return qMakePair(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() +
                                                             p.readAllStandardError()));
        };
        const auto setUp = program({"--sync-setup", server_->url("/").toString(), "user"},
                                   "secret\n", QString());
        QCOMPARE(setUp.first, 0);
        QVERIFY2(setUp.second.contains("VELLICARD_SYNC_PASSWORD"), qPrintable(setUp.second));
        const auto first = program({"--sync-now"}, {}, "secret");
        QCOMPARE(first.first, 0);
        QVERIFY2(first.second.endsWith(": 3 sent, 0 received, 0 deleted, 0 conflicts\n"),
                 qPrintable(first.second));
        const QByteArray before = [&] {
            QFile f(home.dbPath());
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        if (server_->checksPasswords()) {
            const auto refused = program({"--sync-now"}, {}, "wrong");
            QCOMPARE(refused.first, 1);
            QVERIFY2(refused.second.contains("user name or password"), qPrintable(refused.second));
        }
        server_->stop();
        const auto away = program({"--sync-now"}, {}, "secret");
        QCOMPARE(away.first, 1);
        QVERIFY2(away.second.contains("cannot be reached"), qPrintable(away.second));
        QFile f(home.dbPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll() == before);
    }

    // A server whose certificate nobody vouches for is refused, whatever the user says (radicale
    // alone: xandikos serves no TLS of its own).
    void untrustedCertificateRefused() {
        RadicaleServer tls("user", "secret", true);
        QVERIFY2(tls.error().isEmpty(), qPrintable(tls.error()));
        Desk a(NewBookPath());
        TDavClient client(tls.url("/"), "user", "secret");
        try {
            SyncAddressBook(client, a.path);
            QFAIL("synced with an untrusted server");
        } catch (const EDavError& e) {
            QCOMPARE(e.Failure(), EDavError::Kind::Certificate);
            QVERIFY2(e.Message().contains("not trusted"), qPrintable(e.Message()));
        }
        QVERIFY(TSyncStore(a.path).Load().bookUrl.empty());
    }

    // vdirsyncer keeps a folder of .vcf files in step with the same address book: what it
    // adds, changes and deletes there reaches the book, and the book's changes reach the folder.
    void anotherClientSeesTheSameBook_data() { Servers(); }
    void anotherClientSeesTheSameBook() {
        Desk a(NewBookPath());
        SyncNow(a);
        QTemporaryDir vds;
        QDir().mkpath(vds.filePath("cards"));
        QFile config(vds.filePath("config"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QString("[general]\nstatus_path = \"%1/status/\"\n"
                             "[pair book]\na = \"folder\"\nb = \"server\"\ncollections = null\n"
                             "[storage folder]\ntype = \"filesystem\"\npath = \"%1/cards/\"\n"
                             "fileext = \".vcf\"\n"
                             "[storage server]\ntype = \"carddav\"\nurl = \"%2\"\n"
                             "username = \"user\"\npassword = \"secret\"\n")
                         .arg(vds.path(), server_->url(server_->bookPath()).toString())
                         .toUtf8());
        config.close();
        auto vdirsyncer = [&](const QString& command) {
            QProcess p;
            p.start("vdirsyncer", {"-c", config.fileName(), command});
            p.write("y\ny\n");
            p.closeWriteChannel();
            const bool done = p.waitForFinished(60000) && p.exitCode() == 0;
            if (!done)
                qWarning() << p.readAllStandardError();
            return done;
        };
        QVERIFY(vdirsyncer("discover"));
        QVERIFY(vdirsyncer("sync"));
        QDir cards(vds.filePath("cards"));
        QCOMPARE(cards.entryList(QDir::Files).size(), 10); // three contacts, seven extra people
        auto fileWith = [&](const QByteArray& text) {
            for (const QString& name : cards.entryList(QDir::Files)) {
                QFile f(cards.filePath(name));
                if (f.open(QIODevice::ReadOnly) && f.readAll().contains(text))
                    return f.fileName();
            }
            return QString();
        };
        auto rewrite = [](const QString& path, const QByteArray& from, const QByteArray& to) {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            const QByteArray text = f.readAll().replace(from, to);
            f.close();
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(text);
        };
        // There: a new card as a phone writes it, a changed e-mail, an extra person gone.
        QFile phone(cards.filePath("phone-1.vcf"));
        QVERIFY(phone.open(QIODevice::WriteOnly));
        phone.write("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:phone-1\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\n"
                    "ORG:Lee Co\r\nTEL;TYPE=CELL:225-555-0199\r\nEMAIL:ann@lee.example\r\n"
                    "END:VCARD\r\n");
        phone.close();
        rewrite(fileWith("jane@janesplace.example.com"), "jane@janesplace.example.com",
                "jane@elsewhere.example");
        QVERIFY(QFile::remove(fileWith("FN:Sam Doyle")));
        QVERIFY(vdirsyncer("sync"));
        const SyncSummary back = SyncNow(a);
        QCOMPARE(back.received, 3);
        const LocalContact ann = a.Find(col::Company, "Lee Co");
        QCOMPARE(QString::fromStdString(ann.values[col::Phone]), QString("(225)555-0199"));
        QCOMPARE(QString::fromStdString(a.Find(col::Company, "Janes Place").values[col::Email]),
                 QString("jane@elsewhere.example"));
        const LocalContact mark = a.Find(col::FirstName, "Mark");
        QCOMPARE(QString::fromStdString(mark.values[col::ExtraColumn(2, col::XName)]), QString());
        QCOMPARE(QString::fromStdString(mark.values[col::ExtraColumn(1, col::XName)]),
                 QString("Jane Doyle"));
        // Here: a changed company and a deleted contact reach the folder.
        a.Set(ann.row, col::Company, "Lee and Sons");
        a.Delete(a.Find(col::Company, "Janes Place").row);
        QCOMPARE(SyncNow(a).sent, 1);
        QVERIFY(vdirsyncer("sync"));
        QVERIFY(!fileWith("ORG:Lee and Sons").isEmpty());
        QVERIFY(fileWith("ORG:Janes Place").isEmpty());
        QCOMPARE(cards.entryList(QDir::Files).size(), 9);
    }
};

QTEST_MAIN(TestSync)
#include "test_sync.moc"

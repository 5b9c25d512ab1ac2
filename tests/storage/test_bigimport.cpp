// Imports far bigger than one batch of the reader: the book stays open to other writers, and
// what spans batches comes out as from a small file.
#include "interchange/ContactFileError.h"
#include "interchange/ContactReader.h"
#include "storage/AddressBook.h"
#include "storage/ContactImporter.h"
#include "storage/ContactStatements.h"
#include "storage/ImportProgress.h"
#include "storage/SQLiteTable3.h"
#include "storage/unitBuildData.h"
#include "tests/common/RawDb.h"
#include "tests/common/TestHome.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <chrono>
#include <set>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray Cards(int count) {
    QByteArray file;
    for (int i = 1; i <= count; ++i) {
        const QByteArray n = QByteArray::number(i);
        file += "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:c" + n + "\r\nN:Kay;Ada;;;\r\nORG:Kay Engines " +
                n + "\r\nEND:VCARD\r\n";
        for (int e = 1; e <= 2; ++e)
            file += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Extra " + n + "-" + QByteArray::number(e) +
                    "\r\nX-VELLICARD-EXTRA-OF:c" + n + ";" + QByteArray::number(e) +
                    "\r\nEND:VCARD\r\n";
    }
    return file;
}

QByteArray Rows(int count) {
    QByteArray file = "Company Name,Notes\r\n";
    for (int i = 1; i <= count; ++i)
        file += "Row " + QByteArray::number(i) + ",\"line one, \"\"quoted\"\"\r\nline two " +
                QByteArray(300, 'x') + "\"\r\n";
    return file;
}

// Steps through an import until it has committed its first part of kInsertRows contacts, then
// cancels there or kills the process that runs it, as a user's Cancel or a kill from outside.
class StopAfterFirstPart : public IImportProgress {
public:
    explicit StopAfterFirstPart(bool kill) : kill_(kill) {}
    void Start(std::size_t total) override { total_ = total; }
    bool Step(std::size_t done) override {
        // The adding of the second part is next once the steps pass the reading's nine tenths.
        if (done <= total_ * 9 / 10 || done >= total_)
            return true;
        if (kill_)
            raise(SIGKILL);
        return false;
    }
    void Finish() override {}

private:
    bool kill_;
    std::size_t total_ = 0;
};

// Every step an import reports.
class StepRecorder : public IImportProgress {
public:
    void Start(std::size_t total) override { total_ = total; }
    bool Step(std::size_t done) override {
        steps_.push_back(done);
        return true;
    }
    void Finish() override {}
    std::size_t total_ = 0;
    std::vector<std::size_t> steps_;
};

} // namespace

class TestBigImport : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHome> home_;

    std::string Db() const { return QFile::encodeName(home_->dbPath()).toStdString(); }
    std::string Write(const QByteArray& bytes, const QString& name) {
        const QString path = home_->path() + "/" + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return {};
        return QFile::encodeName(path).toStdString();
    }

private slots:
    void init() {
        home_ = std::make_unique<TestHome>();
        PrepareDataFiles();
        RawDb(home_->dbPath()).mustExec("DELETE FROM Customers;");
    }
    void cleanup() { home_.reset(); }

    // Another copy saving all the while the import runs waits for the book far less than its
    // busy timeout; the identifiers the import reports are its own contacts' only.
    void othersSaveDuringTheImport() {
        constexpr int kContacts = 40000;
        const std::string file = Write(Cards(kContacts), "big.vcf");
        std::atomic<bool> done{false};
        std::vector<std::string> theirs;
        qint64 longestWait = 0;
        std::string failure;
        std::thread other([&] {
            try {
                TSQLiteDatabase db(Db(), OpenMode::ExistingOnly);
                ContactValues values;
                for (int n = 0; !done; ++n) {
                    values[2] = "Other " + std::to_string(n);
                    QElapsedTimer waited;
                    waited.start();
                    db.RunStatement("BEGIN IMMEDIATE;");
                    longestWait = std::max(longestWait, waited.elapsed());
                    db.RunStatement(BuildInsertStatement(values));
                    theirs.push_back(std::to_string(db.LastInsertRowId()));
                    db.RunStatement("COMMIT;");
                    // A user saves now and then, not in a tight loop that could starve the import.
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
            } catch (const std::exception& e) {
                failure = e.what();
            }
        });
        ImportSummary summary;
        try {
            summary = TAddressBook(Db()).Import(file);
        } catch (...) {
            done = true;
            other.join();
            throw;
        }
        done = true;
        other.join();
        QVERIFY2(failure.empty(), failure.c_str());
        QVERIFY(!theirs.empty());
        QVERIFY2(longestWait < 1000, qPrintable(QString("waited %1 ms").arg(longestWait)));
        QCOMPARE(summary.imported, std::size_t(kContacts));
        QCOMPARE(summary.addedIds.size(), std::size_t(kContacts));
        std::set<std::string> ours(summary.addedIds.begin(), summary.addedIds.end());
        QCOMPARE(ours.size(), std::size_t(kContacts));
        for (const std::string& id : theirs)
            QVERIFY(!ours.count(id));
        RawDb raw(home_->dbPath());
        QCOMPARE(raw.value("SELECT COUNT(*) FROM Customers").toInt(),
                 kContacts + int(theirs.size()));
        QCOMPARE(raw.value("SELECT dbExtraName2 FROM Customers WHERE dbCustomer_ID=" +
                           QString::fromStdString(summary.addedIds.back())),
                 QString("Extra %1-2").arg(kContacts));
    }

    // An import stopped after its first part of kInsertRows rows was committed: a Cancel
    // leaves the book as it was; a kill leaves that part, which the next import takes out again
    // (all but a contact changed since) and says so before it adds the file whole.
    void stoppedAfterFirstPart_data() {
        QTest::addColumn<bool>("kill");
        QTest::addColumn<bool>("changeOne");
        QTest::newRow("cancelled") << false << false;
        QTest::newRow("killed") << true << false;
        QTest::newRow("killed, one contact changed since") << true << true;
    }
    void stoppedAfterFirstPart() {
        QFETCH(bool, kill);
        QFETCH(bool, changeOne);
        const int kRows = int(kInsertRows) * 2 + 10;
        const std::string path = Write(Rows(kRows), "in.csv");
        RawDb raw(home_->dbPath());
        raw.mustExec("INSERT INTO Customers(dbCustCompany) VALUES('Before');");
        StopAfterFirstPart stop(kill);
        if (!kill) {
            TSQLiteDatabase db(Db(), OpenMode::ExistingOnly);
            TContactReader reader(path);
            QVERIFY(ImportContacts(db, reader, &stop).cancelled);
            QCOMPARE(raw.value("SELECT COUNT(*) FROM Customers"), "1");
            return;
        }
        const pid_t child = fork();
        if (child == 0) {
            TSQLiteDatabase db(Db(), OpenMode::ExistingOnly);
            TContactReader reader(path);
            ImportContacts(db, reader, &stop);
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL, "the import was not killed");
        QCOMPARE(raw.value("SELECT COUNT(*) FROM Customers"), QString::number(kInsertRows + 1));
        if (changeOne)
            raw.mustExec("UPDATE Customers SET dbCustCtyStZp='Changed' WHERE dbCustCompany='Row 7';");
        const ImportSummary summary = TAddressBook(Db()).Import(path);
        const QString said = QString::fromStdString(summary.Text());
        QVERIFY2(said.startsWith("The import of \"" + QString::fromStdString(path) +
                                 "\" did not finish"),
                 qPrintable(said));
        QVERIFY2(said.contains(changeOne ? "1 contact was changed since and kept"
                                         : "as it was before that import"),
                 qPrintable(said));
        QCOMPARE(summary.imported, std::size_t(kRows));
        QCOMPARE(raw.value("SELECT COUNT(*) FROM Customers"),
                 QString::number(kRows + (changeOne ? 1 : 0) + 1));
        QCOMPARE(raw.value("SELECT COUNT(*) FROM sqlite_master WHERE name LIKE 'VellicardImport%'"),
                 "0");
        QVERIFY(TAddressBook(Db()).Import(path).interrupted.empty());
    }

    // The progress moves while the file is read and while its parts are added, never back, and
    // ends full: a bar that sat at 0 until the end would pass none of this.
    void progressMoves() {
        const std::string path = Write(Rows(int(kInsertRows) * 3), "in.csv");
        StepRecorder steps;
        QCOMPARE(TAddressBook(Db()).Import(path, &steps).imported, kInsertRows * 3);
        QVERIFY(!steps.steps_.empty());
        const std::size_t total = steps.total_, read = total * 9 / 10;
        QVERIFY(std::is_sorted(steps.steps_.begin(), steps.steps_.end()));
        QCOMPARE(steps.steps_.back(), total);
        const auto within = [&](std::size_t from, std::size_t to) {
            return std::count_if(steps.steps_.begin(), steps.steps_.end(),
                                 [&](std::size_t s) { return s > from && s < to; });
        };
        QVERIFY2(within(0, read) > 0, "no step while reading");
        QVERIFY2(within(read, total) > 0, "no step while adding");
    }

    // What spans the reader's batches: extra contacts after their contact, duplicates far
    // apart, quoted line breaks, and the place a message names.
    void spansBatches_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("imported");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QString>("check"); // "SQL|value" on the book afterwards, or the message
        QTest::newRow("extras after their contact")
            << Cards(3000) << "in.vcf" << 3000 << 0
            << "SELECT dbExtraName1 FROM Customers WHERE dbCustCompany='Kay Engines 2001'|"
               "Extra 2001-1";
        QTest::newRow("duplicates far apart") << Cards(3000) + Cards(1500) << "in.vcf" << 3000
                                              << 1500 << "SELECT COUNT(*) FROM Customers|3000";
        QTest::newRow("quoted line breaks")
            << Rows(4000) << "in.csv" << 4000 << 0
            << "SELECT dbCustNotes FROM Customers WHERE dbCustCompany='Row 3999'|"
               "line one, \"quoted\"\r\nline two " +
                   QString(300, 'x');
        // At the edges of the reader's batches and the book's transactions: none lost, none twice.
        for (const int n : {int(TContactReader::kBatchContacts), int(TContactReader::kBatchContacts) + 1,
                            int(kInsertRows) - 1, int(kInsertRows), int(kInsertRows) + 1}) {
            QTest::addRow("%d cards", n)
                << Cards(n) << "in.vcf" << n << 0
                << QString("SELECT printf('%d/%d/%d',COUNT(*),COUNT(DISTINCT dbCustCompany),"
                           "max(dbExtraName2='Extra %1-2')) FROM Customers|%1/%1/1").arg(n);
            QTest::addRow("%d rows", n)
                << Rows(n) << "in.csv" << n << 0
                << QString("SELECT printf('%d/%d/%d',COUNT(*),COUNT(DISTINCT dbCustCompany),"
                           "max(dbCustCompany='Row %1')) FROM Customers|%1/%1/1").arg(n);
        }
        QTest::newRow("stray line late") << Cards(3000) + "NOTE:stray\r\n" << "in.vcf" << 0 << 0
                                         << "Line 48001 of the file";
        QTest::newRow("first of two faults named")
            << Cards(500) + "NOTE:stray\r\n" + Cards(800) + "NOTE:later\r\n" << "in.vcf" << 0
            << 0 << "Line 8001 of the file";
        QTest::newRow("cut short late") << Rows(4000) + "Row,\"open\r\n" << "in.csv" << 0 << 0
                                        << "quoted field in row 4002";
    }
    void spansBatches() {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        QFETCH(int, imported);
        QFETCH(int, skipped);
        QFETCH(QString, check);
        const std::string path = Write(file, name);
        if (imported == 0) {
            try {
                TAddressBook(Db()).Import(path);
                QFAIL("the import went through");
            } catch (const EContactFileError& e) {
                QVERIFY2(QString(e.what()).contains(check), e.what());
            }
            QCOMPARE(RawDb(home_->dbPath()).value("SELECT COUNT(*) FROM Customers"), "0");
            return;
        }
        const ImportSummary summary = TAddressBook(Db()).Import(path);
        QCOMPARE(summary.imported, std::size_t(imported));
        QCOMPARE(summary.skipped, std::size_t(skipped));
        QCOMPARE(RawDb(home_->dbPath()).value(check.section('|', 0, 0)),
                 check.section('|', 1));
    }
};

QTEST_MAIN(TestBigImport)
#include "test_bigimport.moc"

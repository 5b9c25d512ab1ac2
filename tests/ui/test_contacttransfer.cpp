// Export, wipe and import gives back the address book the program itself would store: every
// one of the 45 columns of every contact equals what opening the contact in the editor and
// saving it writes. And the command line moves contacts without a window.

#include "interchange/ContactExporter.h"
#include "storage/AddressBook.h"
#include "storage/ContactImporter.h"
#include "storage/unitBuildData.h"
#include "tests/common/RawDb.h"
#include "tests/common/TestHome.h"
#include "tests/common/VobjectCheck.h"
#include "ui/widgets/MaskEdit.h"
#include "ui/widgets/NoteMemo.h"
#include "ui/window/ContactFields.h"

#include <QLineEdit>
#include <QProcess>
#include <QtTest>
#include <memory>

namespace {

QString Columns() {
    QStringList names;
    for (const std::string& c : SaveOrderColumns())
        names << QString::fromStdString(c);
    return names.join(',');
}

// Each data column as the editor stores it after loading the stored bytes, by the editor's own
// field code.
QStringList AsTheEditorSaves(const QList<QByteArray>& stored) {
    QStringList saved;
    for (int i = 0; i < kDataColumns; ++i) {
        const ContactField& field = FieldOfColumn(SaveOrderColumns()[i]);
        std::unique_ptr<QWidget> w;
        if (field.kind == FieldKind::Masked) {
            auto* mask = new TMaskEdit;
            if (field.column.rfind("dbExtraPhoneExt", 0) == 0)
                mask->setEditMask(TMaskEdit::kExtensionMask);
            w.reset(mask);
        } else if (field.kind == FieldKind::Note) {
            w.reset(new TNoteMemo);
        } else {
            w.reset(new QLineEdit);
        }
        SetFieldText(w.get(), FromLocal(stored[i].toStdString()));
        saved << QString::fromStdString(ToLocal(FieldText(w.get())));
    }
    return saved;
}

QList<QList<QByteArray>> StoredRows(const QString& db) {
    RawDb raw(db);
    QList<QList<QByteArray>> rows;
    const int count = raw.value("SELECT COUNT(*) FROM Customers").toInt();
    for (int r = 0; r < count; ++r) {
        QList<QByteArray> row;
        for (const std::string& c : SaveOrderColumns())
            row << raw.bytes(QString("SELECT %1 FROM Customers ORDER BY dbCustomer_ID LIMIT 1 "
                                     "OFFSET %2")
                                 .arg(QString::fromStdString(c))
                                 .arg(r));
        rows << row;
    }
    return rows;
}

QString Sql(const QString& text) {
    return "'" + QString(text).replace("'", "''") + "'";
}

// A contact with every field at its editor limit, partly filled masks included.
QString LimitRow() {
    QStringList v = {QString(18, 'F'),
                     QString(18, 'L'),
                     QString(25, 'C'),
                     QString(30, 'A'),
                     "Abcdefghijklmnop, Qrstuvw 12345",
                     QString(26, 'e') + "@x.example",
                     "https://" + QString(60, 'w') + ".example/",
                     "(225)123-4567",
                     "(22 )1 3-45 7",
                     (QString(60, 'n') + "\r\n").repeated(7) + QString(73, 'n')};
    for (int n = 1; n <= kExtraContacts; ++n)
        v << QString(36, QChar('0' + n)) << QString(14, 't') << "(   )   -   1"
          << (n % 2 ? "12345" : "1 2  ") << "(999)999-9999" << QString(25, 'm') + "@x.example"
          << (QString(30, 'z') + "\r\n").repeated(6).left(200);
    QStringList lit;
    for (const QString& s : v)
        lit << Sql(s);
    return "INSERT INTO Customers(" + Columns() + ")VALUES(" + lit.join(',') + ");";
}

QString HostileRow() {
    const QString evil = "a\"b'c;d,e\\f:g";
    QStringList v = {"Zoë \"Z\"",
                     "O'Brien; Jr.",
                     "Ünïcødé, \\Co",
                     evil,
                     "Köln, NRW 50667",
                     "plain@example.com",
                     "https://x.example/a?b=c&d=e;f,g",
                     "",
                     "",
                     "END:VCARD\r\nBEGIN:VCARD\r\n" + evil + "\r\n\r\n  indented \\n"};
    for (int n = 1; n <= kExtraContacts; ++n)
        v << (n == 3 ? evil : QString()) << (n == 3 ? "dbCustLastName" : "") << ""
          << ""
          << ""
          << "" << (n == 3 ? "x;y,z\\\r\nnext" : "");
    QStringList lit;
    for (const QString& s : v)
        lit << Sql(s);
    return "INSERT INTO Customers(" + Columns() + ")VALUES(" + lit.join(',') + ");";
}

} // namespace

class TestContactTransfer : public QObject {
    Q_OBJECT

private slots:
    void exportWipeImportGivesTheSameBook_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("vCard") << "book.vcf";
        QTest::newRow("CSV") << "book.csv";
    }
    void exportWipeImportGivesTheSameBook() {
        QFETCH(QString, name);
        TestHome home;
        PrepareDataFiles(); // the three sample contacts
        {
            RawDb raw(home.dbPath());
            raw.mustExec(LimitRow());
            raw.mustExec(HostileRow());
            raw.mustExec("INSERT INTO Customers(dbCustCompany) VALUES('Only NULLs');");
        }
        QList<QStringList> expected;
        for (const auto& row : StoredRows(home.dbPath()))
            expected << AsTheEditorSaves(row);

        const std::string db = QFile::encodeName(home.dbPath()).toStdString();
        const std::string file = QFile::encodeName(home.path() + "/" + name).toStdString();
        QCOMPARE(TAddressBook(db).Export(file).exported, std::size_t(6));
        if (name.endsWith(".vcf")) {
            const QString other = VobjectDisagreement(home.path() + "/" + name, home.dbPath());
            QVERIFY2(other.isEmpty(), qPrintable(other));
        }
        RawDb(home.dbPath()).mustExec("DELETE FROM Customers;");
        const ImportSummary summary = TAddressBook(db).Import(file);
        QCOMPARE(summary.imported, std::size_t(6));
        QVERIFY2(summary.moved.empty(), summary.Text().c_str());

        const auto rows = StoredRows(home.dbPath());
        QCOMPARE(rows.size(), expected.size());
        for (int r = 0; r < rows.size(); ++r)
            for (int i = 0; i < kDataColumns; ++i)
                QCOMPARE(QString::fromUtf8(rows[r][i]) + " [" +
                             QString::fromStdString(SaveOrderColumns()[i]) + "]",
                         expected[r][i] + " [" + QString::fromStdString(SaveOrderColumns()[i]) +
                             "]");
    }

    void commandLineExitStatus_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        const QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Kay;Ada;;;\r\nEND:VCARD\r\n";
        QTest::newRow("import") << QStringList{"--import", "@in.vcf"} << card << 0
                                << "Imported 1 contact, 0 skipped";
        QTest::newRow("import, a number moved")
            << QStringList{"--import", "@in.vcf"}
            << QByteArray(card).replace("END", "TEL:12345\r\nEND") << 0
            << "\n  1 phone number that does not fit";
        QTest::newRow("import garbage") << QStringList{"--import", "@in.vcf"}
                                        << QByteArray("\x01\x02garbage") << 1 << "neither";
        QTest::newRow("import missing file")
            << QStringList{"--import", "@none.vcf"} << QByteArray() << 1 << "Cannot open";
        QTest::newRow("export") << QStringList{"--export", "@out.csv"} << QByteArray() << 0
                                << "Exported 3 contacts";
        QTest::newRow("export to a missing folder")
            << QStringList{"--export", "@no/such/out.vcf"} << QByteArray() << 1 << "Cannot write";
        QTest::newRow("both at once") << QStringList{"--import", "@in.vcf", "--export", "@o.vcf"}
                                      << card << 2 << "one --import or one --export";
        QTest::newRow("no file name") << QStringList{"--import"} << QByteArray() << 2 << "value";
        QTest::newRow("find duplicates") << QStringList{"--find-duplicates"} << QByteArray() << 0
                                         << "0 groups of possible duplicates among 3 contacts\n";
        QTest::newRow("find duplicates with an export")
            << QStringList{"--find-duplicates", "--export", "@o.vcf"} << QByteArray() << 2
            << "--find-duplicates on its own";
    }

    // One line a group, the ids ascending, a tab, the reason; then the count. Nothing changes.
    void findDuplicatesPrintsTheGroups() {
        TestHome home;
        QFile in(home.path() + "/in.vcf");
        QVERIFY(in.open(QIODevice::WriteOnly));
        in.write("BEGIN:VCARD\r\nVERSION:3.0\r\nN:LEE;ANN;;;\r\nEMAIL:Ann@Lee.example\r\nEND:VCARD\r\n"
                 "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nORG:Lee Bakery\r\n"
                 "EMAIL:ann@lee.example\r\nEND:VCARD\r\n");
        in.close();
        auto run = [&](const QStringList& args) {
            QProcess program;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("HOME", home.path());
            program.setProcessEnvironment(env);
            program.start(qEnvironmentVariable("VC_BIN_DIR") + "/vellicard", args);
            return program.waitForFinished(120000) && program.exitCode() == 0
                       ? QString::fromUtf8(program.readAllStandardOutput())
                       : QString("failed: ") + program.readAllStandardError();
        };
        QVERIFY(run({"--import", in.fileName()}).startsWith("Imported 2 contacts"));
        const QString expected = "4,5\tsame e-mail address ann@lee.example\n"
                                 "1 groups of possible duplicates among 5 contacts\n";
        QCOMPARE(run({"--find-duplicates"}), expected);
        QCOMPARE(run({"--find-duplicates"}), expected);
    }
    void commandLineExitStatus() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, file);
        QFETCH(int, status);
        QFETCH(QString, output);
        TestHome home;
        if (!file.isEmpty()) {
            QFile in(home.path() + "/in.vcf");
            QVERIFY(in.open(QIODevice::WriteOnly));
            in.write(file);
        }
        for (QString& a : args)
            if (a.startsWith('@'))
                a = home.path() + "/" + a.mid(1);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // No display of any kind: the command line must not need one.
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("HOME", home.path());
        program.setProcessEnvironment(env);
        program.start(qEnvironmentVariable("VC_BIN_DIR") + "/vellicard", args);
        QVERIFY(program.waitForFinished(120000));
        const QString text = program.readAllStandardOutput() + program.readAllStandardError();
        QVERIFY2(text.contains(output), qPrintable(text));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
    }
};

QTEST_MAIN(TestContactTransfer)
#include "test_contacttransfer.moc"

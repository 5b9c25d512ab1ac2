// Contact files from other programs and from this one: what lands in which column, what goes to
// the notes, and that a file the import cannot take leaves the address book as it was.

#include "interchange/ContactExporter.h"
#include "interchange/ContactFileError.h"
#include "storage/AddressBook.h"
#include "storage/ContactImporter.h"
#include "storage/ImportProgress.h"
#include "storage/unitBuildData.h"
#include "tests/common/RawDb.h"
#include "tests/common/TestHome.h"
#include "tests/common/VobjectCheck.h"

#include <QFile>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Answers Cancel once two contacts are in.
class CancelAfterTwo : public IImportProgress {
public:
    void Start(std::size_t) override {}
    bool Step(std::size_t done) override { return done < 2; }
    void Finish() override {}
};

const QByteArray kCard21 =
    "BEGIN:VCARD\r\nVERSION:2.1\r\n"
    "N;CHARSET=ISO-8859-1:M\xfcller;J\xfcrgen\r\n"
    "ORG:M\xfcller GmbH\r\n"
    "TEL;WORK;VOICE:(225) 555-0100\r\n"
    "TEL;WORK;FAX:225.555.0101\r\n"
    "EMAIL;PREF;INTERNET:juergen@mueller.example\r\n"
    "ADR;WORK;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:;;Hauptstra=C3=9Fe 5;Springfield;IL;=\r\n"
    "62701;\r\n"
    "NOTE;QUOTED-PRINTABLE:First line=0D=0ASecond =\r\nline\r\n"
    "END:VCARD\r\n";

const QByteArray kCard30 = "\xEF\xBB\xBF"
                           "BEGIN:VCARD\nVERSION:3.0\nN:Doe;Jane;;;\nFN:Jane Doe\n"
                           "ORG:Acme\\, Inc.;Sales\n"
                           "item1.EMAIL;type=INTERNET;type=pref:jane@acme.example\n"
                           "item1.X-ABLabel:work\n"
                           "TEL;TYPE=\"work,voice\":+1 225 555 0199\n"
                           "TEL;type=WORK;type=FAX:1-225-555-0198\n"
                           "URL:https://acme.example/\n jane\n"
                           "NOTE:Semi\\; colon\\, comma\\\\ back\\nnext\n"
                           "END:VCARD\n";

const QByteArray kCard40 = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann Lee\r\n"
                           "TEL;VALUE=uri;TYPE=\"work,voice\":tel:+1-225-555-0142;ext=7\r\n"
                           "EMAIL;TYPE=work:ann@\r\n\tlee.example\r\nEND:VCARD\r\n"
                           "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:org\r\nFN:Lee Holdings\r\n"
                           "ORG:Lee Holdings\r\nEND:VCARD\r\n";

QByteArray Card30(const QByteArray& lines) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Fit;Test;;;\r\n" + lines + "END:VCARD\r\n";
}

QByteArray Utf16(const QByteArray& utf8, bool bigEndian, bool byteOrderMark) {
    QStringEncoder to(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE,
                      byteOrderMark ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    return to(QString::fromUtf8(utf8));
}

QByteArray LinkedExtras(int count) {
    QByteArray file = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:p1\r\nORG:Parent Co\r\nEND:VCARD\r\n";
    for (int i = 1; i <= count; ++i)
        file += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Person " + QByteArray::number(i) +
                "\r\nX-VELLICARD-EXTRA-OF:p1\r\nEND:VCARD\r\n";
    return file;
}

// A file in another program's layout: its header row, then one row per contact given as
// "Header=value" cells, every other column blank.
QByteArray Layout(const QByteArray& header, const QList<QStringList>& contacts) {
    QByteArray file = header + "\r\n";
    const QList<QByteArray> names = header.split(',');
    for (const QStringList& cells : contacts) {
        QStringList row(names.size());
        for (const QString& cell : cells)
            row[names.indexOf(cell.section('=', 0, 0).toUtf8())] = cell.section('=', 1);
        for (QString& v : row)
            if (v.contains(',') || v.contains('\n'))
                v = '"' + v + '"';
        file += row.join(',').toUtf8() + "\r\n";
    }
    return file;
}

QByteArray Utf16(const QString& text, QStringConverter::Encoding encoding, const char* mark) {
    return mark + QByteArray(QStringEncoder(encoding).encode(text));
}

const QByteArray kGoogleOld =
    "Name,Given Name,Additional Name,Family Name,Notes,Group Membership,E-mail 1 - Type,"
    "E-mail 1 - Value,E-mail 2 - Type,E-mail 2 - Value,Phone 1 - Type,Phone 1 - Value,"
    "Address 1 - Formatted,Address 1 - Street,Address 1 - City,Address 1 - Region,"
    "Address 1 - Postal Code,Organization 1 - Name,Organization 1 - Title,Website 1 - Value";
const QByteArray kGoogleNew =
    "First Name,Middle Name,Last Name,Nickname,Organization Name,Organization Title,Notes,"
    "Labels,E-mail 1 - Label,E-mail 1 - Value,Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,"
    "Phone 2 - Value,Address 1 - Street,Address 1 - City,Address 1 - Region,"
    "Address 1 - Postal Code,Address 1 - Country";
const QByteArray kOutlook =
    "First Name,Middle Name,Last Name,Title,Suffix,Nickname,E-mail Address,E-mail 2 Address,"
    "Home Phone,Business Phone,Mobile Phone,Business Fax,Job Title,Department,Company,"
    "Business Street,Business City,Business State,Business Postal Code,Business Country/Region,"
    "Home Street,Home City,Web Page,Notes";
const QByteArray kThunderbird =
    "First Name,Last Name,Display Name,Nickname,Primary Email,Secondary Email,Screen Name,"
    "Work Phone,Home Phone,Fax Number,Pager Number,Mobile Number,Home Address,Home Address 2,"
    "Home City,Home State,Home ZipCode,Home Country,Work Address,Work Address 2,Work City,"
    "Work State,Work ZipCode,Work Country,Job Title,Department,Organization,Web Page 1,"
    "Web Page 2,Birth Year,Birth Month,Birth Day,Custom 1,Notes";

} // namespace

class TestContactFiles : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHome> home_;
    QString file_;

    std::string Db() const { return QFile::encodeName(home_->dbPath()).toStdString(); }
    // The column of the n-th contact in the order of insertion.
    QString Column(int n, const QString& column) {
        RawDb raw(home_->dbPath());
        return raw.value(
            QString("SELECT %1 FROM Customers ORDER BY dbCustomer_ID LIMIT 1 OFFSET %2")
                .arg(column)
                .arg(n - 1));
    }
    ImportSummary Import(const QByteArray& bytes, const QString& name = "in.vcf") {
        file_ = home_->path() + "/" + name;
        WriteFile(file_, bytes);
        return TAddressBook(Db()).Import(QFile::encodeName(file_).toStdString());
    }

private slots:
    void init() {
        home_ = std::make_unique<TestHome>();
        PrepareDataFiles();
        RawDb(home_->dbPath()).mustExec("DELETE FROM Customers;");
    }
    void cleanup() { home_.reset(); }

    void readsEachVersion_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("expected"); // "n|column|value"
        QTest::newRow("2.1 charsets, quoted-printable, CRLF")
            << kCard21
            << QStringList{"1|dbCustLastName|Müller",
                           "1|dbCustFirstName|Jürgen",
                           "1|dbCustCompany|Müller GmbH",
                           "1|dbCustPhone|(225)555-0100",
                           "1|dbCustFax|(225)555-0101",
                           "1|dbCustEmail|juergen@mueller.example",
                           "1|dbCustAddress|Hauptstraße 5",
                           "1|dbCustCtyStZp|Springfield, IL 62701",
                           "1|dbCustNotes|First line\r\nSecond line"};
        QTest::newRow("3.0 byte-order mark, LF, groups, escapes")
            << kCard30
            << QStringList{"1|dbCustCompany|Acme, Inc.",
                           "1|dbCustEmail|jane@acme.example",
                           "1|dbCustPhone|(225)555-0199",
                           "1|dbCustFax|(225)555-0198",
                           "1|dbCustWebSite|https://acme.example/jane",
                           "1|dbCustNotes|Semi; colon, comma\\ back\r\nnext\r\nDepartment: Sales"};
        QTest::newRow("4.0 tel URI, tab folding, two cards")
            << kCard40
            << QStringList{"1|dbCustFirstName|Ann",
                           "1|dbCustLastName|Lee",
                           "1|dbCustPhone|(225)555-0142",
                           "1|dbCustNotes|Phone Extension: 7",
                           "1|dbCustEmail|ann@lee.example",
                           "2|dbCustCompany|Lee Holdings",
                           "2|dbCustFirstName|",
                           "2|dbCustPhone|(   )   -    "};
        const QByteArray iPhone = "BEGIN:VCARD\r\r\nVERSION:3.0\r\r\nN:Smith;Bob;;;\r\r\n"
                                  "ORG:Smith Auto Repair;\r\r\nEMAIL:bob@smithauto.com\r\r\n"
                                  "URL:http\\://www.exam\r\r\n ple.com\r\r\nEND:VCARD\r\r\n";
        const QStringList bob{"1|dbCustLastName|Smith", "1|dbCustFirstName|Bob",
                              "1|dbCustCompany|Smith Auto Repair",
                              "1|dbCustEmail|bob@smithauto.com",
                              "1|dbCustWebSite|http://www.example.com", "1|dbCustNotes|"};
        QTest::newRow("iPhone: CR CR LF, \\:, empty last ORG unit") << iPhone << bob;
        QTest::newRow("UTF-16LE with byte-order mark") << Utf16(iPhone, false, true) << bob;
        QTest::newRow("UTF-16LE without") << Utf16(iPhone, false, false) << bob;
        QTest::newRow("UTF-16BE without") << Utf16(iPhone, true, false) << bob;
        QTest::newRow("old Mac: CR alone")
            << QByteArray("BEGIN:VCARD\rVERSION:3.0\rN:Old;Mac\rEND:VCARD\r")
            << QStringList{"1|dbCustFirstName|Mac", "1|dbCustLastName|Old"};
        QTest::newRow("2.1 phone: Windows-1251, ISO-8859-2, folding at a blank")
            << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\n"
                          "N;CHARSET=WINDOWS-1251;ENCODING=QUOTED-PRINTABLE:=C8=E2=E0=ED=EE=E2;=C8=E2=E0=ED\r\n"
                          "ORG;CHARSET=ISO-8859-2;ENCODING=QUOTED-PRINTABLE:Pozna=F1\r\n"
                          "NOTE:folded\r\n here\r\nEND:VCARD\r\n")
            << QStringList{"1|dbCustLastName|Иванов", "1|dbCustFirstName|Иван",
                           "1|dbCustCompany|Poznań", "1|dbCustNotes|folded here"};
        // Latin-1 as the programs that write it mean it: 0x80 to 0x9F are Windows-1252's signs,
        // not control characters.
        QTest::newRow("Latin-1 with 0x80 to 0x9F")
            << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1:M\xfcller\x96Kay;\x93J\x94\r\n"
                          "ORG;CHARSET=latin1;ENCODING=QUOTED-PRINTABLE:=80 5 =8A=9F\r\nEND:VCARD\r\n")
            << QStringList{"1|dbCustLastName|Müller–Kay", "1|dbCustFirstName|“J”",
                           "1|dbCustCompany|€ 5 ŠŸ"};
        QTest::newRow("Japanese phone: Shift_JIS with a 0x5C byte")
            << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:\x8eR\x93\x63;\x91\xbe\x98Y\r\n"
                          "ORG;CHARSET=SHIFT_JIS:\x83\x5c\x83\x6a\x81\x5b\r\nEND:VCARD\r\n")
            << QStringList{"1|dbCustLastName|山田", "1|dbCustFirstName|太郎",
                           "1|dbCustCompany|ソニー"};
        QTest::newRow("no field of their own: to the notes")
            << Card30("NICKNAME:Bobby\r\nBDAY:1970-01-02\r\nX-AIM:bob.aim\r\n"
                      "CATEGORIES:Work,VIP\r\nORG:Smith Auto;Repairs;East\r\nTITLE:Boss\r\n"
                      "X-MS-MANAGER:Ann\r\nIMPP:xmpp:bob@example.org\r\n"
                      "PHOTO;ENCODING=b;TYPE=JPEG:AAAA\r\n")
            << QStringList{"1|dbCustCompany|Smith Auto",
                           "1|dbCustNotes|Department: Repairs\r\nDepartment: East\r\n"
                           "Nickname: Bobby\r\nBirthday: 1970-01-02\r\nAIM: bob.aim\r\n"
                           "Categories: Work, VIP\r\nTitle: Boss\r\nManager: Ann\r\n"
                           "Instant Messaging: xmpp:bob@example.org"};
        QTest::newRow("line breaks in one-line fields")
            << Card30("ADR:;;Crescent moon drive\\n555-asd;Town;;;\r\n"
                      "ORG;ENCODING=QUOTED-PRINTABLE:One=0D=0ATwo\r\n")
            << QStringList{"1|dbCustAddress|Crescent moon drive, 555-asd",
                           "1|dbCustCompany|One",
                           "1|dbCustNotes|Company Name: One\r\nTwo\r\n"
                           "Address: Crescent moon drive\r\n555-asd"};
        QTest::newRow("CSV columns by name, any order")
            << QByteArray("Phone Number,Company Name,Extra Contact 2 Phone Extension\r\n"
                          "225 555 0100,\"Quote \"\"Co\"\", Ltd\",42\r\n")
            << QStringList{"1|dbCustPhone|(225)555-0100", "1|dbCustCompany|Quote \"Co\", Ltd",
                           "1|dbExtraPhoneExt2|   42", "1|dbExtraPhone2|(   )   -    "};
        QTest::newRow("seven linked people: five places, two in the notes")
            << LinkedExtras(7)
            << QStringList{"1|dbExtraName1|Person 1", "1|dbExtraName5|Person 5",
                           "1|dbCustNotes|Extra contact: Person 6\r\nExtra contact: Person 7"};
        // As a CardDAV server gives back the cards this program wrote.
        QTest::newRow("linked place written escaped")
            << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:urn:uuid:p1\r\nORG:Parent Co\r\n"
                          "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Lee\r\n"
                          "X-VELLICARD-EXTRA-OF:urn:uuid:p1\\;3\r\nEND:VCARD\r\n")
            << QStringList{"1|dbExtraName3|Ann Lee", "1|dbCustCompany|Parent Co"};
    }
    void recordsWhatReadingChanged_data() {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<int>("leftOut");
        QTest::addColumn<QString>("notes");
        QTest::newRow("quoted-printable =00")
            << QByteArray("NOTE;ENCODING=QUOTED-PRINTABLE:before=00after\r\n")
            << QStringList{kZeroBytesRemoved} << 0 << "beforeafter";
        QTest::newRow("unknown charset")
            << QByteArray("NOTE;CHARSET=X-NO-SUCH:J\xfcrgen\r\n")
            << QStringList{kReadAsWindows1252} << 0 << "Jürgen";
        QTest::newRow("not valid in its charset")
            << QByteArray("NOTE;CHARSET=SHIFT_JIS:\x82\r\nTITLE;CHARSET=UTF-8:\xe9t\xe9\r\n")
            << QStringList{kReadAsWindows1252} << 0 << "‚\r\nTitle: été";
        QTest::newRow("photo, logo, sound, key")
            << QByteArray("PHOTO;ENCODING=b;TYPE=JPEG:AAAA\r\nLOGO:http://x.example/l.png\r\n"
                          "SOUND;ENCODING=b:AAAA\r\nKEY;ENCODING=b:AAAA\r\n")
            << QStringList{} << 4 << "";
    }
    void recordsWhatReadingChanged() {
        QFETCH(QByteArray, lines);
        QFETCH(QStringList, changed);
        QFETCH(int, leftOut);
        QFETCH(QString, notes);
        const ImportSummary summary = Import(Card30(lines));
        QCOMPARE(Column(1, "dbCustNotes"), notes);
        // The summary tells what reading had to change, and what it left out.
        const QString text = QString::fromStdString(summary.Text());
        QCOMPARE(summary.changed.size(), std::size_t(changed.isEmpty() ? 0 : 1));
        for (const QString& kind : changed)
            QVERIFY2(text.contains(": " + kind), qPrintable(text));
        QCOMPARE(summary.leftOut, std::size_t(leftOut));
        QCOMPARE(text.contains(QString("%1 photos, logos, sounds or keys left out").arg(leftOut)),
                 leftOut > 1);
    }

    void readsEachVersion() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, expected);
        const bool csv = file.startsWith("Phone Number");
        Import(file, csv ? "in.csv" : "in.vcf");
        for (const QString& e : expected) {
            const QStringList parts = e.split('|');
            QCOMPARE(Column(parts[0].toInt(), parts[1]), parts[2]);
        }
    }

    void fitsValuesIntoTheEditor_data() {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("notes");
        const QString none = "(   )   -    ";
        QTest::newRow("phone abroad") << QByteArray("TEL:+44 20 7946 0958\r\n") << "dbCustPhone"
                                      << none << "Phone: +44 20 7946 0958";
        QTest::newRow("phone after +1") << QByteArray("TEL:+1 (225) 555-0100\r\n") << "dbCustPhone"
                                        << "(225)555-0100"
                                        << "";
        QTest::newRow("11 digits after 1") << QByteArray("TEL:1 225 555 0100\r\n")
                                           << "dbCustPhone"
                                           << "(225)555-0100"
                                           << "";
        QTest::newRow("11 digits after 0") << QByteArray("TEL:0555 123 4567\r\n")
                                           << "dbCustPhone" << none << "Phone: 0555 123 4567";
        QTest::newRow("escape in the last three bytes")
            << QByteArray("ORG;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9\r\n")
            << "dbCustCompany"
            << "Caf\u00e9"
            << "";
        QTest::newRow("second phone")
            << QByteArray("TEL;TYPE=work:2255550100\r\nTEL;TYPE=cell:2255550111\r\n")
            << "dbCustPhone"
            << "(225)555-0100"
            << "Phone: 2255550111";
        QTest::newRow("e-mail with attach=")
            << QByteArray("EMAIL:a@b.example?attach=~/.ssh/id_rsa\r\n") << "dbCustEmail"
            << ""
            << "E-mail: a@b.example?attach=~/.ssh/id_rsa";
        QTest::newRow("e-mail with two @") << QByteArray("EMAIL:a@b@c.example\r\n") << "dbCustEmail"
                                           << ""
                                           << "E-mail: a@b@c.example";
        QTest::newRow("e-mail with a blank")
            << QByteArray("EMAIL:a b@c.example\r\n") << "dbCustEmail"
            << ""
            << "E-mail: a b@c.example";
        QTest::newRow("e-mail in brackets")
            << QByteArray("EMAIL:<a@c.example>\r\n") << "dbCustEmail"
            << ""
            << "E-mail: <a@c.example>";
        QTest::newRow("e-mail with &") << QByteArray("EMAIL:a&cc=x@c.example\r\n") << "dbCustEmail"
                                       << ""
                                       << "E-mail: a&cc=x@c.example";
        QTest::newRow("e-mail over its limit")
            << QByteArray("EMAIL:abcdefghijklmnopqrstuvwxyz@example.com\r\n") << "dbCustEmail"
            << ""
            << "E-mail: abcdefghijklmnopqrstuvwxyz@example.com";
        QTest::newRow("file URL") << QByteArray("URL:file:///etc/passwd\r\n") << "dbCustWebSite"
                                  << ""
                                  << "Web Site: file:///etc/passwd";
        QTest::newRow("javascript URL")
            << QByteArray("URL:javascript:alert(1)\r\n") << "dbCustWebSite"
            << ""
            << "Web Site: javascript:alert(1)";
        QTest::newRow("local path") << QByteArray("URL:/home/me/x.html\r\n") << "dbCustWebSite"
                                    << ""
                                    << "Web Site: /home/me/x.html";
        QTest::newRow("host without scheme")
            << QByteArray("URL:www.example.com/a\r\n") << "dbCustWebSite"
            << "www.example.com/a"
            << "";
        QTest::newRow("company one over")
            << QByteArray("ORG:Abcdefghijklmnopqrstuvwxy\xc3\xa9\r\n") << "dbCustCompany"
            << "Abcdefghijklmnopqrstuvwxy"
            << "Company Name: Abcdefghijklmnopqrstuvwxyé";
    }
    void fitsValuesIntoTheEditor() {
        QFETCH(QByteArray, lines);
        QFETCH(QString, column);
        QFETCH(QString, value);
        QFETCH(QString, notes);
        const ImportSummary summary = Import(Card30(lines));
        QCOMPARE(Column(1, column), value);
        QCOMPARE(Column(1, "dbCustNotes"), notes);
        // The summary names the contact whenever something went to the notes.
        QCOMPARE(summary.moved.size(), std::size_t(notes.isEmpty() ? 0 : 1));
        if (!notes.isEmpty())
            QVERIFY2(QString::fromStdString(summary.Text()).contains("moved to notes:\n  "),
                     summary.Text().c_str());
    }

    void readsOtherProgramsCsv_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("fields"); // of the first contact: "column=value;..."
        QTest::addColumn<QString>("notes");
        QTest::newRow("Google, old layout")
            << Layout(
                   kGoogleOld,
                   {{"Name=Ann Lee", "Given Name=Ann", "Family Name=Lee", "Notes=met at a fair",
                     "E-mail 1 - Type=* Work", "E-mail 1 - Value=ann@x.example",
                     "E-mail 2 - Value=ann@home.example", "Phone 1 - Value=225-555-0199",
                     "Address 1 - Formatted=1 Main St\nBaton Rouge", "Address 1 - Street=1 Main St",
                     "Address 1 - City=Baton Rouge", "Address 1 - Region=LA",
                     "Address 1 - Postal Code=70801", "Organization 1 - Name=Lee Co",
                     "Organization 1 - Title=CEO", "Website 1 - Value=lee.example"}})
            << "dbCustFirstName=Ann;dbCustLastName=Lee;dbCustEmail=ann@x.example;dbCustPhone=(225)"
               "555-0199;dbCustAddress=1 Main St;dbCustCtyStZp=Baton Rouge, LA 70801;dbCustCompany"
               "=Lee Co;dbCustWebSite=lee.example"
            << "met at a fair\r\nName: Ann Lee\r\nE-mail 1 - Type: * Work\r\nE-mail 2 - Value: "
               "ann@home.example\r\nAddress 1 - Formatted: 1 Main St\r\nBaton Rouge\r\n"
               "Organization 1 - Title: CEO";
        QTest::newRow("Google, new layout")
            << Layout(kGoogleNew, {{"First Name=Bo", "Last Name=Ng", "Organization Name=Ng Ltd",
                                    "E-mail 1 - Value=bo@ng.example", "Phone 1 - Value=2255550100",
                                    "Phone 2 - Value=225 555 0111", "Address 1 - Street=2 Elm Rd",
                                    "Address 1 - City=Austin", "Address 1 - Region=TX",
                                    "Address 1 - Postal Code=73301"},
                                   {"Last Name=Solo"}})
            << "dbCustCompany=Ng Ltd;dbCustEmail=bo@ng.example;dbCustPhone=(225)555-0100;"
               "dbCustAddress=2 Elm Rd;dbCustCtyStZp=Austin, TX 73301"
            << "Phone 2 - Value: 225 555 0111";
        QTest::newRow("Outlook")
            << Layout(kOutlook,
                      {{"First Name=Cy", "Last Name=Ruiz", "E-mail Address=cy@r.example",
                        "Home Phone=225 555 0124", "Business Phone=225.555.0123",
                        "Business Fax=2255550125", "Job Title=Owner", "Company=Ruiz & Sons",
                        "Business Street=9 Oak Ave", "Business City=Mobile", "Business State=AL",
                        "Business Postal Code=36602", "Home Street=1 Home Rd",
                        "Web Page=https://r.example/", "Notes=call mornings"}})
            << "dbCustCompany=Ruiz & Sons;dbCustEmail=cy@r.example;dbCustPhone=(225)555-0123;"
               "dbCustFax=(225)555-0125;dbCustAddress=9 Oak Ave;dbCustCtyStZp=Mobile, AL 36602;"
               "dbCustWebSite=https://r.example/"
            << "call mornings\r\nHome Phone: 225 555 0124\r\nJob Title: Owner\r\nHome Street: 1 "
               "Home Rd";
        QTest::newRow("Thunderbird")
            << Layout(kThunderbird,
                      {{"First Name=Ann", "Last Name=Lee", "Primary Email=ann@x.example",
                        "Organization=Lee Co", "Work Phone=225-555-0199", "Work Address=5 Bay St",
                        "Work Address 2=Suite 4", "Work City=Mobile", "Work State=AL",
                        "Work ZipCode=36602", "Home City=Daphne", "Birth Year=1980"}})
            << "dbCustEmail=ann@x.example;dbCustCompany=Lee Co;dbCustPhone=(225)555-0199;"
               "dbCustAddress=5 Bay St, Suite 4;dbCustCtyStZp=Mobile, AL 36602"
            << "Home City: Daphne\r\nBirth Year: 1980";
        QTest::newRow("a row longer than its header")
            << QByteArray("Company Name,Notes\r\nLong Co,hi,one,,three\r\n")
            << "dbCustCompany=Long Co"
            << "hi\r\nColumn 3: one\r\nColumn 5: three";
        QTest::newRow("UTF-16LE with its mark")
            << Utf16("First Name,Last Name\r\nJürgen,Müller\r\n", QStringConverter::Utf16LE,
                     "\xFF\xFE")
            << "dbCustFirstName=Jürgen;dbCustLastName=Müller"
            << "";
        // Passes once one-line fields keep only the first line of a value (ContactFitting).
        QTest::newRow("line break in a name")
            << QByteArray("First Name,Last Name\r\n\"Car\r\nol\",Ng\r\n") << "dbCustFirstName=Car"
            << "First Name: Car\r\nol";
    }
    void readsOtherProgramsCsv() {
        QFETCH(QByteArray, file);
        QFETCH(QString, fields);
        QFETCH(QString, notes);
        Import(file, "in.csv");
        for (const QString& f : fields.split(';'))
            QCOMPARE(Column(1, f.section('=', 0, 0)), f.section('=', 1));
        QCOMPARE(Column(1, "dbCustNotes"), notes);
    }

    void refusedCsvNamesWhatItRead_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown header")
            << QByteArray("Vorname,Nachname,Firma,Strasse,Ort,PLZ,Land,Telefon,Mobil\r\nA,B\r\n")
            << "Read as UTF-8, its first row names no column this program knows: \"Vorname\", "
               "\"Nachname\", \"Firma\", \"Strasse\", \"Ort\", \"PLZ\", \"Land\", "
               "\"Telefon\", ….";
        QTest::newRow("UTF-16BE without a mark")
            << Utf16("Nom,Prénom\r\nA,B\r\n", QStringConverter::Utf16BE, "")
            << "Read as UTF-16BE, its first row names no column this program knows: \"Nom\", "
               "\"Prénom\".";
    }
    void refusedCsvNamesWhatItRead() {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        try {
            Import(file, "in.csv");
            QFAIL("the import went through");
        } catch (const EContactFileError& e) {
            QVERIFY2(QString(e.what()).endsWith(message), e.what());
        }
        QCOMPARE(Column(1, "COUNT(*)"), "0");
    }

    // Counts by kind, then twenty names in the order of the file and how many more.
    void summaryCountsKindsAndCutsNames() {
        QList<QStringList> rows;
        QString names;
        for (int i = 1; i <= 25; ++i) {
            const QString name = QString("Co%1").arg(i, 2, 10, QChar('0'));
            rows << QStringList{"Organization=" + name, "Work Phone=12345"};
            if (i <= 3)
                rows.last() << (i < 3 ? "Primary Email=a@b@c.example"
                                      : "Primary Email=abcdefghijklmnopqrstuvwxyz@example.com");
            if (i == 4)
                rows.last() << "Birth Year=1980";
            if (i <= 20)
                names += "\n  " + name;
        }
        rows << QStringList{"Last Name=Abcdefghijklmnopqrstuvwxyz"};
        const ImportSummary summary = Import(Layout(kThunderbird, rows), "in.csv");
        QCOMPARE(QString::fromStdString(summary.Text()),
                 "Imported 26 contacts, 0 skipped as already present, 26 with values moved to "
                 "notes\n  25 phone numbers that do not fit the mask moved to notes\n  2 e-mail "
                 "addresses that are not plain addresses moved to notes\n  2 values too long for "
                 "their field kept whole in the notes\n  1 value with no field of its own moved "
                 "to notes\nContacts with values moved to notes:" +
                     names + "\n  and 6 more");
    }

    void refusedFileChangesNothing_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("binary garbage") << QByteArray("\x7f"
                                                      "ELF\x02\x01\x01\0\0\0garbage",
                                                      17)
                                        << "in.vcf"
                                        << "neither a vCard";
        QTest::newRow("truncated card") << kCard21.left(kCard21.size() - 12) << "in.vcf"
                                        << "cut short";
        QTest::newRow("plain text") << QByteArray("Dear Sir,\nplease find\n") << "in.vcf"
                                    << "neither a vCard";
        QTest::newRow("empty") << QByteArray() << "in.vcf"
                               << "empty";
        QTest::newRow("line outside a card") << kCard40 + "NOTE:stray\r\n"
                                             << "in.vcf"
                                             << "not part of a contact card";
        QTest::newRow("unterminated quote")
            << QByteArray("Company Name,Notes\r\nA,\"open\r\n") << "in.csv"
            << "cut short";
        // No size limit: the format is told from the start, and a file of zero bytes is none.
        QTest::newRow("100 MB") << QByteArray() << "big.vcf"
                                << "neither a vCard";
    }
    void refusedFileChangesNothing() {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        QFETCH(QString, message);
        Import(kCard30);
        const QByteArray before = FileBytes(home_->dbPath());
        file_ = home_->path() + "/" + name;
        WriteFile(file_, file);
        if (name == "big.vcf") {
            QFile big(file_);
            QVERIFY(big.resize(100 * 1000 * 1000));
        }
        try {
            TAddressBook(Db()).Import(QFile::encodeName(file_).toStdString());
            QFAIL("the import went through");
        } catch (const EContactFileError& e) {
            QVERIFY2(QString(e.what()).contains(message), e.what());
        }
        QCOMPARE(FileBytes(home_->dbPath()), before);
    }

    void failedImportUndoesAll_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("a statement fails") << false;
        QTest::newRow("cancelled") << true;
    }
    void failedImportUndoesAll() {
        QFETCH(bool, cancel);
        Import(kCard30);
        // The third contact of the file cannot be stored.
        RawDb(home_->dbPath())
            .mustExec("CREATE TRIGGER boom BEFORE INSERT ON Customers WHEN "
                      "NEW.dbCustCompany='Lee Holdings' BEGIN SELECT RAISE(ABORT,'boom'); END;");
        const QByteArray before = FileBytes(home_->dbPath());
        WriteFile(home_->path() + "/in.vcf", kCard21 + kCard40);
        CancelAfterTwo cancelAfterTwo;
        try {
            const ImportSummary s =
                TAddressBook(Db()).Import(QFile::encodeName(home_->path() + "/in.vcf").toStdString(),
                                          cancel ? &cancelAfterTwo : nullptr);
            QVERIFY(cancel && s.cancelled);
        } catch (const std::exception& e) {
            QVERIFY2(!cancel && QString(e.what()).contains("boom"), e.what());
        }
        QCOMPARE(FileBytes(home_->dbPath()), before);
        QVERIFY(!QFile::exists(home_->dbPath() + "-journal"));
    }

    void reimportAddsNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("vCard") << "book.vcf";
        QTest::newRow("CSV") << "book.csv";
    }
    void reimportAddsNothing() {
        QFETCH(QString, name);
        Import(kCard21 + kCard30 + kCard40 + LinkedExtras(3));
        // Nobody to call them by but an e-mail address or a phone number.
        RawDb(home_->dbPath())
            .mustExec("INSERT INTO Customers(dbCustEmail,dbExtraEmail1,dbExtraPhone2) "
                      "VALUES('only@mail.example','x@mail.example','(225)555-0177');"
                      "INSERT INTO Customers(dbCustPhone) VALUES('(225)555-0166');");
        const QString path = home_->path() + "/" + name;
        TAddressBook(Db()).Export(QFile::encodeName(path).toStdString());
        if (name.endsWith(".vcf"))
            QVERIFY2(VobjectDisagreement(path, home_->dbPath()).isEmpty(),
                     qPrintable(VobjectDisagreement(path, home_->dbPath())));
        const ImportSummary again = TAddressBook(Db()).Import(QFile::encodeName(path).toStdString());
        QCOMPARE(again.imported, std::size_t(0));
        QCOMPARE(again.skipped, std::size_t(7));
        QCOMPARE(Column(1, "COUNT(*)"), "7");
    }

    void exportFoldsWithoutSplittingCharacters() {
        RawDb(home_->dbPath())
            .mustExec("INSERT INTO Customers(dbCustCompany,dbCustNotes) VALUES('Fold Co','x" +
                      QString(120, QChar(0x00e4)) + QString(40, QChar(0x20ac)) + "');");
        const QString path = home_->path() + "/fold.vcf";
        TAddressBook(Db()).Export(QFile::encodeName(path).toStdString());
        const QByteArray bytes = FileBytes(path);
        QVERIFY(bytes.endsWith("\r\n"));
        for (const QByteArray& line : bytes.split('\n')) {
            QVERIFY2(line.isEmpty() || line.endsWith('\r'), line.constData());
            QVERIFY2(line.size() <= 76, line.constData()); // 75 octets and the CR
            QVERIFY2(QString::fromUtf8(line).toUtf8() == line, line.constData());
        }
        QVERIFY(bytes.contains("\r\n "));
    }

    void failedExportKeepsTheOldFile_data() {
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("book unreadable") << false;
        QTest::newRow("disk full while writing") << true;
    }
    void failedExportKeepsTheOldFile() {
        QFETCH(bool, diskFull);
        Import(kCard21 + kCard30 + kCard40);
        const QString path = home_->path() + "/keep.vcf";
        WriteFile(path, "old good file");
        if (!diskFull)
            QFile::remove(home_->dbPath());
        // A file-size limit makes every write past 600 bytes fail, as a full disk would.
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = diskFull ? 600 : old.rlim_cur;
        setrlimit(RLIMIT_FSIZE, &small);
        bool failed = false;
        try {
            TAddressBook(Db()).Export(QFile::encodeName(path).toStdString());
        } catch (const std::exception&) {
            failed = true;
        }
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(failed);
        QCOMPARE(FileBytes(path), QByteArray("old good file"));
        QCOMPARE(QDir(home_->path()).entryList({"keep*"}, QDir::Files), QStringList{"keep.vcf"});
    }

    void exportRefusesTheAddressBook_data() {
        QTest::addColumn<QString>("target"); // "@": the data folder, "~": HOME, with links into it
        QTest::newRow("the book") << "@/Vellicard.db";
        QTest::newRow("the book, spelt otherwise") << "@/../Vellicard2//./Vellicard.db";
        QTest::newRow("its journal, not there") << "@/Vellicard.db-journal";
        QTest::newRow("a link to the book") << "~/book.lnk";
        QTest::newRow("a link to its log, not there") << "~/log.lnk";
    }
    void exportRefusesTheAddressBook() {
        QFETCH(QString, target);
        target.replace('@', home_->dataFolder()).replace('~', home_->path());
        QVERIFY(QFile::link(home_->dbPath(), home_->path() + "/book.lnk") &&
                QFile::link(home_->dbPath() + "-wal", home_->path() + "/log.lnk"));
        const QByteArray book = FileBytes(home_->dbPath());
        const QStringList files = QDir(home_->dataFolder()).entryList(QDir::Files | QDir::Hidden);
        QVERIFY_THROWS_EXCEPTION(EContactFileError,
                                 TAddressBook(Db()).Export(QFile::encodeName(target).toStdString()));
        QCOMPARE(FileBytes(home_->dbPath()), book);
        QCOMPARE(QDir(home_->dataFolder()).entryList(QDir::Files | QDir::Hidden), files);
    }
};

QTEST_GUILESS_MAIN(TestContactFiles)
#include "test_contactfiles.moc"

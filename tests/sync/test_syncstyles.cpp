// A desk's change to a card another program wrote, on real servers (radicale, xandikos): the
// card the server holds afterwards differs from the one before in the changed field's
// properties only, whichever program wrote it and whatever another client did meanwhile.

#include "interchange/ContactMerge.h"
#include "interchange/SyncCards.h"
#include "interchange/VCardParser.h"
#include "model/ContactColumns.h"
#include "tests/common/CardStyles.h"
#include "tests/sync/SyncDesk.h"

#include <QtTest>

#include <map>
#include <memory>

namespace {

// The card as that program would put it on a server: radicale takes no card without a UID.
QByteArray WithUid(const std::string& card) {
    QByteArray text = QByteArray::fromStdString(card);
    if (!text.contains("\nUID:")) {
        const QByteArray end = text.contains("\r\n") ? "\r\n" : "\n";
        text.insert(text.indexOf(end, text.indexOf("VERSION:")) + end.size(),
                    "UID:style-" + QByteArray::number(qHash(text)) + end);
    }
    return text;
}

// A content line as written, unfolded: "item4.ADR;type=WORK" and its value.
struct Line {
    QString name, head, value;
    bool operator==(const Line& o) const { return head == o.head && value == o.value; }
};

// The card's lines but REV, which tells the time of the last change.
QList<Line> Lines(const QByteArray& card) {
    QList<Line> lines;
    for (const VCardLine& line : SplitCardLines(card.toStdString())) {
        Line l{QString::fromStdString(line.property.name), QString::fromStdString(line.head),
               QString::fromStdString(line.property.value)};
        for (const std::string& parameter : line.parameters)
            l.head += ";" + QString::fromStdString(parameter);
        if (!line.head.empty() && l.name != "REV")
            lines << l;
    }
    return lines;
}

// Whether `after` is `before` with one line of the property written anew, in place of one
// (its group and parameters kept) or added, and every other line the same in the same order.
bool OneLineChanged(const QByteArray& before, const QByteArray& after, const QString& name) {
    const QList<Line> was = Lines(before), now = Lines(after);
    qsizetype head = 0, tail = 0;
    while (head < was.size() && head < now.size() && was[head] == now[head])
        ++head;
    while (tail < was.size() - head && tail < now.size() - head &&
           was[was.size() - 1 - tail] == now[now.size() - 1 - tail])
        ++tail;
    const qsizetype gone = was.size() - head - tail, came = now.size() - head - tail;
    return came == 1 && now[head].name == name &&
           (gone == 0 || (gone == 1 && was[head].head == now[head].head));
}

ContactValues Read(const QByteArray& card) {
    ContactValues values;
    if (!ValuesOfCards({card.toStdString()}, &values))
        qFatal("no contact in the card");
    return values;
}

// Whether `now` is `was` with the column set to `value`. The notes may only lose lines: those
// the reading moved there from a value the change replaced.
bool ChangedOnly(const ContactValues& was, const ContactValues& now, int column,
                 const std::string& value) {
    for (int i = 0; i < kDataColumns; ++i) {
        const bool notes = i != column && ContactColumnTable()[i].type == FieldType::Notes;
        const QStringList lines = QString::fromStdString(was[i]).split("\r\n");
        for (const QString& line : QString::fromStdString(now[i]).split("\r\n"))
            if (notes && !lines.contains(line))
                return false;
        if (!notes && now[i] != (i == column ? value : was[i]))
            return false;
    }
    return true;
}

// The card with another birthday, as another client changes it.
QByteArray NewBirthday(QByteArray card) {
    const QByteArray end = card.contains("\r\n") ? "\r\n" : "\n";
    const int at = card.indexOf("\nBDAY");
    if (at < 0)
        return card.insert(card.indexOf("END:VCARD"), "BDAY:19910203" + end);
    const int colon = card.indexOf(':', at) + 1;
    return card.replace(colon, card.indexOf(end, colon) - colon, "19910203");
}

void StyleRows(const std::function<void(const QString&, const char*, const QByteArray&)>& add) {
    const std::pair<const char*, const std::string*> styles[] = {
        {"iPhone", &kIPhone}, {"Google", &kGoogle}, {"Nextcloud", &kNextcloud}};
    for (const QString& server : ServerNames())
        for (const auto& [name, card] : styles)
            add(server, name, WithUid(*card));
}

// The server's address book as another client sees it.
struct OtherClient {
    TDavClient client;
    explicit OtherClient(const DavTestServer& server)
        : client(server.url("/"), server.user(), server.password()) {
        client.Discover();
    }
    DavCard Get(const QString& href) { return client.Multiget({href}).value(0); }
    QString Put(const QByteArray& card) {
        const QString href = client.NewHref(QString::fromStdString(Read(card)[col::LastName]));
        client.PutNew(href, card);
        return href;
    }
};

} // namespace

class TestSyncStyles : public QObject {
    Q_OBJECT
    std::unique_ptr<DavTestServer> server_;
    QTemporaryDir dir_;
    int books_ = 0;

    QString NewBookPath() { return dir_.filePath(QString("desk%1.db").arg(++books_)); }
    SyncSummary SyncNow(const Desk& desk) { return ::SyncNow(*server_, desk); }

private slots:
    void init() {
        server_ = StartDavServer(RowServer());
        QVERIFY2(server_->error().isEmpty(), qPrintable(server_->error()));
    }
    void cleanup() { server_.reset(); }

    // One field changed on the desk: the server's card keeps every other property as the
    // other program wrote it (text, parameters, groups, order), and the changed one's group
    // and parameters; REV, where the card has one, tells the time of the change.
    void oneFieldChanged_data() {
        AddServerColumn();
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("property");
        StyleRows([](const QString& server, const char* style, const QByteArray& card) {
            QTest::addRow("%s %s street", qPrintable(server), style)
                << server << card << int(col::Address) << "9 Elm Rd" << "ADR";
            QTest::addRow("%s %s phone", qPrintable(server), style)
                << server << card << int(col::Phone) << "(775)555-0199" << "TEL";
        });
    }
    void oneFieldChanged() {
        QFETCH(QByteArray, card);
        QFETCH(int, column);
        QFETCH(QString, value);
        QFETCH(QString, property);
        OtherClient other(*server_);
        const QString href = other.Put(card);
        const QByteArray before = other.Get(href).vcard; // as this server keeps it
        Desk desk(NewBookPath());
        SyncNow(desk);
        const ContactValues was = Read(before);
        const LocalContact contact = desk.Find(col::LastName, was[col::LastName]);
        QVERIFY(contact.values == was);
        desk.Set(contact.row, column, value.toStdString());
        QCOMPARE(SyncNow(desk).sent, 1);

        const QByteArray after = other.Get(href).vcard;
        QVERIFY2(OneLineChanged(before, after, property), after.constData());
        QVERIFY2(ChangedOnly(was, Read(after), column, value.toStdString()), after.constData());
        QVERIFY(desk.Find(col::LastName, was[col::LastName]).values == Read(after));
    }

    // Another client changes the birthday while the desk changes the company: the server's
    // card holds both, and nothing else changed.
    void changedOnBothSides_data() {
        AddServerColumn();
        QTest::addColumn<QByteArray>("card");
        StyleRows([](const QString& server, const char* style, const QByteArray& card) {
            QTest::addRow("%s %s", qPrintable(server), style) << server << card;
        });
    }
    void changedOnBothSides() {
        QFETCH(QByteArray, card);
        OtherClient other(*server_);
        const QString href = other.Put(card);
        Desk desk(NewBookPath());
        SyncNow(desk);
        const DavCard before = other.Get(href);
        other.client.PutChanged(href, NewBirthday(before.vcard), before.etag);
        const QByteArray theirs = other.Get(href).vcard;
        QVERIFY(theirs.contains("BDAY") && theirs.contains("19910203"));
        const std::string last = Read(before.vcard)[col::LastName];
        desk.Set(desk.Find(col::LastName, last).row, col::Company, "Globex Ltd");
        SyncNow(desk);

        const QByteArray after = other.Get(href).vcard;
        QVERIFY2(OneLineChanged(theirs, after, "ORG"), after.constData());
        QVERIFY2(ChangedOnly(Read(theirs), Read(after), col::Company, "Globex Ltd"),
                 after.constData());
        QVERIFY(desk.Find(col::LastName, last).values == Read(after));
    }

    // Two desks have changed two of the samples when a third starts: it takes their changes
    // instead of its own copies, sends only the contacts it added, and doubles nothing.
    void lateDeskDoublesNothing_data() { Servers(); }
    void lateDeskDoublesNothing() {
        Desk a(NewBookPath()), b(NewBookPath()), c(NewBookPath());
        SyncNow(a);
        SyncNow(b);
        a.Set(a.Find(col::Company, "Janes Place").row, col::Address, "1 New Street");
        b.Set(b.Find(col::Company, "Joes Bar and Grill").row, col::Phone, "(225)999-0000");
        SyncNow(a);
        SyncNow(b);
        ContactValues added;
        for (int i = 0; i < kDataColumns; ++i)
            added[i] = EmptyValueOf(ContactColumnTable()[i].type);
        for (const char* company : {"Kay Engines", "Lee Co"}) {
            added[col::Company] = company;
            TAddressBook(c.path).Save(added, std::string());
        }
        QCOMPARE(SyncNow(c).sent, 2);

        std::map<QString, int> names; // every card by its FN and ORG
        OtherClient other(*server_);
        for (const DavCard& card : other.client.Multiget(other.client.ListEtags().keys())) {
            const std::vector<VCard> read = ParseVCards(card.vcard.toStdString());
            const VCardProperty *fn = read.at(0).First("FN"), *org = read.at(0).First("ORG");
            ++names[QString::fromStdString(fn->value + "|" + (org ? org->value : ""))];
        }
        QCOMPARE(names.size(), std::size_t(10 + 2)); // the samples' ten cards, C's two
        for (const auto& [name, count] : names)
            QVERIFY2(count == 1, qPrintable(name));
        QCOMPARE(c.Contacts().size(), std::size_t(5));
        QCOMPARE(QString::fromStdString(c.Find(col::Company, "Janes Place").values[col::Address]),
                 QString("1 New Street"));
        QCOMPARE(QString::fromStdString(c.Find(col::Company, "Joes Bar and Grill").values[col::Phone]),
                 QString("(225)999-0000"));
        QCOMPARE(SyncNow(c).sent + SyncNow(a).sent + SyncNow(b).sent, 0);
    }

    // A phone's two cards of one person, merged on one desk: undone before a sync, the sync
    // sends nothing; done, the other desk ends with one contact, whose card on the server took
    // the other card's photo and birthday; undone after the sync, the other card comes back
    // byte for byte.
    void mergeTravels_data() { Servers(); }
    void mergeTravels() {
        OtherClient other(*server_);
        other.Put("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:ann-1\r\nFN:Ann Lee\r\nN:Lee;Ann;;;\r\n"
                  "EMAIL;TYPE=INTERNET:ann@lee.example\r\nEND:VCARD\r\n");
        const QByteArray photo = "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAMCAg"
                                 "\r\n MDAgIDAwMDBAMDBAUIBQUEBAUKBwcGCAwKDAwLCgsLDQ4SEA0OEQ4LCxAW\r\n";
        const QByteArray original = other.Get(other.Put(
            "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:ann-2\r\nFN:ANN LEE\r\nN:LEE;ANN;;;\r\n"
            "ORG:Lee Bakery\r\nEMAIL:Ann@Lee.example\r\nBDAY:1980-04-05\r\n" + photo +
            "END:VCARD\r\n")).vcard;
        Desk a(NewBookPath()), b(NewBookPath());
        SyncNow(a);
        SyncNow(b);
        const LocalContact first = a.Find(col::LastName, "Lee"), second = a.Find(col::LastName, "LEE");
        const ContactValues merged = MergeDuplicates(
            first.values, second.values, PreselectedForMerge(first.values, second.values));
        TAddressBook(a.path).UndoMerge(TAddressBook(a.path).MergeDuplicates(first.row, second.row, merged));
        const SyncSummary undone = SyncNow(a);
        QCOMPARE(undone.sent + undone.deleted, 0);

        const std::int64_t merge = TAddressBook(a.path).MergeDuplicates(first.row, second.row, merged);
        const SyncSummary sent = SyncNow(a);
        QCOMPARE(sent.sent + sent.deleted, 2);
        SyncNow(b);
        int lees = 0;
        for (const LocalContact& c : b.Contacts())
            lees += QString::fromStdString(c.values[col::LastName]).toLower() == "lee";
        QCOMPARE(lees, 1);
        QCOMPARE(b.Find(col::LastName, "Lee").values[col::Company], std::string("Lee Bakery"));
        int cards = 0;
        for (const DavCard& card : other.client.Multiget(other.client.ListEtags().keys())) {
            const VCard read = ParseVCards(card.vcard.toStdString()).at(0);
            if (read.First("N")->value.rfind("Lee;", 0) != 0 && read.First("N")->value.rfind("LEE;", 0) != 0)
                continue;
            ++cards;
            QVERIFY2(read.First("PHOTO") && read.First("BDAY"), card.vcard.constData());
            QCOMPARE(read.First("PHOTO")->value, ParseVCards(("BEGIN:VCARD\r\nVERSION:3.0\r\n" + photo +
                                                "END:VCARD\r\n").toStdString()).at(0).First("PHOTO")->value);
            QCOMPARE(read.First("BDAY")->value, std::string("1980-04-05"));
        }
        QCOMPARE(cards, 1);
        QCOMPARE(SyncNow(a).sent + SyncNow(b).sent, 0);

        // Undone after the sync: the other card is made again as the phone wrote it.
        TAddressBook(a.path).UndoMerge(merge);
        QCOMPARE(SyncNow(a).sent, 2);
        SyncNow(b);
        QVERIFY(b.Find(col::LastName, "LEE").values == second.values);
        QByteArray again;
        for (const DavCard& card : other.client.Multiget(other.client.ListEtags().keys()))
            if (card.vcard.contains("UID:ann-2"))
                again = card.vcard;
        QCOMPARE(again, original);
        QCOMPARE(SyncNow(a).sent + SyncNow(b).sent, 0);
    }

    // Another program's card merged into a contact typed on the desk: the desk's new card takes
    // what the other told that no field holds (a picture in the card's own form), and nothing of
    // a group, whose label would name something else here.
    void mergeCarriesOtherPrograms_data() {
        AddServerColumn();
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<QStringList>("carried");
        const QStringList iPhone{"TITLE", "NICKNAME", "BDAY", "X-SOCIALPROFILE", "CATEGORIES", "PHOTO"};
        StyleRows([&](const QString& server, const char* style, const QByteArray& card) {
            QTest::addRow("%s %s", qPrintable(server), style)
                << server << card
                << (style == QString("iPhone")   ? iPhone
                    : style == QString("Google") ? QStringList{"NICKNAME", "IMPP"}
                                                 : QStringList{"GENDER", "LANG", "ANNIVERSARY", "PHOTO"});
        });
    }
    void mergeCarriesOtherPrograms() {
        QFETCH(QByteArray, card);
        QFETCH(QStringList, carried);
        OtherClient other(*server_);
        // As this server keeps it: radicale drops a 4.0 data: URI's picture after its comma.
        const bool picture = other.Get(other.Put(card)).vcard.contains("/9j/4AAQSkZJRgABAQ");
        Desk a(NewBookPath());
        SyncNow(a);
        const LocalContact second = a.Find(col::LastName, Read(card)[col::LastName]);
        ContactValues typed;
        for (int i = 0; i < kDataColumns; ++i)
            typed[i] = EmptyValueOf(ContactColumnTable()[i].type);
        for (int column : {int(col::LastName), int(col::Email)})
            typed[column] = second.values[column];
        const std::int64_t first = std::stoll(TAddressBook(a.path).Save(typed, std::string()));
        TAddressBook(a.path).MergeDuplicates(
            first, second.row, MergeDuplicates(typed, second.values, PreselectedForMerge(typed, second.values)));
        SyncNow(a);
        QByteArray kept;
        for (const DavCard& c : other.client.Multiget(other.client.ListEtags().keys()))
            if (QString::fromStdString(Read(c.vcard)[col::LastName]) == QString::fromStdString(typed[col::LastName]))
                kept = kept.isEmpty() ? c.vcard : "two cards";
        const VCard read = ParseVCards(kept.toStdString()).at(0);
        for (const QString& name : carried)
            QVERIFY2(read.First(name.toStdString().c_str()), qPrintable(name + " missing in " + kept));
        QVERIFY2(!picture || read.First("PHOTO")->value.find("/9j/4AAQSkZJRgABAQ") != std::string::npos,
                 kept.constData());
        for (const VCardProperty& p : read.properties)
            QVERIFY2(p.group.empty(), kept.constData());
        QVERIFY(a.Find(col::LastName, typed[col::LastName]).values == Read(kept));
        QCOMPARE(SyncNow(a).sent, 0);
    }
};

QTEST_MAIN(TestSyncStyles)
#include "test_syncstyles.moc"

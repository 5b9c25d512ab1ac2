// A card written back by patching: a changed field replaces its own properties only, and what
// phones and other programs wrote stays byte for byte.
#include "CardPatch.h"
#include "ContactColumns.h"
#include "SyncStore.h"
#include "TextCodec.h"
#include "VCardParser.h"

#include <QtTest>
#include <cctype>
#include <map>

namespace {

const std::string kIPhone =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//iPhone OS 17.2//EN\r\n"
    "N:Featherstonehaugh;Maximiliana Alexandra;;Dr.;\r\n"
    "FN:Dr. Maximiliana Alexandra Featherstonehaugh\r\nORG:Northwind Traders;Logistics\r\n"
    "TITLE:Head of Logistics\r\nNICKNAME:Maxi\r\n"
    "EMAIL;type=INTERNET;type=WORK;type=pref:max@northwind.example\r\n"
    "item1.EMAIL;type=INTERNET:maxi.f@mail.example\r\nitem1.X-ABLabel:_$!<Other>!$_\r\n"
    "item2.TEL:+44 20 7946 0958\r\nitem2.X-ABLabel:London\r\n"
    "TEL;type=CELL;type=VOICE;type=pref:(512) 555-0101\r\nTEL;type=WORK;type=VOICE:512-555-0102\r\n"
    "item3.TEL;type=WORK;type=FAX:512.555.0103\r\nitem3.X-ABLabel:office fax\r\n"
    "TEL;type=HOME;type=FAX:512 555 0104\r\n"
    "item4.ADR;type=WORK;type=pref:;;1 Infinite Loop\\nBuilding 2;Austin;TX;78701;United States\r\n"
    "item4.X-ABADR:us\r\nitem5.ADR;type=HOME:;;42 Elm St;Round Rock;TX;78664;\r\n"
    "NOTE:Met at the trade fair in Berlin. Prefers calls before noon\\, Central ti\r\n me.\r\n"
    "item6.URL;type=pref:https://northwind.example\r\nitem6.X-ABLabel:_$!<HomePage>!$_\r\n"
    "BDAY;value=date:1980-04-12\r\nitem7.X-ABDATE;type=pref:2010-06-01\r\n"
    "item7.X-ABLabel:_$!<Anniversary>!$_\r\n"
    "X-SOCIALPROFILE;type=twitter:https://twitter.com/maxi\r\nCATEGORIES:Suppliers,VIP\r\n"
    "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLDB\r\n"
    " kSEx8dGhkeHy0gIx4dHCAlNT0=\r\nEND:VCARD\r\n";
const char kIPhoneNote[] = "Met at the trade fair in Berlin. Prefers calls before noon, Central time.";

const std::string kGoogle =
    "BEGIN:VCARD\nVERSION:3.0\nN:Okafor;Chidi;;;\nFN:Chidi Okafor\nNICKNAME:Chid\n"
    "X-PHONETIC-LAST-NAME:oh-KAH-for\nEMAIL;TYPE=INTERNET;TYPE=HOME:chidi.okafor@gmail.example\n"
    "TEL;TYPE=CELL:+1 713 555 0142\nADR;TYPE=HOME:;;12 Bayou Ln;Houston;TX;77002;USA\n"
    "ORG:Okafor Consulting\nIMPP;X-SERVICE-TYPE=Skype:skype:chidi.okafor\n"
    "X-ANDROID-CUSTOM:vnd.android.cursor.item/relation;Ada;1;;;;;;;;;;;;;\n"
    "URL:http://okafor.example\nNOTE:Call after 5\nREV:2024-03-11T10:15:00Z\nEND:VCARD\n";

const std::string kNextcloud =
    "BEGIN:VCARD\r\nVERSION:4.0\r\nPRODID:-//Sabre//Sabre VObject 4.5.4//EN\r\n"
    "UID:6c2a1e3e-0d9b-4b55-9b9a-2f1f0c5e6a01\r\nKIND:individual\r\nFN:Émilie Dubois\r\n"
    "N:Dubois;Émilie;;;\r\nGENDER:F\r\nLANG;PREF=1:fr-FR\r\nORG:Atelier Lumière;Design\r\n"
    "EMAIL;TYPE=work:mailto:emilie@atelier.example\r\n"
    "TEL;VALUE=uri;TYPE=work:tel:+1-555-555-0100\r\n"
    "TEL;VALUE=uri;TYPE=\"work,fax\":tel:+1-555-555-0101\r\n"
    "ADR;LABEL=\"12 Rue de la Paix\\n75002 Paris\\nFrance\";TYPE=work:;;12 Rue de la Paix;Paris;;\r\n"
    " 75002;France\r\nPHOTO:data:image/jpeg;base64,/9j/4AAQSkZJRgABAQ==\r\n"
    "ANNIVERSARY:20150620\r\nNOTE:Prefers e-mail.\r\nREV:20240311T101500Z\r\nEND:VCARD\r\n";

const std::string kOld =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Novak;Jan\r\nNOTE;ENCODING=QUOTED-PRINTABLE:Old=0D=0Anote\r\n"
    "END:VCARD\r\n";

// A contact's cards, the contact's own first; an extra person's card names its place.
struct Sample {
    const char* name;
    std::vector<std::string> cards;
};

const std::vector<Sample>& Samples() {
    static const std::vector<Sample> samples = [] {
        ContactValues v;
        for (int i = 0; i < kDataColumns; ++i)
            v[i] = EmptyValueOf(ContactColumnTable()[i].type);
        const char* own[] = {"Jane", "Roe", "Acme Tools", "5 Main St", "Springfield, IL 62701",
                             "jane@acme.example", "https://acme.example", "(217)555-0100",
                             "(217)555-0101", "Own note", "Sam Lee", "Buyer", "(217)555-0110",
                             "  123", "(217)555-0111", "sam@acme.example", "Likes tea"};
        for (int i = 0; i < 17; ++i)
            v[i] = own[i];
        std::vector<std::string> ownCards;
        for (const PersonCard& card : CardsOfContact(v, {}))
            ownCards.push_back(card.content);
        return std::vector<Sample>{{"iPhone", {kIPhone}}, {"Google", {kGoogle}},
                                   {"Nextcloud", {kNextcloud}}, {"own", ownCards},
                                   {"2.1", {kOld}}};
    }();
    return samples;
}

ContactValues Read(const std::vector<std::string>& cards) {
    ContactValues values;
    if (!ValuesOfCards(cards, &values))
        qFatal("no contact in the cards");
    return values;
}

std::vector<std::string> Patched(const Sample& s, const ContactValues& before,
                                 const ContactValues& after) {
    std::vector<std::string> out;
    for (std::size_t k = 0; k < s.cards.size(); ++k)
        out.push_back(PatchCard(s.cards[k], static_cast<int>(k), before, after));
    return out;
}

// The property names a field lives in (FN may stand in for a missing name).
QString PropertiesOf(int column) {
    const char* names[] = {"N FN", "N FN", "ORG FN", "ADR", "ADR", "EMAIL FN", "URL", "TEL FN",
                           "TEL", "NOTE", "N FN", "TITLE", "TEL FN", "TEL FN", "TEL", "EMAIL FN",
                           "NOTE"};
    return QString(" %1 REV ").arg(names[column]);
}

QStringList Lines(const std::string& notes) {
    return QString::fromStdString(notes).split("\r\n", Qt::SkipEmptyParts);
}

// The lines of `a` that `b` does not have, and those of `b` that `a` does not have; the lines
// both have must stand in the same order.
bool Diff(const std::string& a, const std::string& b, std::vector<VCardLine>* gone,
          std::vector<VCardLine>* came) {
    const std::vector<VCardLine> as = SplitCardLines(a), bs = SplitCardLines(b);
    std::map<std::string, int> inA, inB;
    for (const VCardLine& line : as)
        ++inA[line.raw];
    for (const VCardLine& line : bs)
        ++inB[line.raw];
    std::vector<std::string> keptA, keptB;
    for (const VCardLine& line : as)
        if (inB[line.raw]-- > 0)
            keptA.push_back(line.raw);
        else
            gone->push_back(line);
    for (const VCardLine& line : bs)
        if (inA[line.raw]-- > 0)
            keptB.push_back(line.raw);
        else
            came->push_back(line);
    return keptA == keptB;
}

bool HasProperty(const std::string& card, const std::string& name) {
    for (const VCardLine& line : SplitCardLines(card))
        if (line.property.name == name)
            return true;
    return false;
}

} // namespace

class TestCardPatch : public QObject {
    Q_OBJECT

private slots:
    void changesOnlyTheField_data() {
        QTest::addColumn<int>("sample");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("value");
        const char* set[] = {"Wilhelmina", "Ng", "Globex Ltd", "9 Elm Rd", "Reno, NV 89501",
                             "new@globex.example", "https://globex.example", "(775)555-0199",
                             "(775)555-0198", nullptr, "Kim Park", "Manager", "(775)555-0120",
                             "  456", "(775)555-0121", "kim@globex.example", nullptr};
        for (int s = 0; s < 4; ++s) {
            const ContactValues before = Read(Samples()[s].cards);
            for (int column = 0; column < (s == 3 ? 17 : 10); ++column) {
                const bool notes = column == col::Notes || column == col::ExtraColumn(1, col::XNotes);
                // Notes: the first line replaced, what the reading moved there after it kept.
                QStringList lines = Lines(before[column]) << "";
                lines[0] = "Typed note";
                lines.removeLast();
                const QString cleared = QString::fromStdString(EmptyValueOf(ContactColumnTable()[column].type));
                for (const QString& value : {notes ? lines.join("\r\n") : QString(set[column]), cleared}) {
                    if (value.toStdString() == before[column] || (notes && value == cleared))
                        continue;
                    QTest::addRow("%s %s %s", Samples()[s].name,
                                  ContactColumnTable()[column].name.c_str(),
                                  value == cleared ? "cleared" : "set")
                        << s << column << value;
                }
            }
        }
    }
    void changesOnlyTheField() {
        QFETCH(int, sample);
        QFETCH(int, column);
        QFETCH(QString, value);
        const Sample& s = Samples()[sample];
        const ContactValues before = Read(s.cards);
        ContactValues after = before;
        after[column] = value.toStdString();
        const std::vector<std::string> patched = Patched(s, before, after);
        bool changed = false, promoted = false;
        for (std::size_t k = 0; k < s.cards.size(); ++k) {
            std::vector<VCardLine> gone, came;
            QVERIFY(Diff(s.cards[k], patched[k], &gone, &came));
            // Only the field's own properties went or came, at most one of each name.
            std::map<std::string, int> names;
            for (auto [lines, sign] : {std::pair(&gone, "-"), std::pair(&came, "+")})
                for (const VCardLine& line : *lines) {
                    const QString name = QString::fromStdString(line.property.name);
                    QVERIFY2(PropertiesOf(column).contains(" " + name + " "), line.raw.c_str());
                    QVERIFY2(++names[sign + line.property.name] == 1, line.raw.c_str());
                }
            // A property removed where another of its kind is left: the reading takes that one.
            for (const VCardLine& line : gone)
                promoted |= !names.count("+" + line.property.name) &&
                            HasProperty(patched[k], line.property.name);
            changed = changed || patched[k] != s.cards[k];
        }
        QVERIFY(changed);
        const ContactValues back = Read(patched);
        for (int i = 0; i < kDataColumns; ++i) {
            const bool notes = ContactColumnTable()[i].type == FieldType::Notes;
            if (i == column && !(promoted && value == QString::fromStdString(EmptyValueOf(ContactColumnTable()[i].type))))
                QCOMPARE(QString::fromStdString(back[i]), value);
            else if (notes && i != column) // a value the field held whole in the notes goes with it
                for (const QString& line : Lines(back[i]))
                    QVERIFY2(Lines(before[i]).contains(line), qPrintable(line));
            else if (i != column)
                QCOMPARE(QString::fromStdString(back[i]), QString::fromStdString(before[i]));
        }
    }

    void writtenInTheCardsOwnForm_data() {
        QTest::addColumn<int>("sample");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected"); // in the patched card
        QTest::newRow("tel: URI") << 2 << int(col::Phone) << "(775)555-0199"
                                  << "\r\nTEL;VALUE=uri;TYPE=work:tel:+1-775-555-0199\r\nTEL;";
        QTest::newRow("mailto:") << 2 << int(col::Email) << "new@globex.example"
                                 << "\r\nEMAIL;TYPE=work:mailto:new@globex.example\r\n";
        QTest::newRow("before the fax that did not fit")
            << 2 << int(col::Fax) << "(775)555-0198"
            << "\r\nTEL;TYPE=WORK,FAX:(775)555-0198\r\nTEL;VALUE=uri;TYPE=work:tel:+1-555";
        QTest::newRow("before the phone that did not fit")
            << 0 << int(col::Phone) << "(775)555-0199"
            << "\r\nTEL;TYPE=WORK,VOICE:(775)555-0199\r\nitem2.TEL:+44 20 7946 0958\r\n";
        QTest::newRow("street; city, country, group kept")
            << 0 << int(col::Address) << "9 Elm Rd"
            << "\r\nitem4.ADR;type=WORK;type=pref:;;9 Elm Rd;Austin;TX;78701;United States\r\n";
        QTest::newRow("unit kept") << 2 << int(col::Company) << "Globex; Ltd"
                                   << "\r\nORG:Globex\\; Ltd;Design\r\n";
        QTest::newRow("line feeds") << 1 << int(col::Fax) << "(775)555-0198"
                                    << "\nTEL;TYPE=WORK,FAX:(775)555-0198\nTEL;TYPE=CELL:+1 713";
        QTest::newRow("extension") << 3 << col::ExtraColumn(1, col::XExt) << "  456"
                                   << "\r\nTEL;TYPE=WORK,VOICE:(217)555-0110 x456\r\n";
        QTest::newRow("2.1 line breaks")
            << 4 << int(col::Notes) << "Line one\r\nLine two"
            << "\r\nNOTE;ENCODING=QUOTED-PRINTABLE:Line one=0D=0ALine two\r\n";
    }
    void writtenInTheCardsOwnForm() {
        QFETCH(int, sample);
        QFETCH(int, column);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        const Sample& s = Samples()[sample];
        const ContactValues before = Read(s.cards);
        ContactValues after = before;
        after[column] = value.toStdString();
        const std::vector<std::string> patched = Patched(s, before, after);
        const std::string& card = patched[column >= kContactColumns];
        QVERIFY2(card.find(expected.toStdString()) != std::string::npos, card.c_str());
        QCOMPARE(QString::fromStdString(Read(patched)[column]), value);
        // REV: the time of the change, in the card's own shape.
        const std::size_t rev = s.cards[0].find("\nREV:");
        if (rev != std::string::npos) {
            const std::string was = s.cards[0].substr(rev, 22), now = card.substr(card.find("\nREV:"), 22);
            QVERIFY(was != now);
            for (std::size_t i = 0; i < was.size(); ++i)
                QCOMPARE(std::isdigit(now[i]) ? '0' : now[i], std::isdigit(was[i]) ? '0' : was[i]);
        }
    }

    void movedLinesStayOutOfNote_data() {
        QTest::addColumn<QString>("notes"); // on the desk
        QTest::addColumn<QString>("note");  // in the card's NOTE afterwards
        const QStringList block = Lines(Read({kIPhone})[col::Notes]).mid(1);
        QStringList nickGone = block, reversed, nickEdited = block;
        nickGone.removeAll("Nickname: Maxi");
        nickEdited.replaceInStrings("Nickname: Maxi", "Nickname: Max");
        for (const QString& line : block)
            reversed.prepend(line);
        QTest::newRow("note edited") << "New text\r\n" + block.join("\r\n") << "New text";
        QTest::newRow("a moved line removed") << kIPhoneNote + ("\r\n" + nickGone.join("\r\n"))
                                              << kIPhoneNote;
        QTest::newRow("moved lines reordered")
            << reversed.join("\r\n") + "\r\nNew text" << "New text";
        QTest::newRow("a moved line edited")
            << "New text\r\n" + nickEdited.join("\r\n") << "New text\r\nNickname: Max";
        QTest::newRow("cleared") << "" << "";
    }
    void movedLinesStayOutOfNote() {
        QFETCH(QString, notes);
        QFETCH(QString, note);
        const ContactValues before = Read({kIPhone});
        ContactValues after = before;
        after[col::Notes] = notes.toStdString();
        const std::string patched = PatchCard(kIPhone, 0, before, after);
        std::vector<VCardLine> gone, came;
        QVERIFY(Diff(kIPhone, patched, &gone, &came));
        for (const auto* lines : {&gone, &came})
            for (const VCardLine& line : *lines)
                QCOMPARE(line.property.name, std::string("NOTE"));
        const VCard card = ParseVCards(patched).front();
        const VCardProperty* p = card.First("NOTE");
        QCOMPARE(p ? QString::fromStdString(WithCrLfBreaks(UnescapeText(p->value, "3.0"))) : "", note);
    }

    void longMultilingualNoteFoldsWholeCharacters() {
        const std::string text = "会議は東京本社で行います。سيتم عقد الاجتماع في المكتب الرئيسي 🎉👩‍💻 "
                                 "Ünïcödé — 第二回目の打ち合わせ 😀😀😀 مرحبا بكم";
        const ContactValues before = Read({kGoogle});
        ContactValues after = before;
        after[col::Notes] = text + "\r\n" + text + before[col::Notes].substr(12);
        const std::string patched = PatchCard(kGoogle, 0, before, after);
        int folds = 0;
        for (const VCardLine& line : SplitCardLines(patched)) {
            if (line.property.name != "NOTE")
                continue;
            QCOMPARE(line.raw.find('\r'), std::string::npos); // the card's own line feeds
            for (const QByteArray& physical : QByteArray::fromStdString(line.raw).split('\n')) {
                QVERIFY(physical.size() <= 75);
                QVERIFY(IsValidUtf8(physical.toStdString()));
                ++folds;
            }
        }
        QVERIFY(folds > 4);
        QCOMPARE(QString::fromStdString(Read({patched})[col::Notes]),
                 QString::fromStdString(after[col::Notes]));
    }

    void unchangedCardStaysByteForByte() {
        for (const Sample& s : Samples()) {
            const ContactValues before = Read(s.cards);
            ContactValues after = before;
            after[col::ExtraColumn(3, col::XName)] = "Someone Else"; // another person's field
            QVERIFY(Patched(s, before, after) == s.cards);
            QVERIFY(Patched(s, before, before) == s.cards);
        }
    }
};

QTEST_APPLESS_MAIN(TestCardPatch)
#include "test_cardpatch.moc"

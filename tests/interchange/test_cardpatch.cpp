// A card written back by patching: a changed field replaces its own properties only, and what
// phones and other programs wrote stays byte for byte.
#include "interchange/CardPatch.h"
#include "interchange/ContactFitting.h"
#include "interchange/SyncCards.h"
#include "interchange/TextCodec.h"
#include "interchange/VCardParser.h"
#include "model/ContactColumns.h"
#include "tests/common/CardStyles.h"

#include <QtTest>
#include <cctype>
#include <map>

namespace {

const std::string kOld =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Novak;Jan\r\nNOTE;ENCODING=QUOTED-PRINTABLE:Old=0D=0Anote\r\n"
    "END:VCARD\r\n";

// A contact's cards, the contact's own first; an extra person's card names its place.
struct Sample {
    const char* name;
    std::vector<std::string> cards;
};

// Values as the editor saves them: the first columns given "|" apart, the others empty.
ContactValues Values(const char* joined) {
    const QStringList given = QString(joined).split('|');
    ContactValues v;
    for (int i = 0; i < kDataColumns; ++i)
        v[i] = i < given.size() ? given[i].toStdString() : "";
    return AsSaved(v);
}

std::vector<std::string> OwnCards(const ContactValues& v) {
    std::vector<std::string> cards;
    for (const PersonCard& card : CardsOfContact(v, {}))
        cards.push_back(card.content);
    return cards;
}

const std::vector<Sample>& Samples() {
    static const std::vector<Sample> samples = {
        {"iPhone", {kIPhone}},
        {"Google", {kGoogle}},
        {"Nextcloud", {kNextcloud}},
        {"own", OwnCards(Values("Jane|Roe|Acme Tools|5 Main St|Springfield, IL 62701|"
                                "jane@acme.example|https://acme.example|(217)555-0100|"
                                "(217)555-0101|Own note|Sam Lee|Buyer|(217)555-0110|123|"
                                "(217)555-0111|sam@acme.example|Likes tea"))},
        // A company without a person: FN stands in for the name.
        {"company", OwnCards(Values("||Initech|||info@initech.example"))},
        {"2.1", {kOld}}};
    return samples;
}

ContactValues Read(const std::vector<std::string>& cards) {
    ContactValues values;
    if (!ValuesOfCards(cards, &values))
        qFatal("no contact in the cards");
    return values;
}

// The sample's cards patched (each as the person in its place) for one field set to `value`.
struct Patch {
    ContactValues before, after;
    std::vector<std::string> cards;
    Patch(const Sample& s, int column, const std::string& value) : before(Read(s.cards)) {
        after = before;
        after[column] = value;
        for (std::size_t k = 0; k < s.cards.size(); ++k)
            cards.push_back(PatchCard(s.cards[k], static_cast<int>(k), before, after));
    }
};

// The property names a field lives in (FN may stand in for a missing name).
QString PropertiesOf(int column) {
    return " " +
           QString("N FN|N FN|ORG FN|ADR|ADR|EMAIL FN|URL|TEL FN|TEL|NOTE|N FN|TITLE|TEL FN|"
                   "TEL FN|TEL|EMAIL FN|NOTE")
               .split('|')[column] +
           " REV ";
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
    std::vector<std::string> keptA, keptB;
    for (const VCardLine& line : as)
        ++inA[line.raw];
    for (const VCardLine& line : bs)
        ++inB[line.raw];
    for (const VCardLine& line : as)
        inB[line.raw]-- > 0 ? keptA.push_back(line.raw) : gone->push_back(line);
    for (const VCardLine& line : bs)
        inA[line.raw]-- > 0 ? keptB.push_back(line.raw) : came->push_back(line);
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
    // Every field of every sample set and cleared: only its own properties change, and the
    // card reads back with that field changed and every other as before.
    void changesOnlyTheField_data() {
        QTest::addColumn<int>("sample");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("value");
        const QStringList set =
            QString("Wilhelmina|Ng|Globex Ltd|9 Elm Rd|Reno, NV 89501|new@globex.example|"
                    "https://globex.example|(775)555-0199|(775)555-0198||Kim Park|Manager|"
                    "(775)555-0120|  456|(775)555-0121|kim@globex.example|")
                .split('|');
        for (int s = 0; s < 5; ++s) {
            const ContactValues before = Read(Samples()[s].cards);
            for (int column = 0; column < (Samples()[s].cards.size() > 1 ? 17 : 10); ++column) {
                const ContactColumn& c = ContactColumnTable()[column];
                // Notes: the first line replaced, what the reading moved there after it kept.
                QStringList notes = Lines(before[column]);
                notes.isEmpty() ? notes.append("Typed note") : void(notes[0] = "Typed note");
                const QString cleared = QString::fromStdString(EmptyValueOf(c.type));
                const bool isNotes = c.type == FieldType::Notes;
                for (const QString& value : {isNotes ? notes.join("\r\n") : set[column], cleared})
                    if (value.toStdString() != before[column] && !(isNotes && value == cleared))
                        QTest::addRow("%s %s %s", Samples()[s].name, c.name.c_str(),
                                      value == cleared ? "cleared" : "set")
                            << s << column << value;
            }
        }
    }
    void changesOnlyTheField() {
        QFETCH(int, sample);
        QFETCH(int, column);
        QFETCH(QString, value);
        const Sample& s = Samples()[sample];
        const Patch patch(s, column, value.toStdString());
        bool changed = false, promoted = false;
        for (std::size_t k = 0; k < s.cards.size(); ++k) {
            std::vector<VCardLine> gone, came;
            QVERIFY(Diff(s.cards[k], patch.cards[k], &gone, &came));
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
                            HasProperty(patch.cards[k], line.property.name);
            changed |= patch.cards[k] != s.cards[k];
        }
        QVERIFY(changed);
        const ContactValues back = Read(patch.cards);
        const bool cleared = value.toStdString() == EmptyValueOf(ContactColumnTable()[column].type);
        for (int i = 0; i < kDataColumns; ++i) {
            if (i == column && !(promoted && cleared))
                QCOMPARE(QString::fromStdString(back[i]), value);
            else if (i != column && ContactColumnTable()[i].type == FieldType::Notes)
                // Lines can only go: a value the field held whole in the notes too goes with it.
                for (const QString& line : Lines(back[i]))
                    QVERIFY2(Lines(patch.before[i]).contains(line), qPrintable(line));
            else if (i != column)
                QCOMPARE(QString::fromStdString(back[i]), QString::fromStdString(patch.before[i]));
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
        QTest::newRow("2.1 line breaks")
            << 5 << int(col::Notes) << "Line one\r\nLine two"
            << "\r\nNOTE;ENCODING=QUOTED-PRINTABLE:Line one=0D=0ALine two\r\n";
        const QString text = "会議は東京本社で行います。سيتم عقد الاجتماع في المكتب الرئيسي "
                             "🎉👩‍💻 "
                             "Ünïcödé — 第二回目の打ち合わせ 😀😀😀 مرحبا بكم";
        QTest::newRow("long multilingual note")
            << 1 << int(col::Notes)
            << text + "\r\n" + text + QString::fromStdString(Read({kGoogle})[col::Notes]).mid(12)
            << "\nNOTE:会議は";
    }
    void writtenInTheCardsOwnForm() {
        QFETCH(int, sample);
        QFETCH(int, column);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        const Sample& s = Samples()[sample];
        const Patch patch(s, column, value.toStdString());
        const std::size_t k = column >= kContactColumns;
        const std::string& card = patch.cards[k];
        QVERIFY2(card.find(expected.toStdString()) != std::string::npos, card.c_str());
        QCOMPARE(QString::fromStdString(Read(patch.cards)[column]), value);
        // Folded within 75 octets without splitting a character, with the card's line ends.
        const char* lineEnd = s.cards[k].find('\r') == std::string::npos ? "\n" : "\r\n";
        std::vector<VCardLine> gone, came;
        QVERIFY(Diff(s.cards[k], card, &gone, &came));
        for (const VCardLine& line : came)
            for (const QString& physical : QString::fromStdString(line.raw).split(lineEnd)) {
                QVERIFY(physical.toUtf8().size() <= 75 && !physical.contains(QChar(0xFFFD)));
                QVERIFY(!physical.contains('\r') && !physical.contains('\n'));
            }
        // REV: the time of the change, in the card's own shape.
        const std::size_t rev = s.cards[k].find("\nREV:");
        if (rev != std::string::npos) {
            const std::string was = s.cards[k].substr(rev, 22),
                              now = card.substr(card.find("\nREV:"), 22);
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
        QTest::newRow("a moved line removed")
            << kIPhoneNote + ("\r\n" + nickGone.join("\r\n")) << kIPhoneNote;
        QTest::newRow("moved lines reordered") << reversed.join("\r\n") + "\r\nNew text"
                                               << "New text";
        QTest::newRow("a moved line edited")
            << "New text\r\n" + nickEdited.join("\r\n") << "New text\r\nNickname: Max";
        QTest::newRow("cleared") << ""
                                 << "";
    }
    void movedLinesStayOutOfNote() {
        QFETCH(QString, notes);
        QFETCH(QString, note);
        const Patch patch(Samples()[0], col::Notes, notes.toStdString());
        const VCard card = ParseVCards(patch.cards[0]).front();
        const VCardProperty* p = card.First("NOTE");
        QCOMPARE(p ? QString::fromStdString(UnescapeText(p->value, "3.0")) : "",
                 QString(note).replace("\r\n", "\n"));
        // Every other property stays, the moved values' own among them.
        QCOMPARE(card.properties.size(),
                 ParseVCards(kIPhone).front().properties.size() - note.isEmpty());
    }

    void unchangedCardStaysByteForByte() {
        for (const Sample& s : Samples()) {
            Patch other(s, col::ExtraColumn(3, col::XName), "Someone Else"); // another person's
            QVERIFY(other.cards == s.cards);
            QVERIFY(Patch(s, col::Company, Read(s.cards)[col::Company]).cards == s.cards);
        }
    }

    // What a merged contact's card takes from the other's: the properties no field holds that
    // it has none of, as written but for the line breaks.
    void carriedProperties_data() {
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("other");
        QTest::addColumn<QString>("added");
        const QString kept = "BEGIN:VCARD\nVERSION:3.0\nFN:A\nBDAY:2000-01-01\nEND:VCARD\n";
        QTest::newRow("photo and nickname")
            << kept << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:B\r\nNICKNAME:Bo\r\nPHOTO;ENCODING=b:AB\r\n CD\r\nEND:VCARD\r\n"
            << "NICKNAME:Bo\nPHOTO;ENCODING=b:AB\n CD\n";
        QTest::newRow("a birthday it has, a field, a group's") << kept
            << "BEGIN:VCARD\nVERSION:3.0\nFN:B\nBDAY:1999-01-01\nEMAIL:b@b.example\nitem1.IMPP:skype:b\nitem1.X-ABLabel:Work\nEND:VCARD\n" << "";
        QTest::newRow("an old base64 block")
            << kept << "BEGIN:VCARD\nVERSION:2.1\nPHOTO;ENCODING=BASE64:\n AB\n\nGENDER:F\nEND:VCARD\n"
            << "GENDER:F\n";
        QTest::newRow("a 4.0 picture into 3.0") << kept
            << "BEGIN:VCARD\nVERSION:4.0\nPHOTO:data:image/jpeg\\;base64\\,QUJD\nLOGO:https://x.example/l.png\nEND:VCARD\n"
            << "PHOTO;ENCODING=b;TYPE=JPEG:QUJD\nLOGO:https://x.example/l.png\n";
        QTest::newRow("a 3.0 picture into 4.0") << "BEGIN:VCARD\nVERSION:4.0\nEND:VCARD\n"
            << "BEGIN:VCARD\nVERSION:3.0\nPHOTO;ENCODING=b;TYPE=JPEG:QU\n JD\nEND:VCARD\n"
            << "PHOTO:data:image/jpeg;base64,QUJD\n";
        QTest::newRow("the same version's block") << "BEGIN:VCARD\nVERSION:2.1\nEND:VCARD\n"
            << "BEGIN:VCARD\nVERSION:2.1\nPHOTO;ENCODING=BASE64:\n AB\n\nEND:VCARD\n" << "PHOTO;ENCODING=BASE64:\n AB\n\n";
    }
    void carriedProperties() {
        QFETCH(QString, kept);
        QFETCH(QString, other);
        QFETCH(QString, added);
        const QString expected = QString(kept).replace("END:VCARD", added + "END:VCARD");
        QCOMPARE(QString::fromStdString(WithCarriedProperties(kept.toStdString(), {other.toStdString()})),
                 expected);
    }
};

QTEST_APPLESS_MAIN(TestCardPatch)
#include "test_cardpatch.moc"

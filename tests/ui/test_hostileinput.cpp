// Hostile text typed and pasted into the real window: quotes of both kinds, statement
// fragments, column names, format directives, control characters, letters from outside ASCII
// and very long pastes. Whatever a field accepts is stored byte for byte and comes back
// exactly; no text can change the statement it enters.
#include "tests/ui/FormDriver.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

const QString kEmoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // outside the 16-bit range

// Text for the single-line fields, one after another.
QStringList EditSamples() {
    return {
        "O'Brien \"Bob\" ''\"\"",
        "'); DROP TABLE Customers; --",
        "\"); DROP TABLE Customers; --",
        "dbCustLastName",
        "dbCustomer_ID",
        "100% %s %n %d %x %%s %1 %",
        QString::fromUtf8("Zoë Ørsted-Łukasz 日本語 ") + kEmoji,
        "\\' \\\" \\\\ \\0 \\n",
        "' OR '1'='1",
        "%' --",
        ";--/* */ */",
        "  spaced  ",
    };
}

// Types the text key by key; characters without a key of their own arrive as a keyboard layout
// would send them, as the text of an unknown key.
void TypeText(QWidget* w, const QString& text) {
    w->setFocus();
    for (int i = 0; i < text.size(); ++i) {
        const int units = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString unit = text.mid(i, units);
        i += units - 1;
        const QChar c = unit.at(0);
        if (c == QLatin1Char('\n')) {
            QTest::keyClick(w, Qt::Key_Return);
            continue;
        }
        if (units == 1 && c.unicode() >= 0x20 && c.unicode() < 0x7f) {
            QTest::keyClick(w, c.toLatin1());
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, unit);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, unit);
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
}

void Paste(QWidget* w, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    w->setFocus();
    QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
}

int Limit(const FormDriver& d, const QString& control) {
    QLineEdit* e = d.Edit(control);
    const QVariant nominal = e->property("nominalMaxLength");
    return nominal.isValid() ? nominal.toInt() : e->maxLength();
}

// The stored bytes of a column, exactly as the engine holds them.
QByteArray StoredBytes(const FormDriver& d, int id, const std::string& column) {
    return RawDb(d.home.dbPath())
        .bytes(QString("SELECT %1 FROM Customers WHERE dbCustomer_ID = %2")
                   .arg(QString::fromStdString(column))
                   .arg(id));
}

QStringList EditorTexts(const FormDriver& d) {
    QStringList texts;
    for (const ContactField& f : LoadOrderFields())
        texts << FieldText(d.W(f.control));
    return texts;
}

void ShowPageOf(FormDriver& d, const QString& control) {
    auto* pages = d.W<QTabWidget>("PageControl1");
    for (int i = 0; i < pages->count(); ++i)
        if (pages->widget(i)->isAncestorOf(d.W(control)))
            pages->setCurrentIndex(i);
}

// Every field's text is in the row byte for byte, and reloading the row gives the same texts.
void CheckStoredAndReloaded(FormDriver& d, int id, const QStringList& texts) {
    const std::vector<ContactField>& fields = LoadOrderFields();
    for (std::size_t i = 0; i < fields.size(); ++i)
        QVERIFY2(StoredBytes(d, id, fields[i].column) == texts[int(i)].toLocal8Bit(),
                 qPrintable(fields[i].control + " stored " +
                            QString::fromLocal8Bit(StoredBytes(d, id, fields[i].column)).left(80)));
    int row = -1;
    for (int r = 0; r < d.Rows(); ++r)
        if (d.Cell(r, TCustomerListModel::CustId) == QString::number(id))
            row = r;
    QVERIFY(row >= 0);
    d.ClickRow(row);
    QVERIFY(d.EditMode());
    QCOMPARE(d.Id(), QString::number(id));
    const QStringList loaded = EditorTexts(d);
    for (std::size_t i = 0; i < fields.size(); ++i)
        QCOMPARE(fields[i].control + "=" + loaded[int(i)], fields[i].control + "=" + texts[int(i)]);
    QVERIFY(!d.Enabled("btnSave"));
}

// The table is still there, alone, with the expected number of contacts.
void CheckTableIntact(const FormDriver& d, int contacts) {
    QCOMPARE(d.Count(), contacts);
    const QString names =
        RawDb(d.home.dbPath()).value("SELECT group_concat(name) FROM sqlite_master");
    QCOMPARE(names, QString("Customers"));
}

} // namespace

class HostileInputTest : public QObject {
    Q_OBJECT
private slots:
    // Every one of the 45 fields gets hostile text, typed into some and pasted into others.
    void hostileTextInEveryField() {
        FormDriver d;
        d.Click("tlbarAddNewCust");
        const QStringList samples = EditSamples();
        int n = 0;
        QStringList expected;
        for (const ContactField& f : LoadOrderFields()) {
            ShowPageOf(d, f.control);
            QWidget* w = d.W(f.control);
            const bool paste = n % 2 == 1;
            if (f.kind == FieldKind::Edit) {
                const QString sample = samples[n % samples.size()];
                paste ? Paste(w, sample) : TypeText(w, sample);
                QCOMPARE(d.Edit(f.control)->text(), sample.left(Limit(d, f.control)));
            } else if (f.kind == FieldKind::Masked) {
                // Only digits land in a masked field, whatever else comes with them.
                const bool extension = f.control.contains("PhoneExt");
                const QString sample = extension ? "%n'12\"3); 4--5" : "'); 555 %s \"123 DROP 4567";
                paste ? Paste(w, sample) : TypeText(w, sample);
                QCOMPARE(d.Mask(f.control)->value(),
                         QString(extension ? "12345" : "(555)123-4567"));
            } else {
                const bool contact = f.control == "txtContNotes";
                const QString sample =
                    contact ? "'quoted' \"twice\"\n'); DROP TABLE Customers; --\n%s %n %x %%\n" +
                                  QString::fromUtf8("Zoë 日本語 ") + kEmoji + "\ndbCustNotes"
                            : "it's \"x\"\n%s%n\n" + QString::fromUtf8("Łódź ") + kEmoji;
                paste ? Paste(w, sample) : TypeText(w, sample);
                QString stored = sample;
                stored.replace("\n", "\r\n");
                QCOMPARE(d.Note(f.control)->text(), stored);
            }
            expected << FieldText(w);
            ++n;
        }
        QVERIFY(d.Enabled("btnSave"));
        d.Click("btnSave");
        QVERIFY(d.ListMode());
        CheckTableIntact(d, 4);
        CheckStoredAndReloaded(d, 4, expected);

        // The same texts saved again over the stored contact, through the UPDATE.
        QCOMPARE(LoadOrderFields()[5].control, QString("txtCustAddress"));
        d.Type("txtCustAddress", "'");
        expected[5] += "'";
        d.Click("btnSave");
        QVERIFY(d.ListMode());
        CheckTableIntact(d, 4);
        CheckStoredAndReloaded(d, 4, expected);
    }

    // Long pastes: the web address takes all of one; every other field keeps what fits.
    void veryLongPastes() {
        FormDriver d;
        QString chunk = QString::fromUtf8("'); DROP TABLE Customers; -- \"%s%n\" Łódź ");
        QString huge;
        while (huge.size() < 100000)
            huge += chunk;
        huge.replace("\n", " ");
        d.Click("tlbarAddNewCust");
        for (const ContactField& f : LoadOrderFields()) {
            if (f.kind == FieldKind::Masked)
                continue;
            ShowPageOf(d, f.control);
            Paste(d.W(f.control), huge);
        }
        QCOMPARE(d.Edit("txtCustWebAddress")->text(), huge);
        for (const ContactField& f : LoadOrderFields())
            if (f.kind == FieldKind::Edit && f.control != "txtCustWebAddress")
                QCOMPARE(d.Edit(f.control)->text(), huge.left(Limit(d, f.control)));
        // A note takes what fits its characters, and nothing that would overflow its lines.
        for (const ContactField& f : LoadOrderFields())
            if (f.kind == FieldKind::Note) {
                TNoteMemo* note = d.Note(f.control);
                QVERIFY(note->text().size() <= note->maxLength());
                QVERIFY(note->displayedLineCount() <= (f.control == "txtContNotes" ? 7 : 5));
                QVERIFY(huge.startsWith(note->text()));
            }
        const QStringList expected = EditorTexts(d);
        d.Click("btnSave");
        QVERIFY(d.ListMode());
        CheckTableIntact(d, 4);
        CheckStoredAndReloaded(d, 4, expected);
    }

    // Control characters: a key cannot type them, a paste can; what a field holds is stored.
    void controlCharacters() {
        FormDriver d;
        d.Click("tlbarAddNewCust");
        const QString control = QString("tab\there ") + QChar(0x01) + " del" + QChar(0x7f) + "!";
        TypeText(d.W("txtCustFrstName"), control);
        QCOMPARE(d.Edit("txtCustFrstName")->text(), QString("tabhere  del!"));
        Paste(d.W("txtCustLstName"), control.left(18));
        QCOMPARE(d.Edit("txtCustLstName")->text(), control.left(18));
        Paste(d.W("txtCustAddress"), "two\r\nlines");
        QCOMPARE(d.Edit("txtCustAddress")->text(), QString("two\r\nlines"));
        Paste(d.W("txtContNotes"), control);
        QCOMPARE(d.Note("txtContNotes")->text(), control);
        const QStringList expected = EditorTexts(d);
        d.Click("btnSave");
        QVERIFY(d.ListMode());
        CheckStoredAndReloaded(d, 4, expected);
    }

    // A character outside the 16-bit range takes two units of a field's limit. Where only one
    // is left, the field's own limit keeps half of it, which no 8-bit text can hold: it is
    // stored as the replacement character. Marked as known until the fields keep characters
    // whole (a validator that drops a lone half would do).
    void characterOutside16BitsAtTheLimit() {
        FormDriver d;
        d.Click("tlbarAddNewCust");
        Paste(d.W("txtCustAddress"), QString(28, 'a') + kEmoji); // fits exactly
        QCOMPARE(d.Edit("txtCustAddress")->text(), QString(28, 'a') + kEmoji);
        Paste(d.W("txtCustCmpnyName"), QString(24, 'z') + kEmoji);
        TypeText(d.W("txtCtyStZip"), QString(29, 'w') + kEmoji);
        for (const char* control : {"txtCustCmpnyName", "txtCtyStZip"}) {
            const QString held = d.Edit(control)->text();
            QVERIFY(held.startsWith(QString(24, held.front())));
            QVERIFY2(!held.back().isSurrogate(), control);
        }
        d.Click("btnSave");
        QVERIFY(d.ListMode());
        QCOMPARE(d.Value(4, "dbCustAddress"), QString(28, 'a') + kEmoji);
    }

    // A zero character cannot cross into a statement: the text there ends at the first zero
    // byte. A pasted one must neither stop the save nor cut the value short.
    void zeroCharacterPasted() {
        FormDriver d;
        d.Click("tlbarAddNewCust");
        const QString withZero = QString("before") + QChar(0) + "after";
        Paste(d.W("txtCustCmpnyName"), withZero);
        Paste(d.W("txtContNotes"), withZero);
        QCOMPARE(d.Edit("txtCustCmpnyName")->text(), withZero); // the paste kept it
        SeenBox error;
        AnswerNextBox(&error, QMessageBox::Ok);
        d.Click("btnSave");
        error.Disarm();
        QVERIFY2(!error.seen, qPrintable(error.text));
        QVERIFY(d.ListMode());
        QCOMPARE(d.Value(4, "dbCustCompany"), QString("beforeafter"));
        QCOMPARE(d.Value(4, "dbCustNotes"), QString("beforeafter"));
    }

    // The search text enters a LIKE pattern: quotes are ordinary characters there, and the
    // statement fragment finds nothing and harms nothing.
    void hostileSearchText() {
        FormDriver d;
        d.Sql("INSERT INTO Customers(dbCustCompany) VALUES('O''Brien \"Bob\"')");
        d.ChooseSearch(1);
        SeenBox error;
        AnswerNextBox(&error, QMessageBox::Ok);
        const QList<std::pair<QString, int>> searches = {
            {"'", 0},
            {"\"", 0},
            {"o'", 1},
            {"O'BRIEN \"", 1},
            {"'); DROP TABLE Customers;", 0},
            {"\"); DROP TABLE Customers", 0},
            {"dbCustCompany", 0},
            {"%s%n", 1}, // "%" is the wildcard: any company with an "S" and later an "N"
            {"%", 4},    // every company that is not NULL, the empty one included
            {"_", 3},    // every company of at least one character
            {"%'%", 1},
        };
        for (const auto& [text, rows] : searches) {
            d.Search()->clear();
            TypeText(d.Search(), text);
            QVERIFY2(!error.seen, qPrintable(error.text));
            QCOMPARE(d.Search()->text(), text);
            QCOMPARE(text + " -> " + QString::number(d.Rows()),
                     text + " -> " + QString::number(rows));
        }
        error.Disarm();
        CheckTableIntact(d, 4);
    }

    // A failure message repeats the statement: percent signs and quotes in it come out verbatim.
    void failureMessageKeepsHostileText() {
        FormDriver d;
        d.OpenCompany("Janes Place");
        d.Edit("txtCustAddress")->selectAll();
        TypeText(d.W("txtCustAddress"), "%s%n%s%n \"%x\" '%1'");
        d.Sql("ALTER TABLE Customers RENAME TO Elsewhere");
        SeenBox error;
        AnswerNextBox(&error, QMessageBox::Ok);
        d.Click("btnSave");
        QVERIFY(error.seen);
        QVERIFY2(error.text.contains("dbCustAddress = '%s%n%s%n \"%x\" ''%1'''"),
                 qPrintable(error.text));
        QVERIFY2(error.text.endsWith(": no such table: Customers."), qPrintable(error.text));
        QVERIFY(d.EditMode());
        d.Sql("ALTER TABLE Elsewhere RENAME TO Customers");
        d.Click("btnSave");
        QVERIFY(d.ListMode());
        QCOMPARE(d.Value(3, "dbCustAddress"), QString("%s%n%s%n \"%x\" '%1'"));
    }

    // Values the editor cannot show exactly, as a file from the Windows version or another
    // program holds them: shown as well as they can be, and left byte for byte as stored when a
    // save changes only other fields. Text in the Windows code page, once edited, is saved as
    // UTF-8.
    void unshowableValuesSurviveASave_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("stored"); // as an SQL expression
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("shown"); // empty: not compared
        QTest::newRow("Windows-1252 name") << "dbCustLastName"
                                           << "CAST(x'4dfc6c6c6572' AS TEXT)"
                                           << "txtCustLstName" << QStringLiteral("M\u00fcller");
        QTest::newRow("Windows-1252 quotes, euro and dash")
            << "dbCustAddress"
            << "CAST(x'93803520968494' AS TEXT)"
            << "txtCustAddress" << QStringLiteral("\u201c\u20ac5 \u2013\u201e\u201d");
        QTest::newRow("bytes that are no UTF-8")
            << "dbExtraTitle2"
            << "CAST(x'c3fffe' AS TEXT)"
            << "txtExtraTitle2" << QStringLiteral("\u00c3\u00ff\u00fe");
        QTest::newRow("zero byte inside") << "dbCustFirstName"
                                          << "CAST(x'4142004344' AS TEXT)"
                                          << "txtCustFrstName"
                                          << "";
        QTest::newRow("blob") << "dbExtraNotes2"
                              << "x'00ff10'"
                              << "txtExtraNotes2"
                              << "";
    }
    void unshowableValuesSurviveASave() {
        QFETCH(QString, column);
        QFETCH(QString, stored);
        QFETCH(QString, control);
        QFETCH(QString, shown);
        FormDriver d(false);
        d.Sql("UPDATE Customers SET " + column + " = " + stored + " WHERE dbCustomer_ID = 3");
        const QString exact = "SELECT typeof(" + column + ") || hex(" + column +
                              ") FROM Customers WHERE dbCustomer_ID = 3";
        const QString before = RawDb(d.home.dbPath()).value(exact);
        d.Open();
        d.OpenCompany("Janes Place");
        QWidget* field = d.W(control);
        if (!shown.isEmpty())
            QCOMPARE(FieldText(field), shown);
        d.Type("txtCtyStZip", " X");
        d.Click("btnSave");
        QVERIFY(d.ListMode());
        QVERIFY(d.Value(3, "dbCustCtyStZp").endsWith(" X"));
        QCOMPARE(RawDb(d.home.dbPath()).value(exact), before);

        if (shown.isEmpty())
            return;
        d.OpenCompany("Janes Place");
        d.W<QTabWidget>("PageControl1")->setCurrentWidget(field->parentWidget());
        d.Type(control, "!");
        d.Click("btnSave");
        QCOMPARE(StoredBytes(d, 3, column.toStdString()), (shown + "!").toUtf8());
    }

    // A masked field that the user leaves alone is saved as the mask shows it when that only
    // adds blanks and literals; a stored text the mask would lose characters of stays as it is.
    void untouchedMaskedValues_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("saved");
        QTest::newRow("19 digits") << "dbCustPhone" << "1234567890123456789"
                                   << "1234567890123456789";
        QTest::newRow("a plus sign") << "dbCustFax" << "+1 225 555 0100" << "+1 225 555 0100";
        QTest::newRow("letters") << "dbExtraPhoneExt2" << "ext 42" << "ext 42";
        QTest::newRow("ten bare digits") << "dbCustPhone" << "5551234567" << "(555)123-4567";
        QTest::newRow("short extension") << "dbExtraPhoneExt2" << "123" << "  123";
        QTest::newRow("empty") << "dbCustFax" << "" << "(   )   -    ";
    }
    void untouchedMaskedValues() {
        QFETCH(QString, column);
        QFETCH(QString, stored);
        QFETCH(QString, saved);
        FormDriver d(false);
        d.Sql("UPDATE Customers SET " + column + " = '" + stored + "' WHERE dbCustomer_ID = 3");
        d.Open();
        d.OpenCompany("Janes Place");
        d.Type("txtCustAddress", " X");
        d.Click("btnSave");
        QVERIFY(d.ListMode());
        QCOMPARE(d.Value(3, column), saved);
    }
};

QTEST_MAIN(HostileInputTest)
#include "test_hostileinput.moc"

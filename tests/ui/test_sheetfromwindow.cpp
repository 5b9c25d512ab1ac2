// The contact sheet as the contact window hands it over: what the editor holds at the moment of
// printing (stored or just typed), drawn on a recording canvas against a fixed 600 dpi printer so
// every position is known.
#include "tests/ui/FormDriver.h"

#include "printing/ContactSheet.h"

namespace {

// The printer the sheet is drawn for: 600 dpi, page 5100, left strip 100, printable 4900.
constexpr PrintArea kPrinter{5100, 100, 4900, 600, 600};
constexpr int kLeftX = 200;
constexpr int kRightX = 4600;
constexpr int kSecondX = 2370;
constexpr int kLineStep = 37;

const QString kEmptyPhone = QStringLiteral("(   )   -    ");
const QString kEmptyBandPhoneLine =
    QStringLiteral("Phone: (   )   -     ext:        Fax: (   )   -    ");

struct Op {
    bool line = false;
    int x = 0, y = 0, x2 = 0, y2 = 0;
    QString text;

    static Op Text(int x, int y, const QString& t) { return {false, x, y, 0, 0, t}; }
    static Op Rule(int y) { return {true, kLeftX, y, kRightX, y, {}}; }
    bool operator==(const Op& o) const {
        return line == o.line && x == o.x && y == o.y && x2 == o.x2 && y2 == o.y2 && text == o.text;
    }
    QString describe() const {
        return line ? QStringLiteral("line (%1,%2)-(%3,%4)").arg(x).arg(y).arg(x2).arg(y2)
                    : QStringLiteral("text (%1,%2) \"%3\"").arg(x).arg(y).arg(text);
    }
};

struct RecordingCanvas : ISheetCanvas {
    QList<Op> ops;
    QStringList measured;

    void drawText(int x, int y, const QString& text) override { ops.append(Op::Text(x, y, text)); }
    int textHeight(const QString& text) override {
        measured.append(text);
        return kLineStep;
    }
    void drawLine(int x1, int y1, int x2, int y2) override {
        ops.append({true, x1, y1, x2, y2, {}});
    }

    // Texts drawn at x with top y in [from, to), in drawing order.
    QList<Op> textsIn(int x, int from, int to) const {
        QList<Op> found;
        for (const Op& op : ops)
            if (!op.line && op.x == x && op.y >= from && op.y < to)
                found.append(op);
        return found;
    }
    const Op* textAt(int x, int y) const {
        for (const Op& op : ops)
            if (!op.line && op.x == x && op.y == y)
                return &op;
        return nullptr;
    }
};

void CompareOps(const QList<Op>& actual, const QList<Op>& expected) {
    for (int i = 0; i < qMin(actual.size(), expected.size()); ++i)
        QVERIFY2(actual[i] == expected[i],
                 qPrintable(QStringLiteral("drawing %1: got %2, expected %3")
                                .arg(i)
                                .arg(actual[i].describe(), expected[i].describe())));
    QCOMPARE(actual.size(), expected.size());
}

// Lines drawn as one notes block: consecutive, one line step apart from `top`.
QList<Op> NotesOps(int x, int top, const QStringList& lines) {
    QList<Op> ops;
    for (int i = 0; i < lines.size(); ++i)
        ops.append(Op::Text(x, top + i * kLineStep, lines[i]));
    return ops;
}

RecordingCanvas Draw(const FormDriver& d) {
    RecordingCanvas canvas;
    DrawContactSheet(canvas, kPrinter, d.form->SheetData());
    return canvas;
}

// Band n (1..5) starts this far down, in device units at 600 dpi.
int BandNotesY(int n) {
    return 1920 + (n - 1) * 540;
}
int BandHeadingY(int n) {
    return 2010 + (n - 1) * 540;
}
int BandPhoneY(int n) {
    return 2100 + (n - 1) * 540;
}
int BandRuleY(int n) {
    return 2400 + (n - 1) * 540;
}

void SelectAllAndType(FormDriver& d, const QString& control, const QString& text) {
    QWidget* w = d.W(control);
    w->setFocus();
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(w, Qt::Key_Delete);
    else
        QTest::keyClicks(w, text);
}

// Overwrites a masked field from its first position, as a user retyping the number does.
void Retype(FormDriver& d, const QString& control, const QString& digits) {
    QWidget* w = d.W(control);
    w->setFocus();
    QTest::keyClick(w, Qt::Key_Home);
    QTest::keyClicks(w, digits);
}

void AppendToNote(FormDriver& d, const QString& control, const QString& text) {
    QWidget* w = d.W(control);
    w->setFocus();
    QTest::keyClick(w, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(w, text);
}

} // namespace

class SheetFromWindowTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        // A failure inside a handler would have shown an error box; none is expected here.
        QVERIFY(!QApplication::activeModalWidget());
    }

    void storedContactPrintsAsLoaded() {
        FormDriver d;
        d.OpenCompany("Joes Bar and Grill");
        QTRY_VERIFY(d.EditMode());

        const RecordingCanvas canvas = Draw(d);
        const QString ownerLine =
            QStringLiteral("Phone: (225)123-5567 ext:   123  Fax: ") + kEmptyPhone;
        QList<Op> expected = {
            Op::Text(kLeftX, 750, "Joes Bar and Grill"),
            // No first or last name: the blank between them stands alone.
            Op::Text(kLeftX, 840, " "),
            Op::Text(kLeftX, 930, "123 Joes Street"),
            Op::Text(kLeftX, 1020, "Joe City, State, 12345"),
            Op::Text(kSecondX, 930, "info@joesbarandgrill.example.com"),
            Op::Text(kSecondX, 1020, "https://www.joesbarandgrill.example.com"),
            Op::Text(kSecondX, 840, "Phone: (225)123-4567 Fax: (225)123-4568"),
            Op::Text(kLeftX, 1200, "Notes about Joes Bar and Grill Here!"),
            Op::Rule(1860),
            // Extension "123" is stored short; the mask right-aligns it, so it prints "  123".
            Op::Text(kLeftX, 2010, "Owner Joe Marino"),
            Op::Text(kLeftX, 2100, ownerLine),
            Op::Text(kSecondX, 1920, "Owner for 5 Years."),
            Op::Rule(2400),
            Op::Text(kLeftX, 2550, "Manager Rita Alvarez"),
            Op::Text(kLeftX, 2640, "Phone: (225)123-4567 ext:   124  Fax: " + kEmptyPhone),
            Op::Rule(2940),
            Op::Text(kLeftX, 3090, "A/R Tom Becker"),
            Op::Text(kLeftX, 3180, "Phone: (225)123-5567 ext:   125  Fax: " + kEmptyPhone),
            Op::Text(kSecondX, 3000, "Head of Billing Dept."),
            Op::Rule(3480),
            Op::Text(kLeftX, 3630, "A/P Sara Lindqvist"),
            Op::Text(kLeftX, 3720, "Phone: (225)123-4567 ext:   126  Fax: (225)123-6667"),
            Op::Text(kSecondX, 3540, "Head of Payments Dept."),
            Op::Rule(4020),
            Op::Text(kLeftX, 4170, "Shipping Dan Okafor"),
            Op::Text(kLeftX, 4260, "Phone: (225)123-4567 ext:   127  Fax: " + kEmptyPhone),
            Op::Rule(4560),
        };
        CompareOps(canvas.ops, expected);
        for (const QString& m : canvas.measured)
            QCOMPARE(m, QStringLiteral("W"));

        // Reading the sheet changes nothing in the window.
        QVERIFY(d.EditMode());
        QVERIFY(!d.Enabled("btnSave"));
        QCOMPARE(d.Edit("txtCustCmpnyName")->text(), QStringLiteral("Joes Bar and Grill"));
    }

    void editedUnsavedContactPrintsTheEditedValues() {
        FormDriver d;
        d.OpenCompany("Joes Bar and Grill");
        QTRY_VERIFY(d.EditMode());
        const QString id = d.Id();
        QVERIFY(!id.isEmpty());

        SelectAllAndType(d, "txtCustCmpnyName", "Joes Diner");
        d.Type("txtCustFrstName", "Ann");
        d.Type("txtCustLstName", "Lee");
        Retype(d, "txtCustPhone", "5559990000");
        QCOMPARE(d.Mask("txtCustPhone")->value(), QStringLiteral("(555)999-0000"));
        Retype(d, "txtExtraFax1", "2257770001");
        QCOMPARE(d.Mask("txtExtraFax1")->value(), QStringLiteral("(225)777-0001"));
        SelectAllAndType(d, "txtExtraName5", "");
        AppendToNote(d, "txtExtraNotes2", "Call after 5");
        SelectAllAndType(d, "txtExtraTitle3", "Billing");
        QVERIFY(d.Enabled("btnSave"));

        const RecordingCanvas canvas = Draw(d);
        const auto expectText = [&](int x, int y, const QString& text) {
            const Op* op = canvas.textAt(x, y);
            QVERIFY2(op, qPrintable(QStringLiteral("nothing at (%1,%2)").arg(x).arg(y)));
            QCOMPARE(op->text, text);
        };
        expectText(kLeftX, 750, "Joes Diner");
        expectText(kLeftX, 840, "Ann Lee");
        expectText(kSecondX, 840, "Phone: (555)999-0000 Fax: (225)123-4568");
        expectText(kLeftX, BandPhoneY(1), "Phone: (225)123-5567 ext:   123  Fax: (225)777-0001");
        expectText(kSecondX, BandNotesY(2), "Call after 5");
        expectText(kLeftX, BandHeadingY(3), "Billing Tom Becker");
        // The name emptied, the title and its blank remain.
        expectText(kLeftX, BandHeadingY(5), "Shipping ");

        // Nothing was saved: the stored contact and the list still hold the old values.
        QCOMPARE(d.Value(id.toInt(), "dbCustCompany"), QStringLiteral("Joes Bar and Grill"));
        QCOMPARE(d.Value(id.toInt(), "dbCustPhone"), QStringLiteral("(225)123-4567"));
        QCOMPARE(d.Value(id.toInt(), "dbExtraName5"), QStringLiteral("Dan Okafor"));
        QVERIFY(d.Enabled("btnSave"));
        QVERIFY(d.EditMode());
    }

    void notesPrintAsTheMemoShowsThem() {
        FormDriver d;
        d.OpenCompany("Joes Bar and Grill");
        QTRY_VERIFY(d.EditMode());

        // A paragraph far wider than the notes box: it wraps there, and the sheet prints it as
        // those same wrapped lines rather than as one long line.
        const QString paragraph = QStringLiteral(
            "Deliveries come on Tuesdays and Fridays before nine in the morning, the back door "
            "is the one to use, and the kitchen manager signs for everything that arrives; "
            "invoices go to the office upstairs with the delivery note stapled to them.");
        SelectAllAndType(d, "txtContNotes", paragraph);
        TNoteMemo* contactNotes = d.Note("txtContNotes");
        QCOMPARE(contactNotes->text(), paragraph);
        const QStringList wrapped = contactNotes->displayedLines();
        QVERIFY2(wrapped.size() >= 2 && wrapped.size() <= 7, qPrintable(wrapped.join('|')));
        QCOMPARE(wrapped.join(QString()), paragraph);

        // Two lines, the last ending with a line break: no third, empty line.
        SelectAllAndType(d, "txtExtraNotes1", "Owner since 2019");
        QTest::keyClick(d.W("txtExtraNotes1"), Qt::Key_Return);
        QTest::keyClicks(d.W("txtExtraNotes1"), "Mobile only");
        QTest::keyClick(d.W("txtExtraNotes1"), Qt::Key_Return);
        QCOMPARE(d.Note("txtExtraNotes1")->text(),
                 QStringLiteral("Owner since 2019\r\nMobile only\r\n"));

        // An emptied note.
        SelectAllAndType(d, "txtExtraNotes3", "");
        QCOMPARE(d.Note("txtExtraNotes3")->text(), QString());

        // A blank line inside a note is a line of its own and keeps its place.
        AppendToNote(d, "txtExtraNotes4", "");
        QTest::keyClick(d.W("txtExtraNotes4"), Qt::Key_Return);
        QTest::keyClick(d.W("txtExtraNotes4"), Qt::Key_Return);
        QTest::keyClicks(d.W("txtExtraNotes4"), "Ext. 126 after noon");

        const RecordingCanvas canvas = Draw(d);
        CompareOps(canvas.textsIn(kLeftX, 1200, 1860), NotesOps(kLeftX, 1200, wrapped));
        CompareOps(canvas.textsIn(kSecondX, BandNotesY(1), BandRuleY(1)),
                   NotesOps(kSecondX, BandNotesY(1), {"Owner since 2019", "Mobile only"}));
        QVERIFY(canvas.textsIn(kSecondX, BandNotesY(3), BandRuleY(3)).isEmpty());
        CompareOps(canvas.textsIn(kSecondX, BandNotesY(4), BandRuleY(4)),
                   NotesOps(kSecondX, BandNotesY(4),
                            {"Head of Payments Dept.", "", "Ext. 126 after noon"}));
        QVERIFY(!canvas.measured.isEmpty());
        for (const QString& m : canvas.measured)
            QCOMPARE(m, QStringLiteral("W"));

        // The rest of the sheet is untouched by the notes.
        QCOMPARE(canvas.textAt(kLeftX, BandHeadingY(1))->text, QStringLiteral("Owner Joe Marino"));
        QList<int> rules;
        for (const Op& op : canvas.ops)
            if (op.line)
                rules.append(op.y);
        QCOMPARE(rules, (QList<int>{1860, 2400, 2940, 3480, 4020, 4560}));
    }

    void extraContactWithoutDataStillPrintsItsBand() {
        FormDriver d;
        int row = -1;
        for (int r = 0; r < d.Rows(); ++r)
            if (d.Cell(r, TCustomerListModel::Name).contains("Mark"))
                row = r;
        QVERIFY2(row >= 0, qPrintable(d.Companies().join(',')));
        d.ClickRow(row);
        QTRY_VERIFY(d.EditMode());
        QCOMPARE(d.Edit("txtCustFrstName")->text(), QStringLiteral("Mark"));

        const RecordingCanvas canvas = Draw(d);
        QCOMPARE(canvas.textAt(kLeftX, 750)->text, QString());
        QCOMPARE(canvas.textAt(kLeftX, 840)->text, QStringLiteral("Mark Doyle"));
        // Extra contacts 1 and 2 have names but no numbers; 3 to 5 hold nothing at all.
        QCOMPARE(canvas.textAt(kLeftX, BandHeadingY(1))->text, QStringLiteral("Wife Jane Doyle"));
        QCOMPARE(canvas.textAt(kLeftX, BandPhoneY(1))->text, kEmptyBandPhoneLine);
        QCOMPARE(canvas.textAt(kSecondX, BandNotesY(1))->text, QStringLiteral("Married 10 years"));
        for (int n = 3; n <= 5; ++n) {
            const QList<Op> band = canvas.textsIn(kLeftX, BandRuleY(n) - 540, BandRuleY(n));
            CompareOps(band, {Op::Text(kLeftX, BandHeadingY(n), " "),
                              Op::Text(kLeftX, BandPhoneY(n), kEmptyBandPhoneLine)});
            QVERIFY(canvas.textsIn(kSecondX, BandNotesY(n), BandRuleY(n)).isEmpty());
        }

        // The contact itself without phone and fax, in an otherwise edited editor.
        SelectAllAndType(d, "txtCustPhone", "");
        d.Mask("txtCustFax")->setFocus();
        QTest::keyClick(d.W("txtCustFax"), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(d.W("txtCustFax"), Qt::Key_Backspace);
        QCOMPARE(d.Mask("txtCustPhone")->value(), kEmptyPhone);
        QCOMPARE(d.Mask("txtCustFax")->value(), kEmptyPhone);
        const RecordingCanvas cleared = Draw(d);
        QCOMPARE(cleared.textAt(kSecondX, 840)->text,
                 QStringLiteral("Phone: (   )   -     Fax: (   )   -    "));
    }

    void emptyEditorPrintsTheBareSheet() {
        // "Add New Contact" opens the editor that a reset has emptied.
        FormDriver d;
        d.Click("tlbarAddNewCust");
        QTRY_VERIFY(d.EditMode());
        const RecordingCanvas canvas = Draw(d);
        QList<Op> expected = {
            Op::Text(kLeftX, 750, ""),
            Op::Text(kLeftX, 840, " "),
            Op::Text(kLeftX, 930, ""),
            Op::Text(kLeftX, 1020, ""),
            Op::Text(kSecondX, 930, ""),
            Op::Text(kSecondX, 1020, ""),
            Op::Text(kSecondX, 840, "Phone: (   )   -     Fax: (   )   -    "),
            Op::Rule(1860),
        };
        for (int n = 1; n <= 5; ++n)
            expected << Op::Text(kLeftX, BandHeadingY(n), " ")
                     << Op::Text(kLeftX, BandPhoneY(n), kEmptyBandPhoneLine)
                     << Op::Rule(BandRuleY(n));
        CompareOps(canvas.ops, expected);
        QVERIFY(canvas.measured.isEmpty());
    }
};

QTEST_MAIN(SheetFromWindowTest)
#include "test_sheetfromwindow.moc"

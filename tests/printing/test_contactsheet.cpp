#include "printing/ContactSheet.h"

#include <QtTest>

namespace {

// 600 dpi, page 5100 wide, left strip 100, printable 4900: text from 200, rules to 4600.
constexpr PrintArea k600Dpi{5100, 100, 4900, 600, 600};

struct DrawOp {
    enum Kind { Text, Line } kind;
    int x1, y1, x2, y2;
    QString text;

    static DrawOp text_(int x, int y, const QString& t) { return {Text, x, y, 0, 0, t}; }
    static DrawOp line(int x1, int y1, int x2, int y2) { return {Line, x1, y1, x2, y2, {}}; }

    bool operator==(const DrawOp& o) const {
        return kind == o.kind && x1 == o.x1 && y1 == o.y1 && x2 == o.x2 && y2 == o.y2 &&
               text == o.text;
    }
    QString describe() const {
        return kind == Text
                   ? QStringLiteral("text (%1,%2) \"%3\"").arg(x1).arg(y1).arg(text)
                   : QStringLiteral("line (%1,%2)-(%3,%4)").arg(x1).arg(y1).arg(x2).arg(y2);
    }
};

// Remembers every drawing call in order; reports a fixed text height so line steps are visible.
struct RecordingCanvas : ISheetCanvas {
    QList<DrawOp> ops;
    QStringList measured;
    int height = 37;

    void drawText(int x, int y, const QString& text) override {
        ops.append(DrawOp::text_(x, y, text));
    }
    int textHeight(const QString& text) override {
        measured.append(text);
        return height;
    }
    void drawLine(int x1, int y1, int x2, int y2) override {
        ops.append(DrawOp::line(x1, y1, x2, y2));
    }

    const DrawOp* findText(const QString& text) const {
        for (const DrawOp& op : ops)
            if (op.kind == DrawOp::Text && op.text == text)
                return &op;
        return nullptr;
    }
    QList<int> ruleYs() const {
        QList<int> ys;
        for (const DrawOp& op : ops)
            if (op.kind == DrawOp::Line)
                ys.append(op.y1);
        return ys;
    }
};

ContactSheetData SampleContact() {
    ContactSheetData d;
    d.company = "Joes Bar and Grill";
    d.firstName = "Joe";
    d.lastName = "Smith";
    d.address = "123 Joes Street";
    d.cityStateZip = "Joe City, State, 12345";
    d.email = "joe@example.com";
    d.webAddress = "www.example.com";
    d.phone = "(225)123-4567";
    d.fax = "(225)123-4568";
    d.notes = QStringList{"Notes about Joes Bar and Grill Here!", "", "Closed Mondays"};
    const char* titles[5] = {"Owner", "Manager", "A/R", "A/P", "Shipping"};
    const char* names[5] = {"Joe Smith", "Ann Lee", "Bob Ray", "Cy Dunn", "Di Fox"};
    for (int n = 0; n < 5; ++n) {
        ExtraContactSheetData& e = d.extras[n];
        e.title = titles[n];
        e.name = names[n];
        e.phone = QStringLiteral("(225)555-000%1").arg(n + 1);
        e.extension = QStringLiteral("   1%1").arg(n + 1);
        e.fax = QStringLiteral("(225)555-100%1").arg(n + 1);
    }
    d.extras[1].notes = QStringList{"Second band note"};
    d.extras[4].notes = QStringList{"Line one", "Line two"};
    return d;
}

void CompareOps(const QList<DrawOp>& actual, const QList<DrawOp>& expected) {
    for (int i = 0; i < qMin(actual.size(), expected.size()); ++i) {
        if (!(actual[i] == expected[i]))
            QFAIL(qPrintable(QStringLiteral("operation %1: got %2, expected %3")
                                 .arg(i)
                                 .arg(actual[i].describe(), expected[i].describe())));
    }
    QCOMPARE(actual.size(), expected.size());
}

} // namespace

class TestContactSheet : public QObject {
    Q_OBJECT

private slots:
    void wholeSheetAt600DpiInOrder();
    void exactHalvesAt150DpiRoundToEven();
    void secondColumnUsesVerticalResolution();
    void emptyContactPrintsEveryBand();
    void notesStepByTheHeightOfW();
};

void TestContactSheet::wholeSheetAt600DpiInOrder() {
    RecordingCanvas canvas;
    DrawContactSheet(canvas, k600Dpi, SampleContact());

    using Op = DrawOp;
    const QList<Op> expected = {
        Op::text_(200, 750, "Joes Bar and Grill"),
        Op::text_(200, 840, "Joe Smith"),
        Op::text_(200, 930, "123 Joes Street"),
        Op::text_(200, 1020, "Joe City, State, 12345"),
        Op::text_(2370, 930, "joe@example.com"),
        Op::text_(2370, 1020, "www.example.com"),
        Op::text_(2370, 840, "Phone: (225)123-4567 Fax: (225)123-4568"),
        Op::text_(200, 1200, "Notes about Joes Bar and Grill Here!"),
        Op::text_(200, 1237, ""),
        Op::text_(200, 1274, "Closed Mondays"),
        Op::line(200, 1860, 4600, 1860),

        Op::text_(200, 2010, "Owner Joe Smith"),
        Op::text_(200, 2100, "Phone: (225)555-0001 ext:    11  Fax: (225)555-1001"),
        Op::line(200, 2400, 4600, 2400),

        Op::text_(200, 2550, "Manager Ann Lee"),
        Op::text_(200, 2640, "Phone: (225)555-0002 ext:    12  Fax: (225)555-1002"),
        Op::text_(2370, 2460, "Second band note"),
        Op::line(200, 2940, 4600, 2940),

        Op::text_(200, 3090, "A/R Bob Ray"),
        Op::text_(200, 3180, "Phone: (225)555-0003 ext:    13  Fax: (225)555-1003"),
        Op::line(200, 3480, 4600, 3480),

        Op::text_(200, 3630, "A/P Cy Dunn"),
        Op::text_(200, 3720, "Phone: (225)555-0004 ext:    14  Fax: (225)555-1004"),
        Op::line(200, 4020, 4600, 4020),

        Op::text_(200, 4170, "Shipping Di Fox"),
        Op::text_(200, 4260, "Phone: (225)555-0005 ext:    15  Fax: (225)555-1005"),
        Op::text_(2370, 4080, "Line one"),
        Op::text_(2370, 4117, "Line two"),
        Op::line(200, 4560, 4600, 4560),
    };
    CompareOps(canvas.ops, expected);
}

void TestContactSheet::exactHalvesAt150DpiRoundToEven() {
    ContactSheetData data = SampleContact();
    data.extras[0].notes = QStringList{"First band note"};
    RecordingCanvas canvas;
    DrawContactSheet(canvas, PrintArea{1275, 25, 1225, 150, 150}, data);

    const auto at = [&](const QString& text) {
        const DrawOp* op = canvas.findText(text);
        if (!op)
            return QPoint(-1, -1);
        return QPoint(op->x1, op->y1);
    };
    // Margin is the half inch, 75: text from 50, rules to 1275 - 150 + 25.
    QCOMPARE(at("Joes Bar and Grill"), QPoint(50, 188)); // 187.5
    QCOMPARE(at("Joe Smith"), QPoint(50, 210));
    QCOMPARE(at("123 Joes Street"), QPoint(50, 232)); // 232.5
    QCOMPARE(at("Joe City, State, 12345"), QPoint(50, 255));
    QCOMPARE(at("joe@example.com"), QPoint(592, 232)); // 592.5
    QCOMPARE(at("Notes about Joes Bar and Grill Here!"), QPoint(50, 300));
    QCOMPARE(at("Owner Joe Smith"), QPoint(50, 502)); // 502.5
    QCOMPARE(at("First band note"), QPoint(592, 480));
    QCOMPARE(at("Manager Ann Lee"), QPoint(50, 638)); // 637.5
    QCOMPARE(at("Phone: (225)555-0002 ext:    12  Fax: (225)555-1002"), QPoint(50, 660));
    QCOMPARE(at("Shipping Di Fox"), QPoint(50, 1042)); // 1042.5
    QCOMPARE(canvas.ruleYs(), (QList<int>{465, 600, 735, 870, 1005, 1140}));
    for (const DrawOp& op : canvas.ops)
        if (op.kind == DrawOp::Line)
            QCOMPARE(QPoint(op.x1, op.x2), QPoint(50, 1150));
}

void TestContactSheet::secondColumnUsesVerticalResolution() {
    RecordingCanvas canvas;
    DrawContactSheet(canvas, PrintArea{5100, 0, 5100, 600, 300}, SampleContact());

    // The half inch of the margin is horizontal (300 at 600 across); every inch position,
    // the second column's x included, is in units of the 300 down.
    QCOMPARE(canvas.findText("Joes Bar and Grill")->x1, 300);
    QCOMPARE(canvas.findText("Joes Bar and Grill")->y1, 375);
    QCOMPARE(canvas.findText("joe@example.com")->x1, 1185);
    QCOMPARE(canvas.findText("joe@example.com")->y1, 465);
    QCOMPARE(canvas.findText("Line one")->x1, 1185);
    QCOMPARE(canvas.findText("Line one")->y1, 2040);
    QCOMPARE(canvas.ruleYs(), (QList<int>{930, 1200, 1470, 1740, 2010, 2280}));
}

void TestContactSheet::emptyContactPrintsEveryBand() {
    RecordingCanvas canvas;
    DrawContactSheet(canvas, k600Dpi, ContactSheetData{});

    const QString emptyBandPhone = "Phone: (   )   -     ext:        Fax: (   )   -    ";
    QList<DrawOp> expected = {
        DrawOp::text_(200, 750, ""),
        DrawOp::text_(200, 840, " "),
        DrawOp::text_(200, 930, ""),
        DrawOp::text_(200, 1020, ""),
        DrawOp::text_(2370, 930, ""),
        DrawOp::text_(2370, 1020, ""),
        DrawOp::text_(2370, 840, "Phone: (   )   -     Fax: (   )   -    "),
        DrawOp::line(200, 1860, 4600, 1860),
    };
    const int headings[5] = {2010, 2550, 3090, 3630, 4170};
    for (int n = 0; n < 5; ++n) {
        expected.append(DrawOp::text_(200, headings[n], " "));
        expected.append(DrawOp::text_(200, headings[n] + 90, emptyBandPhone));
        expected.append(DrawOp::line(200, headings[n] + 390, 4600, headings[n] + 390));
    }
    CompareOps(canvas.ops, expected);
}

void TestContactSheet::notesStepByTheHeightOfW() {
    RecordingCanvas canvas;
    canvas.height = 149;
    ContactSheetData data;
    for (int i = 1; i <= 7; ++i)
        data.notes.append(QStringLiteral("note %1").arg(i));
    for (int i = 1; i <= 5; ++i)
        data.extras[2].notes.append(QStringLiteral("extra %1").arg(i));
    DrawContactSheet(canvas, k600Dpi, data);

    for (int i = 1; i <= 7; ++i) {
        const DrawOp* op = canvas.findText(QStringLiteral("note %1").arg(i));
        QVERIFY(op);
        QCOMPARE(QPoint(op->x1, op->y1), QPoint(200, 1200 + (i - 1) * 149));
    }
    for (int i = 1; i <= 5; ++i) {
        const DrawOp* op = canvas.findText(QStringLiteral("extra %1").arg(i));
        QVERIFY(op);
        QCOMPARE(QPoint(op->x1, op->y1), QPoint(2370, 3000 + (i - 1) * 149));
    }
    QVERIFY(!canvas.measured.isEmpty());
    for (const QString& text : canvas.measured)
        QCOMPARE(text, QStringLiteral("W"));
}

QTEST_GUILESS_MAIN(TestContactSheet)
#include "test_contactsheet.moc"

#include "printing/ContactSheet.h"
#include "printing/PrintJob.h"
#include "printing/PrinterPrintArea.h"
#include "tests/printing/CupsQueue.h"
#include "tests/printing/PdfText.h"
#include "tests/printing/SheetExpectations.h"

#include <QElapsedTimer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QtTest>

#include <stdexcept>

namespace {

const QString kNoDefault = QStringLiteral("There is no default printer currently selected");

ContactSheetData JoesBarAndGrill() {
    ContactSheetData d;
    d.company = "Joes Bar and Grill";
    d.firstName = "Joe";
    d.lastName = "Blow";
    d.address = "123 Joes Street";
    d.cityStateZip = "Joe City, State, 12345";
    d.email = "joe@joesbarandgrill.example";
    d.webAddress = "www.joesbarandgrill.example";
    d.phone = "(225)123-4567";
    d.fax = "(225)123-4568";
    d.notes = QStringList{"Notes about Joes Bar and Grill Here!", "Second line of notes"};
    const char* titles[5] = {"Owner", "Manager", "A/R", "A/P", "Shipping"};
    const char* names[5] = {"Joe Blow", "Jane Blow", "Ann Ledger", "Al Payable", "Sam Crate"};
    for (int n = 0; n < 5; ++n) {
        ExtraContactSheetData& e = d.extras[n];
        e.title = titles[n];
        e.name = names[n];
        e.phone = QStringLiteral("(225)123-456%1").arg(n + 1);
        e.extension = QStringLiteral("  10%1").arg(n + 1);
        e.fax = QStringLiteral("(225)123-457%1").arg(n + 1);
        e.notes = QStringList{QStringLiteral("Band %1 notes").arg(n + 1)};
    }
    d.extras[3].title.clear();
    d.extras[3].name.clear(); // an empty band still prints its phone line
    return d;
}

// One printed text: where its first character should stand, in canvas units.
struct Placed {
    QString text;
    bool secondColumn;
    int yHundredthsOfInch;
    int lineIndex = 0; // for notes: lines below the first
};

QList<Placed> ExpectedTexts(const ContactSheetData& d) {
    QList<Placed> texts = {
        {d.company, false, 125},
        {d.firstName + " " + d.lastName, false, 140},
        {d.address, false, 155},
        {d.cityStateZip, false, 170},
        {d.email, true, 155},
        {d.webAddress, true, 170},
        {"Phone: " + d.phone + " Fax: " + d.fax, true, 140},
        {d.notes[0], false, 200, 0},
        {d.notes[1], false, 200, 1},
    };
    const int headings[5] = {335, 425, 515, 605, 695};
    for (int n = 0; n < 5; ++n) {
        const ExtraContactSheetData& e = d.extras[n];
        if (!e.title.isEmpty())
            texts.append({e.title + " " + e.name, false, headings[n]});
        texts.append({"Phone: " + e.phone + " ext: " + e.extension + "  Fax: " + e.fax, false,
                      headings[n] + 15});
        texts.append({e.notes[0], true, headings[n] - 15});
    }
    return texts;
}

// The page figures of the queue's default printer in the mode the print job uses.
PrintArea DefaultPrinterArea() {
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    return PrintAreaOf(printer);
}

QList<int> Figures(const PrintArea& a) {
    return {a.pageWidth, a.leftOffset, a.printableWidth, a.dpiX, a.dpiY};
}

void PrintSheet(const ContactSheetData& data) {
    RunSheetPrintJob([&data](ISheetCanvas& canvas, const PrintArea& area) {
        DrawContactSheet(canvas, area, data);
    });
}

// pdftotext splits at blanks, so runs of blanks (an extension of three digits) count as one.
QString Collapsed(const QString& text) {
    return text.simplified();
}

} // namespace

class TestPrintQueue : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void metricsDescribeTheQueuesPrinter();
    void sheetLandsOnOnePageAtItsPositions();
    void failedDrawingStillEndsTheJob();
    void noDefaultPrinterIsReported();

private:
    CupsQueue queue_;
};

void TestPrintQueue::initTestCase() {
    const QString reason = CupsQueue::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    // Before the first printer lookup: libcups settles on its server at first use.
    queue_.useInThisProcess();
    QString error;
    QVERIFY2(queue_.start(&error), qPrintable(error));
    QVERIFY2(queue_.addPrinter(QStringLiteral("Sheet"), true, &error), qPrintable(error));
    qInfo("private scheduler pid %lld on %s", queue_.pid(), qPrintable(queue_.socketPath()));
}

void TestPrintQueue::cleanupTestCase() {
    queue_.stop();
}

void TestPrintQueue::metricsDescribeTheQueuesPrinter() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    QCOMPARE(info.printerName(), QStringLiteral("Sheet"));

    const PrintArea area = DefaultPrinterArea();
    const int dpiX = area.dpiX;
    QVERIFY(dpiX >= 72);
    QVERIFY(area.dpiY >= 72);
    // A queue without a driver uses the scheduler's paper, A4 or Letter depending on the
    // machine; either way the width must come out in device units, not points or millimetres.
    const double widthMm = area.pageWidth * 25.4 / dpiX;
    QVERIFY2(qAbs(widthMm - 210.0) <= 1.0 || qAbs(widthMm - 215.9) <= 1.0,
             qPrintable(QStringLiteral("page %1 units at %2 dpi is %3 mm wide")
                            .arg(area.pageWidth)
                            .arg(dpiX)
                            .arg(widthMm)));
    QVERIFY(area.leftOffset >= 0);
    QVERIFY(RightUnprintable(area) >= 0);
    QVERIFY(SideMargin(area) >= area.leftOffset);
    QVERIFY(SideMargin(area) >= RightUnprintable(area));
    QVERIFY(PrintLeftX(area) >= 0);
    qInfo("queue printer: %d x %d dpi, page %d, left strip %d, right strip %d, side margin %d,"
          " text from %d, rules to %d",
          area.dpiX, area.dpiY, area.pageWidth, area.leftOffset, RightUnprintable(area),
          SideMargin(area), PrintLeftX(area), PrintRightX(area));
}

void TestPrintQueue::sheetLandsOnOnePageAtItsPositions() {
    const ContactSheetData data = JoesBarAndGrill();
    const QStringList before = queue_.jobFiles();

    QElapsedTimer clock;
    clock.start();
    PrintSheet(data);
    const qint64 submitMs = clock.elapsed();
    const QString pdf = queue_.waitForNewJob(before, 60000);
    const qint64 landedMs = clock.elapsed();
    QVERIFY2(!pdf.isEmpty(),
             qPrintable("no job captured; scheduler log:\n" + queue_.schedulerLog()));
    qInfo("job handed over in %lld ms, captured after %lld ms: %s", submitMs, landedMs,
          qPrintable(pdf));

    QCOMPARE(PdfText::PageCount(pdf), 1);
    QCOMPARE(queue_.jobFiles().size(), before.size() + 1);
    const QString fonts = PdfText::Fonts(pdf);
    QVERIFY2(fonts.contains(QStringLiteral("Bold")), qPrintable(fonts));

    // Where the page's printable area starts, for turning canvas units into page points.
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    const QRectF printable = printer.pageRect(QPrinter::DevicePixel);
    const PrintArea area = PrintAreaOf(printer);
    const int dpiX = area.dpiX;
    const int dpiY = area.dpiY;
    QCOMPARE(qRound(printable.left()), area.leftOffset);
    const int lineStep = QFontMetrics(SheetFont(), &printer).height();

    const QList<PdfWord> words = PdfText::Words(pdf);
    QVERIFY2(!words.isEmpty(), "pdftotext found no words");

    const int secondColumnX = InchUnits(395, dpiY);
    double worstDx = 0, worstDy = 0;
    for (const Placed& expected : ExpectedTexts(data)) {
        const int x = expected.secondColumn ? secondColumnX : PrintLeftX(area);
        const int y = InchUnits(expected.yHundredthsOfInch, dpiY) + expected.lineIndex * lineStep;
        const double xPt = (x + printable.left()) * 72.0 / dpiX;
        const double yPt = (y + printable.top()) * 72.0 / dpiY;

        // The words of one line: same row, starting at its x, in reading order.
        QList<PdfWord> row;
        for (const PdfWord& w : words)
            if (qAbs(w.yMin - yPt) <= 2.0 && w.xMin >= xPt - 1.0)
                row.append(w);
        std::sort(row.begin(), row.end(),
                  [](const PdfWord& a, const PdfWord& b) { return a.xMin < b.xMin; });
        const QStringList want = Collapsed(expected.text).split(QLatin1Char(' '));
        QStringList got;
        for (int i = 0; i < row.size() && i < want.size(); ++i)
            got.append(row[i].text);
        QVERIFY2(got == want, qPrintable(QStringLiteral("at (%1, %2) pt expected \"%3\", found "
                                                        "\"%4\"")
                                             .arg(xPt)
                                             .arg(yPt)
                                             .arg(want.join(' '), got.join(' '))));
        // Text is placed by its top-left corner: the first word starts at x, and its box
        // starts at the line's top within the font's ascent tolerances.
        worstDx = qMax(worstDx, qAbs(row.first().xMin - xPt));
        worstDy = qMax(worstDy, qAbs(row.first().yMin - yPt));
        QVERIFY2(qAbs(row.first().xMin - xPt) <= 0.5,
                 qPrintable(QStringLiteral("\"%1\" starts at x %2 pt, expected %3")
                                .arg(row.first().text)
                                .arg(row.first().xMin)
                                .arg(xPt)));
        // 8 points of a font 1.1 to 1.2 em tall; Qt's default 12 would not fit.
        const double height = row.first().yMax - row.first().yMin;
        QVERIFY2(height > 7.5 && height < 9.6, qPrintable(QString::number(height)));
        QVERIFY2(qAbs(row.first().yMin - yPt) <= 1.5,
                 qPrintable(QStringLiteral("\"%1\" starts at y %2 pt, expected %3")
                                .arg(row.first().text)
                                .arg(row.first().yMin)
                                .arg(yPt)));
    }
    qInfo("largest distance of a line from its place: %.3f pt across, %.3f pt down", worstDx,
          worstDy);
}

void TestPrintQueue::failedDrawingStillEndsTheJob() {
    const QStringList before = queue_.jobFiles();
    const PrintArea outside = DefaultPrinterArea();
    PrintArea inside;
    try {
        RunSheetPrintJob([&](ISheetCanvas& canvas, const PrintArea& area) {
            inside = area;
            canvas.drawText(PrintLeftX(area), area.dpiY, QStringLiteral("Drawn before failing"));
            throw std::runtime_error("drawing failed");
        });
        QFAIL("the failure while drawing was swallowed");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("drawing failed"));
    }
    QCOMPARE(Figures(inside), Figures(outside));

    // The job was ended, so what was drawn reaches the queue.
    const QString pdf = queue_.waitForNewJob(before, 60000);
    QVERIFY2(!pdf.isEmpty(),
             qPrintable("no job captured; scheduler log:\n" + queue_.schedulerLog()));
    QCOMPARE(PdfText::PageCount(pdf), 1);
    QStringList text;
    for (const PdfWord& w : PdfText::Words(pdf))
        text.append(w.text);
    QCOMPARE(text.join(QLatin1Char(' ')), QStringLiteral("Drawn before failing"));
}

void TestPrintQueue::noDefaultPrinterIsReported() {
    QString error;
    QVERIFY2(queue_.removePrinter(QStringLiteral("Sheet"), &error), qPrintable(error));
    const QStringList before = queue_.jobFiles();

    QVERIFY(QPrinterInfo::defaultPrinter().isNull());
    try {
        PrintSheet(JoesBarAndGrill());
        QFAIL("printing without a default printer did not fail");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()), kNoDefault);
    }
    QCOMPARE(queue_.jobFiles(), before);
}

QTEST_MAIN(TestPrintQueue)
#include "test_printqueue.moc"

// "Print Contact Information" from the real window to a real print queue: a private CUPS
// scheduler whose default printer captures each job as the PDF the program produced, read back
// with poppler's tools. Also when to offer the command, and what the user sees without a default
// printer.
#include "tests/ui/FormDriver.h"

#include "printing/PrinterPrintArea.h"
#include "tests/printing/CupsQueue.h"
#include "tests/printing/PdfText.h"
#include "tests/printing/SheetExpectations.h"

#include <QFontMetrics>
#include <QMenuBar>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

const QString kEmptyPhone = QStringLiteral("(   )   -    ");

// Every data control's text, to see that printing leaves the editor alone.
QStringList EditorTexts(const FormDriver& d) {
    QStringList texts;
    for (const ContactField& f : LoadOrderFields())
        texts << f.control + "=" + FieldText(d.W(f.control));
    return texts;
}

// The page figures of the default printer in the mode the print job uses.
PrintArea DefaultPrinterArea() {
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    return PrintAreaOf(printer);
}

// One line the sheet should show: its text and where its top-left corner lies in device units.
struct Line {
    QString text;
    int x, y;
};

// The sheet for the window's sample contact "Joes Bar and Grill" as stored, worked out from the
// queue printer's own metrics; `contactNotes` replaces its one stored notes line when given.
QList<Line> JoesSheet(const QString& company, const QStringList& contactNotes, int lineStep) {
    const PrintArea area = DefaultPrinterArea();
    const int dpi = area.dpiY;
    const int left = PrintLeftX(area);
    const int second = InchUnits(395, dpi);
    QList<Line> lines = {
        {company, left, InchUnits(125, dpi)},
        {" ", left, InchUnits(140, dpi)},
        {"123 Joes Street", left, InchUnits(155, dpi)},
        {"Joe City, State, 12345", left, InchUnits(170, dpi)},
        {"info@joesbarandgrill.example.com", second, InchUnits(155, dpi)},
        {"https://www.joesbarandgrill.example.com", second, InchUnits(170, dpi)},
        {"Phone: (225)123-4567 Fax: (225)123-4568", second, InchUnits(140, dpi)},
    };
    for (int i = 0; i < contactNotes.size(); ++i)
        lines.append({contactNotes[i], left, InchUnits(200, dpi) + i * lineStep});
    const QString headings[5] = {"Owner Joe Marino", "Manager Rita Alvarez", "A/R Tom Becker",
                                 "A/P Sara Lindqvist", "Shipping Dan Okafor"};
    const QString phones[5] = {
        "Phone: (225)123-5567 ext:   123  Fax: " + kEmptyPhone,
        "Phone: (225)123-4567 ext:   124  Fax: " + kEmptyPhone,
        "Phone: (225)123-5567 ext:   125  Fax: " + kEmptyPhone,
        "Phone: (225)123-4567 ext:   126  Fax: (225)123-6667",
        "Phone: (225)123-4567 ext:   127  Fax: " + kEmptyPhone,
    };
    const QString notes[5] = {"Owner for 5 Years.", "", "Head of Billing Dept.",
                              "Head of Payments Dept.", ""};
    const int headingAt[5] = {335, 425, 515, 605, 695};
    for (int n = 0; n < 5; ++n) {
        lines.append({headings[n], left, InchUnits(headingAt[n], dpi)});
        lines.append({phones[n], left, InchUnits(headingAt[n] + 15, dpi)});
        if (!notes[n].isEmpty())
            lines.append({notes[n], second, InchUnits(headingAt[n] - 15, dpi)});
    }
    return lines;
}

// Checks that the page holds exactly these lines, each starting where it should, and nothing
// else. pdftotext splits text at blanks, so a line is compared as its words.
void CheckPage(const QString& pdf, const QList<Line>& expected) {
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    const QRectF printable = printer.pageRect(QPrinter::DevicePixel);
    const PrintArea area = PrintAreaOf(printer);
    const int dpiX = area.dpiX;
    const int dpiY = area.dpiY;
    const auto xPoints = [&](int x) { return (x + printable.left()) * 72.0 / dpiX; };
    const auto yPoints = [&](int y) { return (y + printable.top()) * 72.0 / dpiY; };
    const double secondColumnPt = xPoints(InchUnits(395, dpiY));

    const QList<PdfWord> words = PdfText::Words(pdf);
    QVERIFY2(!words.isEmpty(), "pdftotext found no words");
    int wordsExpected = 0;
    for (const Line& line : expected) {
        const double xPt = xPoints(line.x);
        const double yPt = yPoints(line.y);
        const QString simplified = line.text.simplified();
        QList<PdfWord> row;
        for (const PdfWord& w : words)
            if (qAbs(w.yMin - yPt) <= 2.0 && w.xMin >= xPt - 1.0)
                row.append(w);
        std::sort(row.begin(), row.end(),
                  [](const PdfWord& a, const PdfWord& b) { return a.xMin < b.xMin; });
        if (simplified.isEmpty()) {
            // A blank line: nothing starts in its column on that row.
            for (const PdfWord& w : row)
                QVERIFY2(line.x >= InchUnits(395, dpiY) || w.xMin >= secondColumnPt - 1.0,
                         qPrintable(QStringLiteral("\"%1\" on the blank line at y %2 pt")
                                        .arg(w.text)
                                        .arg(yPt)));
            continue;
        }
        const QStringList want = simplified.split(QLatin1Char(' '));
        wordsExpected += want.size();
        QStringList got;
        for (int i = 0; i < row.size() && i < want.size(); ++i)
            got.append(row[i].text);
        QVERIFY2(got == want, qPrintable(QStringLiteral("at (%1, %2) pt expected \"%3\", found "
                                                        "\"%4\"")
                                             .arg(xPt)
                                             .arg(yPt)
                                             .arg(want.join(' '), got.join(' '))));
        QVERIFY2(qAbs(row.first().xMin - xPt) <= 0.5,
                 qPrintable(QStringLiteral("\"%1\" starts at x %2 pt, expected %3")
                                .arg(line.text)
                                .arg(row.first().xMin)
                                .arg(xPt)));
        QVERIFY2(qAbs(row.first().yMin - yPt) <= 1.5,
                 qPrintable(QStringLiteral("\"%1\" starts at y %2 pt, expected %3")
                                .arg(line.text)
                                .arg(row.first().yMin)
                                .arg(yPt)));
    }
    QStringList all;
    for (const PdfWord& w : words)
        all << w.text;
    QVERIFY2(words.size() == wordsExpected,
             qPrintable(QStringLiteral("%1 words printed, %2 expected: %3")
                            .arg(words.size())
                            .arg(wordsExpected)
                            .arg(all.join(' '))));
}

int SheetLineStep() {
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    return QFontMetrics(SheetFont(), &printer).size(Qt::TextSingleLine, "W").height();
}

} // namespace

class PrintMenuTest : public QObject {
    Q_OBJECT

    CupsQueue queue_;
    QString unavailable_; // why no private scheduler can run here; empty when it runs

    // Prints through the menu and returns the captured job; fails when an error box came up.
    QString PrintFromMenu(FormDriver& d, bool byMouse) {
        const QStringList before = queue_.jobFiles();
        BoxAnswerer boxes(QMessageBox::Ok);
        if (byMouse) {
            auto* bar = d.W<QMenuBar>("MainMenu1");
            const QRect place = bar->actionGeometry(d.Action("mnuPrint"));
            if (place.isEmpty())
                return {};
            QTest::mouseClick(bar, Qt::LeftButton, {}, place.center());
        } else {
            d.Trigger("mnuPrint");
        }
        if (!boxes.Seen().isEmpty()) {
            qWarning("printing showed: %s", qPrintable(boxes.Describe()));
            return {};
        }
        const QString pdf = queue_.waitForNewJob(before, 60000);
        if (pdf.isEmpty())
            qWarning("no job captured; scheduler log:\n%s", qPrintable(queue_.schedulerLog()));
        else if (queue_.jobFiles().size() != before.size() + 1) {
            qWarning("one print made %d jobs", int(queue_.jobFiles().size() - before.size()));
            return {};
        }
        return pdf;
    }

private slots:
    void initTestCase() {
        // When to offer the command needs no printer; only the printing tests are skipped.
        unavailable_ = CupsQueue::unavailableReason();
        if (!unavailable_.isEmpty())
            return;
        // libcups settles on its server at the first printer lookup of the process.
        queue_.useInThisProcess();
        QString error;
        QVERIFY2(queue_.start(&error), qPrintable(error));
        QVERIFY2(queue_.addPrinter(QStringLiteral("Sheet"), true, &error), qPrintable(error));
        QCOMPARE(QPrinterInfo::defaultPrinter().printerName(), QStringLiteral("Sheet"));
    }
    void init() {
        const bool printing =
            QByteArray(QTest::currentTestFunction()) != "offeredOnlyForAStoredContact";
        if (printing && !unavailable_.isEmpty())
            QSKIP(qPrintable(unavailable_));
    }
    void cleanupTestCase() { queue_.stop(); }

    void offeredOnlyForAStoredContact() {
        FormDriver d;
        QVERIFY(d.ListMode());
        QVERIFY(!d.Action("mnuPrint")->isVisible());

        d.Click("tlbarAddNewCust");
        QTRY_VERIFY(d.EditMode());
        QVERIFY(!d.Action("mnuPrint")->isVisible());
        d.Click("btnCancel");
        QTRY_VERIFY(d.ListMode());

        d.OpenCompany("Joes Bar and Grill");
        QTRY_VERIFY(d.EditMode());
        QVERIFY(d.Action("mnuPrint")->isVisible());
        // On the menu bar itself, where a click reaches it.
        QVERIFY(!d.W<QMenuBar>("MainMenu1")->actionGeometry(d.Action("mnuPrint")).isEmpty());

        d.Click("btnCancel");
        QTRY_VERIFY(d.ListMode());
        QVERIFY(!d.Action("mnuPrint")->isVisible());
    }

    void printsTheOpenContactOnTheDefaultPrinter() {
        FormDriver d;
        d.OpenCompany("Joes Bar and Grill");
        QTRY_VERIFY(d.EditMode());
        const QString id = d.Id();
        const QStringList editorBefore = EditorTexts(d);

        const QString pdf = PrintFromMenu(d, false);
        QVERIFY(!pdf.isEmpty());
        QCOMPARE(PdfText::PageCount(pdf), 1);
        QVERIFY2(PdfText::Fonts(pdf).contains("Bold"), qPrintable(PdfText::Fonts(pdf)));
        CheckPage(pdf, JoesSheet("Joes Bar and Grill", {"Notes about Joes Bar and Grill Here!"},
                                 SheetLineStep()));
        if (QTest::currentTestFailed())
            qInfo("captured job kept in %s", qPrintable(queue_.outDir()));

        // The window is as it was: same contact, same values, nothing to save.
        QVERIFY(d.EditMode());
        QCOMPARE(d.Id(), id);
        QVERIFY(!d.Enabled("btnSave"));
        QVERIFY(d.Action("mnuPrint")->isVisible());
        QCOMPARE(EditorTexts(d), editorBefore);
    }

    void printsUnsavedEditsWithWrappedNotes() {
        FormDriver d;
        d.OpenCompany("Joes Bar and Grill");
        QTRY_VERIFY(d.EditMode());
        const QString id = d.Id();

        // Focus arrives with the company selected; add to it rather than replace it.
        d.W("txtCustCmpnyName")->setFocus();
        QTest::keyClick(d.W("txtCustCmpnyName"), Qt::Key_End);
        d.Type("txtCustCmpnyName", " Two");
        const QString paragraph = QStringLiteral(
            "Deliveries come on Tuesdays and Fridays before nine in the morning, the back door "
            "is the one to use, and the kitchen manager signs for everything that arrives.");
        QWidget* notes = d.W("txtContNotes");
        notes->setFocus();
        QTest::keyClick(notes, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(notes, paragraph);
        const QStringList wrapped = d.Note("txtContNotes")->displayedLines();
        QVERIFY2(wrapped.size() >= 2, qPrintable(wrapped.join('|')));
        QVERIFY(d.Enabled("btnSave"));
        QCOMPARE(d.Edit("txtCustCmpnyName")->text(), QStringLiteral("Joes Bar and Grill Two"));
        const QStringList editorBefore = EditorTexts(d);

        // This time as the user does it: a click on the command in the menu bar.
        const QString pdf = PrintFromMenu(d, true);
        QVERIFY(!pdf.isEmpty());
        QCOMPARE(PdfText::PageCount(pdf), 1);
        CheckPage(pdf, JoesSheet("Joes Bar and Grill Two", wrapped, SheetLineStep()));

        // Still unsaved and still being edited.
        QVERIFY(d.EditMode());
        QVERIFY(d.Enabled("btnSave"));
        QCOMPARE(EditorTexts(d), editorBefore);
        QCOMPARE(d.Value(id.toInt(), "dbCustCompany"), QStringLiteral("Joes Bar and Grill"));
    }

    // Last: it takes the default printer away, first leaving another printer that is not the
    // default (which must not be used instead), then with no printer at all.
    void noDefaultPrinterIsReportedAndNothingPrints() {
        QString error;
        QVERIFY2(queue_.addPrinter(QStringLiteral("Spare"), false, &error), qPrintable(error));
        QVERIFY2(queue_.removePrinter(QStringLiteral("Sheet"), &error), qPrintable(error));
        QCOMPARE(QPrinterInfo::availablePrinterNames(), QStringList{"Spare"});
        QVERIFY(QPrinterInfo::defaultPrinter().isNull());

        FormDriver d;
        d.OpenCompany("Joes Bar and Grill");
        QTRY_VERIFY(d.EditMode());
        const QString id = d.Id();
        const QStringList editorBefore = EditorTexts(d);
        for (const bool anyPrinterLeft : {true, false}) {
            if (!anyPrinterLeft) {
                QVERIFY2(queue_.removePrinter(QStringLiteral("Spare"), &error), qPrintable(error));
                QVERIFY(QPrinterInfo::availablePrinterNames().isEmpty());
            }
            QString jobsBefore;
            QVERIFY(queue_.runTool("lpstat", {"-W", "all", "-o"}, &jobsBefore));
            {
                BoxAnswerer boxes(QMessageBox::Ok);
                d.Trigger("mnuPrint");
                QCOMPARE(boxes.Seen().size(), 1);
                const SeenBox& box = boxes.Seen().first();
                QCOMPARE(box.text,
                         QStringLiteral("There is no default printer currently selected."));
                QCOMPARE(box.caption, QStringLiteral("Vellicard"));
                QCOMPARE(box.icon, QMessageBox::Critical);
                QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            }

            // A job is with the scheduler by the time printing returns, so the scheduler's list
            // of every job it ever took, finished ones included, must not have grown.
            QString jobs;
            QVERIFY(queue_.runTool("lpstat", {"-W", "all", "-o"}, &jobs));
            QCOMPARE(jobs, jobsBefore);

            QVERIFY(d.EditMode());
            QCOMPARE(d.Id(), id);
            QVERIFY(!d.Enabled("btnSave"));
            QVERIFY(d.Action("mnuPrint")->isVisible());
            QCOMPARE(EditorTexts(d), editorBefore);
        }
    }
};

QTEST_MAIN(PrintMenuTest)
#include "test_printmenu.moc"

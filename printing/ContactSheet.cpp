#include "printing/ContactSheet.h"

#include "printing/HalfEvenRounding.h"

#include <cstdint>

namespace {

// Positions on the sheet are inches given in hundredths and scaled by the vertical resolution,
// also for the second column's x, so the layout keeps its proportions down the page.
struct Band {
    int notes;
    int heading;
    int phoneLine;
    int ruleBelow;
};

constexpr int kSecondColumn = 395;
constexpr int kCompany = 125;
constexpr int kPerson = 140;
constexpr int kStreet = 155;
constexpr int kCityLine = 170;
constexpr int kEmail = 155;
constexpr int kWebAddress = 170;
constexpr int kPhoneAndFax = 140;
constexpr int kContactNotes = 200;
constexpr int kFirstRule = 310;

// Written out rather than summed from the 0.9 inch pattern, so each band stands where it always
// has.
constexpr Band kBands[5] = {
    {320, 335, 350, 400}, {410, 425, 440, 490}, {500, 515, 530, 580},
    {590, 605, 620, 670}, {680, 695, 710, 760},
};

int InchPosition(int hundredths, int dpi) {
    return static_cast<int>(RoundHalfEven(std::int64_t{hundredths} * dpi, 100));
}

void DrawNotes(ISheetCanvas& canvas, int x, int y, const QStringList& lines) {
    const int lineCount = lines.size();
    if (lineCount == 0)
        return;
    const int lineStep = canvas.textHeight(QStringLiteral("W"));
    for (int i = 0; i < lineCount; ++i) {
        canvas.drawText(x, y, lines.at(i));
        y += lineStep;
    }
}

void DrawRule(ISheetCanvas& canvas, const PrintArea& area, int y) {
    canvas.drawLine(PrintLeftX(area), y, PrintRightX(area), y);
}

} // namespace

void DrawContactSheet(ISheetCanvas& canvas, const PrintArea& area, const ContactSheetData& data) {
    const int leftX = PrintLeftX(area);
    const int secondColumnX = InchPosition(kSecondColumn, area.dpiY);
    const auto at = [&area](int hundredths) { return InchPosition(hundredths, area.dpiY); };

    canvas.drawText(leftX, at(kCompany), data.company);
    canvas.drawText(leftX, at(kPerson), data.firstName + QLatin1Char(' ') + data.lastName);
    canvas.drawText(leftX, at(kStreet), data.address);
    canvas.drawText(leftX, at(kCityLine), data.cityStateZip);
    canvas.drawText(secondColumnX, at(kEmail), data.email);
    canvas.drawText(secondColumnX, at(kWebAddress), data.webAddress);
    canvas.drawText(secondColumnX, at(kPhoneAndFax),
                    QStringLiteral("Phone: ") + data.phone + QStringLiteral(" ") +
                        QStringLiteral("Fax: ") + data.fax);
    DrawNotes(canvas, leftX, at(kContactNotes), data.notes);
    DrawRule(canvas, area, at(kFirstRule));

    for (int n = 0; n < 5; ++n) {
        const ExtraContactSheetData& extra = data.extras[n];
        const Band& band = kBands[n];
        canvas.drawText(leftX, at(band.heading), extra.title + QLatin1Char(' ') + extra.name);
        canvas.drawText(leftX, at(band.phoneLine),
                        QStringLiteral("Phone: ") + extra.phone + QStringLiteral(" ") +
                            QStringLiteral("ext: ") + extra.extension + QStringLiteral("  ") +
                            QStringLiteral("Fax: ") + extra.fax);
        DrawNotes(canvas, secondColumnX, at(band.notes), extra.notes);
        DrawRule(canvas, area, at(band.ruleBelow));
    }
}

#include "printing/unitPrintArea.h"

#include "printing/HalfEvenRounding.h"

namespace {

// Half an inch horizontally, an exact half rounded to the even neighbour (203 dpi gives 102,
// 301 dpi gives 150).
int HalfInch(const PrintArea& area) {
    return static_cast<int>(RoundHalfEven(area.dpiX, 2));
}

} // namespace

int RightUnprintable(const PrintArea& area) {
    return area.pageWidth - area.leftOffset - area.printableWidth;
}

int SideMargin(const PrintArea& area) {
    const int left = area.leftOffset;
    const int right = RightUnprintable(area);
    const int widerStrip = left < right ? right : left;
    const int halfInch = HalfInch(area);
    return widerStrip < halfInch ? halfInch : widerStrip;
}

int PrintLeftX(const PrintArea& area) {
    const int left = area.leftOffset;
    const int margin = SideMargin(area);
    return left < margin ? margin - left : 0;
}

// Deliberately not the mirror of PrintLeftX: the rules end pageWidth - 2 * SideMargin +
// leftOffset, which is where the sheet's layout has always put them.
int PrintRightX(const PrintArea& area) {
    return area.pageWidth - 2 * SideMargin(area) + area.leftOffset;
}

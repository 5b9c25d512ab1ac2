#include "unitPrintArea.h"

#include "DefaultPrinterCaps.h"
#include "HalfEvenRounding.h"

#include <cstdint>

namespace {

IPrinterCaps* installedSource = nullptr;

IPrinterCaps& Caps() {
    static DefaultPrinterCaps defaultSource;
    return installedSource ? *installedSource : defaultSource;
}

// Half an inch horizontally, an exact half rounded to the even neighbour (203 dpi gives 102,
// 301 dpi gives 150).
int HalfInch() {
    return static_cast<int>(RoundHalfEven(PrinterDpiX(), 2));
}

} // namespace

IPrinterCaps* SetPrinterCapsSource(IPrinterCaps* source) {
    IPrinterCaps* previous = installedSource;
    installedSource = source;
    return previous;
}

int PageWidth() {
    return Caps().PhysicalWidth();
}

int LeftOffset() {
    return Caps().PhysicalOffsetX();
}

int PrinterDpiX() {
    return Caps().LogPixelsX();
}

int PrinterDpiY() {
    return Caps().LogPixelsY();
}

int RightUnprintable() {
    return PageWidth() - LeftOffset() - Caps().HorzRes();
}

int SideMargin() {
    const int left = LeftOffset();
    const int right = RightUnprintable();
    const int widerStrip = left < right ? right : left;
    const int halfInch = HalfInch();
    return widerStrip < halfInch ? halfInch : widerStrip;
}

int PrintLeftX() {
    const int left = LeftOffset();
    const int margin = SideMargin();
    return left < margin ? margin - left : 0;
}

// Deliberately not the mirror of PrintLeftX: the rules end PageWidth - 2 * SideMargin +
// LeftOffset, which is where the sheet's layout has always put them.
int PrintRightX() {
    return PageWidth() - 2 * SideMargin() + LeftOffset();
}

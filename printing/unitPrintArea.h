#pragma once

class IPrinterCaps;

// Page metrics of the current printer in its device units. Nothing is cached: every call asks
// the installed capability source again. The printer canvas has its origin at the top-left of
// the printable area, LeftOffset units right of the paper's left edge.

int PageWidth();
int LeftOffset();
int PrinterDpiX();
int PrinterDpiY();
// Width of the unprintable strip at the right paper edge.
int RightUnprintable();
// Margin kept on both sides, from the paper edge: never less than either unprintable strip
// nor than half an inch.
int SideMargin();
// Canvas x where the sheet's text starts.
int PrintLeftX();
// Canvas x where the sheet's rules end.
int PrintRightX();

// Installs the source the metrics ask; nullptr puts back the default, a printer object made for
// the default printer on each question. Returns the source that was installed before.
// The caller keeps ownership.
IPrinterCaps* SetPrinterCapsSource(IPrinterCaps* source);

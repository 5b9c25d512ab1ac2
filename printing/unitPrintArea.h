#pragma once

// The figures of one printer's page that the sheet is laid out from, in that printer's device
// units (dots per inch for the two resolutions). The printer canvas has its origin at the
// top-left of the printable area, leftOffset units right of the paper's left edge.
struct PrintArea {
    int pageWidth = 0;      // the whole sheet of paper
    int leftOffset = 0;     // the unprintable strip at the left paper edge
    int printableWidth = 0; // the printable area
    int dpiX = 0;
    int dpiY = 0;
};

// Width of the unprintable strip at the right paper edge.
int RightUnprintable(const PrintArea& area);
// Margin kept on both sides, from the paper edge: never less than either unprintable strip
// nor than half an inch.
int SideMargin(const PrintArea& area);
// Canvas x where the sheet's text starts.
int PrintLeftX(const PrintArea& area);
// Canvas x where the sheet's rules end.
int PrintRightX(const PrintArea& area);

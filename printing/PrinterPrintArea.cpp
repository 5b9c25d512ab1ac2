#include "printing/PrinterPrintArea.h"

#include <QPrinter>
#include <QtMath>

// In device pixels the page rectangles come from QPageLayout's pixel conversion and are whole
// numbers already; qRound only turns the QRectF values back into int.
PrintArea PrintAreaOf(const QPrinter& printer) {
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    // The page rectangle is given relative to the paper, so its left edge is the left strip.
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    PrintArea area;
    area.pageWidth = qRound(paper.width());
    area.leftOffset = qRound(page.left());
    area.printableWidth = qRound(page.width());
    area.dpiX = printer.logicalDpiX();
    area.dpiY = printer.logicalDpiY();
    return area;
}

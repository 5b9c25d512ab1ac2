#include "PrinterDeviceCaps.h"

#include <QPrinter>
#include <QtMath>

// In device pixels the page rectangles come from QPageLayout's pixel conversion and are whole
// numbers already; qRound only turns the QRectF values back into int.

int PrinterDeviceCaps::PhysicalWidth() {
    return qRound(printer_.paperRect(QPrinter::DevicePixel).width());
}

int PrinterDeviceCaps::PhysicalOffsetX() {
    // The page rectangle is given relative to the paper, so its left edge is the left strip.
    return qRound(printer_.pageRect(QPrinter::DevicePixel).left());
}

int PrinterDeviceCaps::HorzRes() {
    return qRound(printer_.pageRect(QPrinter::DevicePixel).width());
}

int PrinterDeviceCaps::LogPixelsX() {
    return printer_.logicalDpiX();
}

int PrinterDeviceCaps::LogPixelsY() {
    return printer_.logicalDpiY();
}

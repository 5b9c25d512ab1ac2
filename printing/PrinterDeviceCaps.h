#pragma once

#include "IPrinterCaps.h"

class QPrinter;

// Reads the device capabilities of one QPrinter, in its device pixels. The printer must outlive
// this object.
class PrinterDeviceCaps : public IPrinterCaps {
public:
    explicit PrinterDeviceCaps(QPrinter& printer) : printer_(printer) {}

    int PhysicalWidth() override;
    int PhysicalOffsetX() override;
    int HorzRes() override;
    int LogPixelsX() override;
    int LogPixelsY() override;

private:
    QPrinter& printer_;
};

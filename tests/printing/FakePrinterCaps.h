#pragma once

#include "IPrinterCaps.h"

// A printer of any geometry for the layout and metric tests. Values may be changed between calls
// to see that nothing is cached.
struct FakePrinterCaps : IPrinterCaps {
    int physicalWidth = 5100;
    int physicalOffsetX = 100;
    int horzRes = 4900;
    int dpiX = 600;
    int dpiY = 600;

    int PhysicalWidth() override { return physicalWidth; }
    int PhysicalOffsetX() override { return physicalOffsetX; }
    int HorzRes() override { return horzRes; }
    int LogPixelsX() override { return dpiX; }
    int LogPixelsY() override { return dpiY; }
};

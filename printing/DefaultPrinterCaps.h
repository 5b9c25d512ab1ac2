#pragma once

#include "IPrinterCaps.h"

// Answers every question from a printer object made for the current default printer at that
// moment, so nothing is cached and a change of the default printer is seen by the next call.
// Throws std::runtime_error when there is no default printer.
class DefaultPrinterCaps : public IPrinterCaps {
public:
    int PhysicalWidth() override;
    int PhysicalOffsetX() override;
    int HorzRes() override;
    int LogPixelsX() override;
    int LogPixelsY() override;
};

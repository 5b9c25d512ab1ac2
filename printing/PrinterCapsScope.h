#pragma once

#include "unitPrintArea.h"

// Makes the page metrics ask the given source while the scope lives, then puts back whatever was
// installed before, also when an exception leaves the scope.
class PrinterCapsScope {
public:
    explicit PrinterCapsScope(IPrinterCaps* source) : previous_(SetPrinterCapsSource(source)) {}
    ~PrinterCapsScope() { SetPrinterCapsSource(previous_); }
    PrinterCapsScope(const PrinterCapsScope&) = delete;
    PrinterCapsScope& operator=(const PrinterCapsScope&) = delete;

private:
    IPrinterCaps* previous_;
};

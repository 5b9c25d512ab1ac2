#pragma once

#include <QPrinterInfo>

// The message the platform gives when no printer is chosen as the default.
inline constexpr const char* kNoDefaultPrinterMessage =
    "There is no default printer currently selected";

// The current default printer, looked up afresh; throws std::runtime_error with
// kNoDefaultPrinterMessage when there is none.
QPrinterInfo RequireDefaultPrinter();

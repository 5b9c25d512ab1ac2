#include "DefaultPrinterCaps.h"

#include "DefaultPrinter.h"
#include "PrinterDeviceCaps.h"

#include <QPrinter>

namespace {

// The print job uses the same printer mode, so metrics asked outside a job match the job's own.
template <typename Query> int AskDefaultPrinter(Query query) {
    QPrinter printer(RequireDefaultPrinter(), QPrinter::HighResolution);
    PrinterDeviceCaps caps(printer);
    return query(caps);
}

} // namespace

int DefaultPrinterCaps::PhysicalWidth() {
    return AskDefaultPrinter([](PrinterDeviceCaps& c) { return c.PhysicalWidth(); });
}

int DefaultPrinterCaps::PhysicalOffsetX() {
    return AskDefaultPrinter([](PrinterDeviceCaps& c) { return c.PhysicalOffsetX(); });
}

int DefaultPrinterCaps::HorzRes() {
    return AskDefaultPrinter([](PrinterDeviceCaps& c) { return c.HorzRes(); });
}

int DefaultPrinterCaps::LogPixelsX() {
    return AskDefaultPrinter([](PrinterDeviceCaps& c) { return c.LogPixelsX(); });
}

int DefaultPrinterCaps::LogPixelsY() {
    return AskDefaultPrinter([](PrinterDeviceCaps& c) { return c.LogPixelsY(); });
}

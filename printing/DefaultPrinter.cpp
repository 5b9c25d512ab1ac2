#include "printing/DefaultPrinter.h"

#include <stdexcept>

QPrinterInfo RequireDefaultPrinter() {
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        throw std::runtime_error(kNoDefaultPrinterMessage);
    return info;
}

#include "PrintJob.h"

#include "DefaultPrinter.h"
#include "PainterCanvas.h"
#include "PrinterCapsScope.h"
#include "PrinterDeviceCaps.h"

#include <QFont>
#include <QPainter>
#include <QPrinter>

#include <stdexcept>

void RunSheetPrintJob(const std::function<void(ISheetCanvas&)>& draw) {
    QPrinter printer(RequireDefaultPrinter(), QPrinter::HighResolution);

    // While the job runs the metrics must describe this job's printer, not a fresh lookup.
    PrinterDeviceCaps jobCaps(printer);
    PrinterCapsScope capsScope(&jobCaps);

    QPainter painter;
    if (!painter.begin(&printer))
        throw std::runtime_error("The print job could not be started");
    try {
        QFont font = painter.font();
        font.setFamily(QStringLiteral("Arial"));
        font.setBold(true);
        // Qt's default size is not the 8 points the sheet is laid out for.
        font.setPointSize(8);
        painter.setFont(font);

        PainterCanvas canvas(painter);
        draw(canvas);
    } catch (...) {
        painter.end();
        throw;
    }
    painter.end();
}

void PrintContactSheet(const ContactSheetData& data) {
    RunSheetPrintJob([&data](ISheetCanvas& canvas) { DrawContactSheet(canvas, data); });
}

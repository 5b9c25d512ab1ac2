#include "printing/PrintJob.h"

#include "printing/DefaultPrinter.h"
#include "printing/PainterCanvas.h"
#include "printing/PrinterPrintArea.h"

#include <QFont>
#include <QPainter>
#include <QPrinter>

#include <stdexcept>

void RunSheetPrintJob(const std::function<void(ISheetCanvas&, const PrintArea&)>& draw) {
    QPrinter printer(RequireDefaultPrinter(), QPrinter::HighResolution);

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

        // Read from the started job, so the figures describe the very page being printed.
        const PrintArea area = PrintAreaOf(printer);
        PainterCanvas canvas(painter);
        draw(canvas, area);
    } catch (...) {
        painter.end();
        throw;
    }
    painter.end();
}

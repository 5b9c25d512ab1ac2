#include "printing/PainterCanvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPoint>

void PainterCanvas::drawText(int x, int y, const QString& text) {
    // QPainter places text by its baseline; the sheet gives the top of the line.
    const QFontMetrics metrics = painter_.fontMetrics();
    painter_.drawText(QPoint(x, y + metrics.ascent()), text);
}

int PainterCanvas::textHeight(const QString& text) {
    return painter_.fontMetrics().size(Qt::TextSingleLine, text).height();
}

void PainterCanvas::drawLine(int x1, int y1, int x2, int y2) {
    painter_.drawLine(x1, y1, x2, y2);
}

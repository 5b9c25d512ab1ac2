#pragma once

#include "printing/SheetCanvas.h"

class QPainter;

// The sheet canvas over a QPainter that is already active on its device. Uses the painter's
// current font and pen and changes neither.
class PainterCanvas : public ISheetCanvas {
public:
    explicit PainterCanvas(QPainter& painter) : painter_(painter) {}

    void drawText(int x, int y, const QString& text) override;
    int textHeight(const QString& text) override;
    void drawLine(int x1, int y1, int x2, int y2) override;

private:
    QPainter& painter_;
};

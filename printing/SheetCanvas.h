#pragma once

#include <QString>

// What the contact sheet needs of a drawing surface. Coordinates are device units with the origin
// at the top-left of the printable area.
class ISheetCanvas {
public:
    virtual ~ISheetCanvas() = default;

    // One line of text, left-aligned, its top-left corner at (x, y); never clipped or wrapped.
    virtual void drawText(int x, int y, const QString& text) = 0;
    // Height of the text in the current font.
    virtual int textHeight(const QString& text) = 0;
    // A straight line in the current pen.
    virtual void drawLine(int x1, int y1, int x2, int y2) = 0;
};

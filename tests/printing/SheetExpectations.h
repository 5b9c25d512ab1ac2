#pragma once

// What the printed sheet should look like, worked out independently of the printing code.

#include <QFont>
#include <QtGlobal>

// The sheet's font: "Arial" bold at 8 points.
inline QFont SheetFont() {
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPointSize(8);
    return font;
}

// Hundredths of an inch in device units of the given resolution, an exact half to the even
// neighbour.
inline int InchUnits(int hundredths, int dpi) {
    const qint64 p = qint64(hundredths) * dpi;
    qint64 q = p / 100;
    const qint64 r = p % 100;
    if (r > 50 || (r == 50 && q % 2))
        ++q;
    return int(q);
}

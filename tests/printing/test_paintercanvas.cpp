#include "printing/PainterCanvas.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QtTest>

namespace {

bool IsInk(QRgb pixel) {
    return qGray(pixel) < 128;
}

// Smallest rectangle holding every dark pixel.
QRect InkBounds(const QImage& image) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (IsInk(image.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// A white page at 600 dots per inch, like a printer's.
QImage Page() {
    QImage image(600, 300, QImage::Format_RGB32);
    const int dotsPerMeter = qRound(600 / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    return image;
}

QFont SheetFont() {
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPointSize(8);
    return font;
}

} // namespace

class TestPainterCanvas : public QObject {
    Q_OBJECT

private slots:
    void textHangsBelowItsTopLeft();
    void textHeightIsOneLineOfTheFont();
    void lineIsOneDeviceUnit();
};

void TestPainterCanvas::textHangsBelowItsTopLeft() {
    QImage image = Page();
    QPainter painter(&image);
    painter.setFont(SheetFont());
    const QFontMetrics metrics = painter.fontMetrics();
    const QPen penBefore = painter.pen();
    PainterCanvas canvas(painter);
    canvas.drawText(40, 50, QStringLiteral("W"));
    QCOMPARE(painter.font(), SheetFont());
    QCOMPARE(painter.pen(), penBefore);
    painter.end();

    // A capital stands on the baseline, one ascent below the given top; its ink begins a
    // little under the top (the font's internal leading) and never above it.
    const QRect ink = InkBounds(image);
    QVERIFY(!ink.isNull());
    QVERIFY2(ink.top() >= 50, qPrintable(QString::number(ink.top())));
    QVERIFY2(ink.top() <= 50 + metrics.ascent() / 3, qPrintable(QString::number(ink.top())));
    QVERIFY2(qAbs(ink.bottom() + 1 - (50 + metrics.ascent())) <= 2,
             qPrintable(QString::number(ink.bottom())));
    QVERIFY2(ink.left() >= 38 && ink.left() <= 46, qPrintable(QString::number(ink.left())));
    // 8 points at 600 dots per inch is about 67 device units: a capital is most of that.
    QVERIFY(ink.height() > 35 && ink.height() < 67);
}

void TestPainterCanvas::textHeightIsOneLineOfTheFont() {
    QImage image = Page();
    QPainter painter(&image);
    painter.setFont(SheetFont());
    PainterCanvas canvas(painter);
    const QFontMetrics metrics = painter.fontMetrics();
    QCOMPARE(canvas.textHeight(QStringLiteral("W")), metrics.height());
    // Liberation Sans (Arial's stand-in) is 1.149 em tall: about 77 units at 8 points, 600 dpi.
    QVERIFY2(qAbs(canvas.textHeight(QStringLiteral("W")) - 77) <= 3,
             qPrintable(QString::number(canvas.textHeight(QStringLiteral("W")))));
}

void TestPainterCanvas::lineIsOneDeviceUnit() {
    QImage image = Page();
    QPainter painter(&image);
    PainterCanvas canvas(painter);
    canvas.drawLine(10, 100, 500, 100);
    painter.end();

    QCOMPARE(InkBounds(image), QRect(QPoint(10, 100), QPoint(500, 100)));
}

QTEST_MAIN(TestPainterCanvas)
#include "test_paintercanvas.moc"

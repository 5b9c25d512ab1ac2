#include "FakePrinterCaps.h"
#include "HalfEvenRounding.h"
#include "PrinterCapsScope.h"
#include "unitPrintArea.h"

#include <QtTest>

#include <stdexcept>

class TestPrintArea : public QObject {
    Q_OBJECT

private slots:
    void metrics_data();
    void metrics();
    void halfInchRoundsToEven_data();
    void halfInchRoundsToEven();
    void halfInchFollowsHorizontalResolution();
    void everyCallAsksAgain();
    void scopeRestoresPreviousSourceOnException();
    void roundHalfEvenHandlesSignsAndHalves();
};

void TestPrintArea::metrics_data() {
    QTest::addColumn<int>("pageWidth");
    QTest::addColumn<int>("leftOffset");
    QTest::addColumn<int>("horzRes");
    QTest::addColumn<int>("rightUnprintable");
    QTest::addColumn<int>("sideMargin");
    QTest::addColumn<int>("printLeftX");
    QTest::addColumn<int>("printRightX");

    QTest::newRow("narrow strips") << 5100 << 100 << 4900 << 100 << 300 << 200 << 4600;
    QTest::newRow("borderless") << 5100 << 0 << 5100 << 0 << 300 << 300 << 4500;
    // Rules reach past the printable width of 4300 here; the device clips them.
    QTest::newRow("unequal strips above half inch")
        << 5100 << 350 << 4300 << 450 << 450 << 100 << 4550;
    QTest::newRow("left strip equals margin") << 5100 << 300 << 4500 << 300 << 300 << 0 << 4800;
    QTest::newRow("left strip widest") << 5100 << 400 << 4600 << 100 << 400 << 0 << 4700;
    QTest::newRow("right strip widest") << 5100 << 50 << 4650 << 400 << 400 << 350 << 4350;
}

void TestPrintArea::metrics() {
    QFETCH(int, pageWidth);
    QFETCH(int, leftOffset);
    QFETCH(int, horzRes);

    FakePrinterCaps caps;
    caps.physicalWidth = pageWidth;
    caps.physicalOffsetX = leftOffset;
    caps.horzRes = horzRes;
    PrinterCapsScope scope(&caps);

    QCOMPARE(PageWidth(), pageWidth);
    QCOMPARE(LeftOffset(), leftOffset);
    QCOMPARE(PrinterDpiX(), 600);
    QCOMPARE(PrinterDpiY(), 600);
    QTEST(RightUnprintable(), "rightUnprintable");
    QTEST(SideMargin(), "sideMargin");
    QTEST(PrintLeftX(), "printLeftX");
    QTEST(PrintRightX(), "printRightX");
}

void TestPrintArea::halfInchRoundsToEven_data() {
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("halfInch");
    QTest::newRow("203 (101.5 up to even)") << 203 << 102;
    QTest::newRow("301 (150.5 down to even)") << 301 << 150;
    QTest::newRow("300") << 300 << 150;
    QTest::newRow("1200") << 1200 << 600;
    QTest::newRow("72") << 72 << 36;
    QTest::newRow("1") << 1 << 0;
    QTest::newRow("3") << 3 << 2;
}

void TestPrintArea::halfInchRoundsToEven() {
    QFETCH(int, dpi);
    QFETCH(int, halfInch);
    FakePrinterCaps caps;
    caps.dpiX = dpi;
    caps.physicalWidth = 2000;
    caps.physicalOffsetX = 0;
    caps.horzRes = 2000; // borderless, so the margin is the half inch itself
    PrinterCapsScope scope(&caps);

    QCOMPARE(SideMargin(), halfInch);
    QCOMPARE(PrintLeftX(), halfInch);
    QCOMPARE(PrintRightX(), 2000 - 2 * halfInch);
}

void TestPrintArea::halfInchFollowsHorizontalResolution() {
    FakePrinterCaps caps;
    caps.physicalOffsetX = 0;
    caps.horzRes = 5100;
    caps.dpiX = 600;
    caps.dpiY = 300;
    PrinterCapsScope scope(&caps);
    QCOMPARE(SideMargin(), 300);
    QCOMPARE(PrinterDpiY(), 300);

    caps.dpiX = 300;
    caps.dpiY = 600;
    QCOMPARE(SideMargin(), 150);
}

void TestPrintArea::everyCallAsksAgain() {
    FakePrinterCaps caps;
    PrinterCapsScope scope(&caps);
    QCOMPARE(PrintLeftX(), 200);

    // Another printer becomes current: the very next call sees it.
    caps.physicalWidth = 2550;
    caps.physicalOffsetX = 25;
    caps.horzRes = 2500;
    caps.dpiX = caps.dpiY = 300;
    QCOMPARE(PageWidth(), 2550);
    QCOMPARE(RightUnprintable(), 25);
    QCOMPARE(SideMargin(), 150);
    QCOMPARE(PrintLeftX(), 125);
    QCOMPARE(PrintRightX(), 2275);
}

void TestPrintArea::scopeRestoresPreviousSourceOnException() {
    FakePrinterCaps outer;
    FakePrinterCaps inner;
    inner.physicalWidth = 1234;
    PrinterCapsScope outerScope(&outer);
    try {
        PrinterCapsScope innerScope(&inner);
        QCOMPARE(PageWidth(), 1234);
        throw std::runtime_error("drawing failed");
    } catch (const std::runtime_error&) {
    }
    QCOMPARE(PageWidth(), 5100);
}

void TestPrintArea::roundHalfEvenHandlesSignsAndHalves() {
    QCOMPARE(RoundHalfEven(395 * 150, 100), 592); // 592.5
    QCOMPARE(RoundHalfEven(125 * 150, 100), 188); // 187.5
    QCOMPARE(RoundHalfEven(1249, 100), 12);       // 12.49
    QCOMPARE(RoundHalfEven(1251, 100), 13);       // 12.51
    QCOMPARE(RoundHalfEven(-250, 100), -2);       // -2.5
    QCOMPARE(RoundHalfEven(-350, 100), -4);       // -3.5
    QCOMPARE(RoundHalfEven(-251, 100), -3);       // -2.51
    QCOMPARE(RoundHalfEven(0, 7), 0);
}

QTEST_GUILESS_MAIN(TestPrintArea)
#include "test_printarea.moc"

#include "printing/HalfEvenRounding.h"
#include "printing/unitPrintArea.h"

#include <QtTest>

class TestPrintArea : public QObject {
    Q_OBJECT

private slots:
    void metrics_data();
    void metrics();
    void halfInchRoundsToEven_data();
    void halfInchRoundsToEven();
    void halfInchFollowsHorizontalResolution();
    void roundHalfEvenHandlesSignsAndHalves();
};

void TestPrintArea::metrics_data() {
    QTest::addColumn<int>("pageWidth");
    QTest::addColumn<int>("leftOffset");
    QTest::addColumn<int>("printableWidth");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("rightUnprintable");
    QTest::addColumn<int>("sideMargin");
    QTest::addColumn<int>("printLeftX");
    QTest::addColumn<int>("printRightX");

    QTest::newRow("narrow strips") << 5100 << 100 << 4900 << 600 << 100 << 300 << 200 << 4600;
    QTest::newRow("borderless") << 5100 << 0 << 5100 << 600 << 0 << 300 << 300 << 4500;
    // Rules reach past the printable width of 4300 here; the device clips them.
    QTest::newRow("unequal strips above half inch")
        << 5100 << 350 << 4300 << 600 << 450 << 450 << 100 << 4550;
    QTest::newRow("left strip equals margin")
        << 5100 << 300 << 4500 << 600 << 300 << 300 << 0 << 4800;
    QTest::newRow("left strip widest") << 5100 << 400 << 4600 << 600 << 100 << 400 << 0 << 4700;
    QTest::newRow("right strip widest") << 5100 << 50 << 4650 << 600 << 400 << 400 << 350 << 4350;
    QTest::newRow("300 dpi narrow strips") << 2550 << 25 << 2500 << 300 << 25 << 150 << 125 << 2275;
}

void TestPrintArea::metrics() {
    QFETCH(int, pageWidth);
    QFETCH(int, leftOffset);
    QFETCH(int, printableWidth);
    QFETCH(int, dpi);
    const PrintArea area{pageWidth, leftOffset, printableWidth, dpi, dpi};

    QTEST(RightUnprintable(area), "rightUnprintable");
    QTEST(SideMargin(area), "sideMargin");
    QTEST(PrintLeftX(area), "printLeftX");
    QTEST(PrintRightX(area), "printRightX");
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
    // Borderless, so the margin is the half inch itself.
    const PrintArea area{2000, 0, 2000, dpi, 600};

    QCOMPARE(SideMargin(area), halfInch);
    QCOMPARE(PrintLeftX(area), halfInch);
    QCOMPARE(PrintRightX(area), 2000 - 2 * halfInch);
}

void TestPrintArea::halfInchFollowsHorizontalResolution() {
    QCOMPARE(SideMargin(PrintArea{5100, 0, 5100, 600, 300}), 300);
    QCOMPARE(SideMargin(PrintArea{5100, 0, 5100, 300, 600}), 150);
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

// The editor's keyboard order: one ring through the window. Tab walks the group box's fields,
// Save, Cancel, Delete, the tab row, then the fields of the page in front, and comes back to the
// company field; Shift+Tab walks it backwards. The orders are written out here as data.
#include "tests/ui/FormDriver.h"

#include <QMenuBar>
#include <QTabBar>

namespace {
const QStringList kGroupBox = {
    "txtCustCmpnyName", "txtCustFrstName",   "txtCustLstName", "txtCustAddress", "txtCtyStZip",
    "txtCustEmail",     "txtCustWebAddress", "txtCustPhone",   "txtCustFax",     "btnSave",
    "btnCancel",        "btnDelete",         "PageControl1"};

// The focused control's name; the tab row stands for its tab control.
QString FocusName() {
    QWidget* w = QApplication::focusWidget();
    if (!w)
        return "<none>";
    if (qobject_cast<QTabBar*>(w) && w->parentWidget())
        return w->parentWidget()->objectName();
    return w->objectName();
}

// Presses the key until the focus is back where it started (or far too often), recording each
// control reached.
QStringList Walk(Qt::KeyboardModifiers modifiers, int limit = 40) {
    const QString start = FocusName();
    QStringList seen = {start};
    for (int i = 0; i < limit; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
        const QString now = FocusName();
        if (now == seen.last())
            return seen << now + " (kept the focus)";
        seen << now;
        if (now == start)
            break;
    }
    return seen;
}
} // namespace

class KeyboardRingTest : public QObject {
    Q_OBJECT
private slots:
    // F10 alone opens the menu bar's first menu; with Shift, Ctrl or Alt it is another key and
    // leaves the bar alone.
    void f10AloneOpensTheMenu_data() {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("opens");
        QTest::newRow("F10") << int(Qt::NoModifier) << true;
        QTest::newRow("Shift+F10") << int(Qt::ShiftModifier) << false;
        QTest::newRow("Ctrl+F10") << int(Qt::ControlModifier) << false;
        QTest::newRow("Alt+F10") << int(Qt::AltModifier) << false;
    }
    void f10AloneOpensTheMenu() {
        QFETCH(int, modifiers);
        QFETCH(bool, opens);
        FormDriver d;
        auto* bar = d.W<QMenuBar>("MainMenu1");
        QVERIFY(bar && !bar->activeAction());
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, Qt::Key_F10, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(bar->activeAction() != nullptr, opens);
        QCOMPARE(QApplication::activePopupWidget() != nullptr, opens);
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }

    void ring_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("pageOrder");
        QTest::newRow("Notes") << 0 << QStringList{"txtContNotes"};
        for (int n = 1; n <= 5; ++n) {
            QStringList order;
            for (const char* base :
                 {"txtExtraName", "txtExtraTitle", "txtExtraPhone", "txtExtraPhoneExt",
                  "txtExtraFax", "txtExtraNotes", "txtExtraEmail"})
                order << QString("%1%2").arg(base).arg(n);
            QTest::newRow(qPrintable(QString("Extra Contact %1").arg(n))) << n << order;
        }
    }

    void ring() {
        QFETCH(int, page);
        QFETCH(QStringList, pageOrder);
        FormDriver d;
        d.OpenCompany("Joes Bar and Grill");
        d.Type("txtCustAddress", "x"); // Save enabled: every button is on the ring
        QVERIFY(d.Enabled("btnSave") && d.Enabled("btnCancel") && d.Enabled("btnDelete"));
        d.W<QTabWidget>("PageControl1")->setCurrentIndex(page);
        d.W("txtCustCmpnyName")->setFocus();

        const QStringList forward = QStringList(kGroupBox) << pageOrder << kGroupBox.first();
        QCOMPARE(Walk(Qt::NoModifier).join(", "), forward.join(", "));
        QStringList backward = forward;
        std::reverse(backward.begin(), backward.end());
        QCOMPARE(Walk(Qt::ShiftModifier).join(", "), backward.join(", "));
        QCOMPARE(d.W<QTabWidget>("PageControl1")->currentIndex(), page);
    }
};

QTEST_MAIN(KeyboardRingTest)
#include "test_keyboardring.moc"

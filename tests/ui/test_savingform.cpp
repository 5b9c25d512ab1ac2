// The busy indicator: its window, its fill counter driven tick by tick, the close rule and the
// one-window-at-a-time rule.
#include "frmSaving.h"

#include <QKeyEvent>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

namespace {
void Tick(int times = 1) {
    for (int i = 0; i < times; ++i)
        QVERIFY(QMetaObject::invokeMethod(SavingForm, "tmrFrmSavingTimer"));
}
} // namespace

class SavingFormTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        // Let any indicator a test left behind finish and go away.
        QTRY_VERIFY_WITH_TIMEOUT(SavingForm == nullptr, 30000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void showBusyMakesOneIndicator() {
        QVERIFY(SavingForm == nullptr);
        ShowBusy("Saving Contact Information...");
        QVERIFY(SavingForm != nullptr);
        QCOMPARE(SavingForm->objectName(), QString("SavingForm"));
        QCOMPARE(SavingForm->windowTitle(), QString("Saving Contact Information..."));
        QVERIFY(SavingForm->isVisible());
        QVERIFY(!SavingForm->isModal());
        QCOMPARE(SavingForm->size(), QSize(296, 56));
        const Qt::WindowFlags flags = SavingForm->windowFlags();
        QVERIFY(flags & Qt::WindowStaysOnTopHint);
        QVERIFY(!(flags & Qt::WindowCloseButtonHint));
        QVERIFY(!(flags & Qt::WindowSystemMenuHint));
        QCOMPARE(SavingForm->prgbarSaving()->geometry(), QRect(8, 19, 280, 17));
        QCOMPARE(SavingForm->prgbarSaving()->maximum(), 100);
        QCOMPARE(SavingForm->tmrFrmSaving()->interval(), 10);
        QCOMPARE(TSavingForm::Counter(), 0);

        TSavingForm* first = SavingForm;
        Tick(3);
        ShowBusy("Deleting Contact Information...");
        QCOMPARE(SavingForm, first);
        QCOMPARE(SavingForm->windowTitle(), QString("Saving Contact Information..."));
        QCOMPARE(TSavingForm::Counter(), 6);
        QCOMPARE(SavingForm->prgbarSaving()->value(), 6);
    }

    void closeRefusedUntilHalfFull() {
        ShowBusy("Building DataBase...");
        SavingForm->tmrFrmSaving()->stop(); // the test drives the ticks itself
        QPointer<TSavingForm> form = SavingForm;
        Tick(24);
        QCOMPARE(TSavingForm::Counter(), 48);
        CloseBusy();
        QVERIFY(SavingForm == form);
        QVERIFY(form->isVisible());
        // Escape must not get round the rule.
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(form, &escape);
        QVERIFY(form->isVisible());

        Tick();
        QCOMPARE(TSavingForm::Counter(), 50);
        CloseBusy();
        QVERIFY(SavingForm == nullptr); // emptied at once
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(form.isNull()); // and freed once the event loop runs
    }

    void closesItselfWhenFull() {
        ShowBusy("Building DataBase...");
        SavingForm->tmrFrmSaving()->stop();
        QPointer<TSavingForm> form = SavingForm;
        Tick(49);
        QCOMPARE(TSavingForm::Counter(), 98);
        QVERIFY(SavingForm == form);
        Tick();
        QCOMPARE(TSavingForm::Counter(), 100);
        QVERIFY(SavingForm == nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(form.isNull());

        // The next indicator is a fresh window starting at 0.
        ShowBusy("Saving Contact Information...");
        QVERIFY(SavingForm != nullptr);
        QCOMPARE(TSavingForm::Counter(), 0);
        QCOMPARE(SavingForm->prgbarSaving()->value(), 0);
    }

    // With the real timer: a close asked for right after quick work is refused, yet the
    // indicator goes away by itself with a full bar.
    void realTimerRunsToTheEnd() {
        ShowBusy("Saving Contact Information...");
        int highest = 0;
        connect(SavingForm->prgbarSaving(), &QProgressBar::valueChanged, this,
                [&highest](int v) { highest = qMax(highest, v); });
        CloseBusy();
        QVERIFY(SavingForm != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(SavingForm == nullptr, 30000);
        QCOMPARE(highest, 100);
    }
};

QTEST_MAIN(SavingFormTest)
#include "test_savingform.moc"

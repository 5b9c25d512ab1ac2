// The busy indicator: its window, its bar filled tick by tick, the close rule and the
// one-window-at-a-time rule.
#include "ui/dialogs/frmSaving.h"

#include <QEventLoop>
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
        // An indicator a test left behind runs to its end at once; one still there with a full
        // bar has broken the close rule.
        if (SavingForm) {
            SavingForm->tmrFrmSaving()->stop();
            TBusyTicks::Advance(50);
        }
        if (SavingForm) {
            delete SavingForm;
            QFAIL("the busy indicator stayed on screen with a full bar");
        }
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
        QCOMPARE(SavingForm->prgbarSaving()->value(), 0);

        TSavingForm* first = SavingForm;
        Tick(3);
        ShowBusy("Deleting Contact Information...");
        QCOMPARE(SavingForm, first);
        QCOMPARE(SavingForm->windowTitle(), QString("Saving Contact Information..."));
        QCOMPARE(SavingForm->prgbarSaving()->value(), 6);
    }

    void closeRefusedUntilHalfFull() {
        ShowBusy("Building DataBase...");
        SavingForm->tmrFrmSaving()->stop(); // the test drives the ticks itself
        QPointer<TSavingForm> form = SavingForm;
        Tick(24);
        QCOMPARE(form->prgbarSaving()->value(), 48);
        CloseBusy();
        QVERIFY(SavingForm == form);
        QVERIFY(form->isVisible());
        // Escape must not get round the rule.
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(form, &escape);
        QVERIFY(form->isVisible());

        Tick();
        QCOMPARE(form->prgbarSaving()->value(), 50);
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
        QCOMPARE(form->prgbarSaving()->value(), 98);
        QVERIFY(SavingForm == form);
        Tick();
        QCOMPARE(form->prgbarSaving()->value(), 100);
        QVERIFY(SavingForm == nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(form.isNull());

        // The next indicator is a fresh window starting at 0.
        ShowBusy("Saving Contact Information...");
        QPointer<TSavingForm> next = SavingForm;
        QVERIFY(next);
        next->tmrFrmSaving()->stop();
        QCOMPARE(next->prgbarSaving()->value(), 0);
        Tick();
        QCOMPARE(next->prgbarSaving()->value(), 2);
    }

    // With the real timer: a close asked for right after quick work is refused, yet the
    // indicator goes away by itself with a full bar.
    void realTimerRunsToTheEnd() {
        ShowBusy("Saving Contact Information...");
        int highest = 0;
        QEventLoop full;
        connect(SavingForm->prgbarSaving(), &QProgressBar::valueChanged, &full, [&](int v) {
            highest = qMax(highest, v);
            if (v == 100)
                full.quit();
        });
        CloseBusy();
        QVERIFY(SavingForm != nullptr);
        QTimer::singleShot(10000, &full, &QEventLoop::quit); // 50 ticks of 10 ms take 0.5 s
        full.exec();
        QCOMPARE(highest, 100);
        QVERIFY(SavingForm == nullptr); // gone by itself at the full bar
    }
};

QTEST_MAIN(SavingFormTest)
#include "test_savingform.moc"

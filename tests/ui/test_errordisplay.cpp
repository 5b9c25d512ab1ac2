// The error box: the full stop it adds, where it cuts a long statement, and that the busy
// indicator closing itself cannot take an open error box with it.
#include "tests/common/Boxes.h"
#include "ui/dialogs/ErrorDisplay.h"
#include "ui/dialogs/frmSaving.h"

#include <QAbstractButton>
#include <QPointer>
#include <QtTest>

class ErrorDisplayTest : public QObject {
    Q_OBJECT
private slots:
    // Only a message whose last character sorts after "." gets one.
    void fullStop_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Unable to open"
                                << "Unable to open.";
        QTest::newRow("digit") << "code 5"
                               << "code 5.";
        QTest::newRow("exclamation") << "Unable to open!"
                                     << "Unable to open!";
        QTest::newRow("bracket") << "range (0 to 4)"
                                 << "range (0 to 4)";
        QTest::newRow("quote") << "near \"x\""
                               << "near \"x\"";
        QTest::newRow("full stop") << "Done."
                                   << "Done.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fullStop() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ErrorText(message), shown);
        QCOMPARE(ShortErrorText(message), shown);
    }

    // The quoted statement is shown up to 500 characters, never half a character.
    void statementCut_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("shown");
        const QString a(500, 'a');
        const QString smiley = QString::fromUcs4(U"\U0001F600");
        const QString cut = QString(QChar(0x2026));
        QTest::newRow("500 whole") << a << a;
        QTest::newRow("501 cut") << a + "b" << a + cut;
        QTest::newRow("emoji across the cut") << a.left(499) + smiley + "b" << a.left(499) + cut;
        QTest::newRow("emoji ends at the cut")
            << a.left(498) + smiley + "b" << a.left(498) + smiley + cut;
    }
    void statementCut() {
        QFETCH(QString, statement);
        QFETCH(QString, shown);
        const auto message = [](const QString& s) {
            return "Error executing SQL statement \"" + s + "\" : disk I/O error";
        };
        QCOMPARE(ShortErrorText(message(statement)), message(shown) + ".");
    }

    // The busy indicator, active when the failure came, fills and deletes itself while the
    // error box is still open: the box stays up until the user answers it.
    void boxOutlivesTheBusyIndicator() {
        FailOnUnexpectedBoxes();
        TBusyTicks manual(TBusyTicks::kManual);
        ShowBusy("Saving Contact Information...");
        QPointer<TSavingForm> busy = SavingForm;
        QApplication::setActiveWindow(busy);
        bool busyGoneWhileOpen = false;
        WhenShown answer(Named("ErrorBox"), [&](QWidget* box) {
            QPointer<QWidget> open = box;
            TBusyTicks::Advance(50);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            busyGoneWhileOpen = busy.isNull() && open && open->isVisible();
            if (open)
                static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
        });
        ShowError("Error executing SQL statement \"UPDATE\" : database is locked");
        QVERIFY(answer.Seen());
        QVERIFY(busyGoneWhileOpen);
    }
};

QTEST_MAIN(ErrorDisplayTest)
#include "test_errordisplay.moc"

// The start-up sequence run in-process: a first start builds the database behind the busy
// indicator and opens the window; a start that fails shows the message and gives status 1
// without leaving a main window.
#include "app/ProgramMain.h"
#include "tests/common/Boxes.h"
#include "tests/common/TestHome.h"
#include "ui/dialogs/frmSaving.h"

#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <functional>

namespace {
QMainWindow* MainWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "CustomersForm" && w->isVisible())
            return qobject_cast<QMainWindow*>(w);
    return nullptr;
}
} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartBuildsAndShowsTheWindow() {
        // A start that shows an error box instead fails here at once.
        FailOnUnexpectedBoxes();
        TestHome home;
        QString title, busyCaption;
        bool busyAtShow = false;
        WhenShown shown(Named("CustomersForm"), [&](QWidget* window) {
            title = window->windowTitle();
            busyAtShow = SavingForm != nullptr;
            busyCaption = SavingForm ? SavingForm->windowTitle() : QString();
            window->close();
        });
        QCOMPARE(RunProgram(), 0);
        QVERIFY(shown.Seen());
        QCOMPARE(title, QString("Quorva Vellicard"));
        QVERIFY(busyAtShow);
        QCOMPARE(busyCaption, QString("Building DataBase..."));
        QVERIFY(QFile::exists(home.dbPath()));
        QTRY_VERIFY_WITH_TIMEOUT(SavingForm == nullptr, 30000);

        // A second start finds the file and builds nothing.
        const QDateTime built = QFileInfo(home.dbPath()).lastModified();
        bool busyOnSecondStart = true;
        WhenShown again(Named("CustomersForm"), [&](QWidget* window) {
            busyOnSecondStart = SavingForm != nullptr;
            window->close();
        });
        QCOMPARE(RunProgram(), 0);
        QVERIFY(again.Seen());
        QVERIFY(!busyOnSecondStart);
        QCOMPARE(QFileInfo(home.dbPath()).lastModified(), built);
    }

    void failingStart_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("messageStart");
        QTest::newRow("base folder cannot be made") << "blocker"
                                                    << "Failed to open database";
        QTest::newRow("file without the table") << "empty"
                                                << "Error executing SQL";
        QTest::newRow("garbage file") << "garbage"
                                      << "Error executing SQL";
    }

    void failingStart() {
        QFETCH(QString, setup);
        QFETCH(QString, messageStart);
        TestHome home;
        if (setup == "blocker") {
            QFile f(home.path() + "/QuorvaSoftWare");
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(QDir().mkpath(home.dataFolder()));
            QFile f(home.dbPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (setup == "garbage")
                f.write(QByteArray(4096, '\x5a'));
        }
        SeenBox error;
        AnswerNextBox(&error, QMessageBox::Ok);
        QCOMPARE(RunProgram(), 1);
        QVERIFY(error.seen);
        QVERIFY2(error.text.startsWith(messageStart), qPrintable(error.text));
        QVERIFY(error.text.endsWith("."));
        QCOMPARE(error.caption, QString("Vellicard"));
        QCOMPARE(error.icon, QMessageBox::Critical);
        QVERIFY(MainWindow() == nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(w->objectName() != "CustomersForm", "no main window may be left");
    }
};

QTEST_MAIN(StartupTest)
#include "test_startup.moc"

// The start-up sequence run in-process: a first start builds the database behind the busy
// indicator and opens the window; a start that fails shows the message and gives status 1
// without leaving a main window.
#include "ProgramMain.h"
#include "TestHome.h"
#include "frmSaving.h"

#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace {
// Polls until the condition holds, then runs the action once.
void WhenReady(std::function<bool()> ready, std::function<void()> action) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, ready, action] {
        if (!ready())
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start(20);
}

QMainWindow* MainWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "CustomersForm" && w->isVisible())
            return qobject_cast<QMainWindow*>(w);
    return nullptr;
}

QMessageBox* ErrorBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}
} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartBuildsAndShowsTheWindow() {
        TestHome home;
        QString title, busyCaption;
        bool busyAtShow = false;
        WhenReady([] { return MainWindow() != nullptr; },
                  [&] {
                      title = MainWindow()->windowTitle();
                      busyAtShow = SavingForm != nullptr;
                      busyCaption = SavingForm ? SavingForm->windowTitle() : QString();
                      MainWindow()->close();
                  });
        QCOMPARE(RunProgram(), 0);
        QCOMPARE(title, QString("Quorva Vellicard"));
        QVERIFY(busyAtShow);
        QCOMPARE(busyCaption, QString("Building DataBase..."));
        QVERIFY(QFile::exists(home.dbPath()));
        QTRY_VERIFY_WITH_TIMEOUT(SavingForm == nullptr, 30000);

        // A second start finds the file and builds nothing.
        const QDateTime built = QFileInfo(home.dbPath()).lastModified();
        bool busyOnSecondStart = true;
        WhenReady([] { return MainWindow() != nullptr; },
                  [&] {
                      busyOnSecondStart = SavingForm != nullptr;
                      MainWindow()->close();
                  });
        QCOMPARE(RunProgram(), 0);
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
        QString text, caption;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        WhenReady([] { return ErrorBox() != nullptr; },
                  [&] {
                      QMessageBox* box = ErrorBox();
                      text = box->text();
                      caption = box->windowTitle();
                      icon = box->icon();
                      box->button(QMessageBox::Ok)->click();
                  });
        QCOMPARE(RunProgram(), 1);
        QVERIFY2(text.startsWith(messageStart), qPrintable(text));
        QVERIFY(text.endsWith("."));
        QCOMPARE(caption, QString("Vellicard"));
        QCOMPARE(icon, QMessageBox::Critical);
        QVERIFY(MainWindow() == nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(w->objectName() != "CustomersForm", "no main window may be left");
    }
};

QTEST_MAIN(StartupTest)
#include "test_startup.moc"

#include "ui/dialogs/ShellOpen.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/ui/FakeOpener.h"

namespace {

QList<QMessageBox*> VisibleMessageBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            boxes << box;
    return boxes;
}

// Checks the one failure box on screen and closes it.
void ExpectFailureBox(const QString& text) {
    const QList<QMessageBox*> boxes = VisibleMessageBoxes();
    QCOMPARE(boxes.size(), 1);
    QMessageBox* box = boxes.first();
    QCOMPARE(box->text(), text);
    QCOMPARE(box->windowTitle(), QStringLiteral("Vellicard"));
    QCOMPARE(box->icon(), QMessageBox::NoIcon);
    QCOMPARE(box->buttons().size(), 1);
    QVERIFY(box->button(QMessageBox::Ok));
    QVERIFY(box->isModal());
    box->button(QMessageBox::Ok)->click();
    QVERIFY(VisibleMessageBoxes().isEmpty());
}

// Starts a request and waits for its outcome.
bool RunOpen(const QString& target, int show, const QString& message, QWidget* parent = nullptr) {
    TShellOpen* request = TShellOpen::Open(target, show, message, parent);
    QSignalSpy spy(request, &TShellOpen::finished);
    if (!spy.wait(60000))
        return false;
    return spy.first().first().toBool();
}

const QString kMail = QStringLiteral("Unable to open the Email Composer!");
const QString kWeb = QStringLiteral("Unable to open the Web Browser!");
const QString kHelp = QStringLiteral("Unable to open the Help files!");

} // namespace

class TestShellOpen : public QObject {
    Q_OBJECT
private slots:
    void targetIsHandedOverUnchanged_data();
    void targetIsHandedOverUnchanged();
    void failuresShowTheMessage_data();
    void failuresShowTheMessage();
    void missingOpenerIsAFailure();
    void monitorHearsEveryOutcome();
    void windowKeepsRunningWhileOpening();
    void messageOutlivesItsWindow();
    void helpFilePathComposition();
    void helpFileBesideProgramWithSpaces();
};

void TestShellOpen::targetIsHandedOverUnchanged_data() {
    // The desktop's opener takes no window state, so only the target is varied.
    QTest::addColumn<QString>("target");
    QTest::newRow("plain mailto") << "mailto:anna@example.com";
    QTest::newRow("mailto with blanks and unicode")
        << QStringLiteral("mailto:J\u00f6rg M\u00fcller <j m@b\u00fccher.example>");
    QTest::newRow("web address without scheme") << "www.example.com/price list?a=1&b=\"two\"";
    QTest::newRow("leading and trailing blanks") << "  http://example.com  ";
    QTest::newRow("shell characters") << "$(touch pwned); `id` | ;*";
}

void TestShellOpen::targetIsHandedOverUnchanged() {
    QFETCH(QString, target);
    FakeOpener opener;
    QVERIFY(RunOpen(target, TShellOpen::ShowNormal, kWeb));
    QCOMPARE(opener.calls(), QList<QStringList>{QStringList{target}});
    QVERIFY(VisibleMessageBoxes().isEmpty());
}

void TestShellOpen::failuresShowTheMessage_data() {
    QTest::addColumn<QByteArray>("exit");
    QTest::newRow("exit status 1") << QByteArray("1");
    QTest::newRow("exit status 4") << QByteArray("4");
    QTest::newRow("opener crashes") << QByteArray("crash");
}

void TestShellOpen::failuresShowTheMessage() {
    QFETCH(QByteArray, exit);
    FakeOpener opener;
    opener.setExit(exit);
    QVERIFY(!RunOpen(QStringLiteral("www.example.com"), TShellOpen::ShowMaximized, kWeb));
    QCOMPARE(opener.calls().size(), 1);
    ExpectFailureBox(kWeb);
}

void TestShellOpen::missingOpenerIsAFailure() {
    FakeOpener nothingOnPath(false);
    QVERIFY(!RunOpen(QStringLiteral("mailto:anna@example.com"), TShellOpen::ShowNormal, kMail));
    ExpectFailureBox(kMail);
}

void TestShellOpen::monitorHearsEveryOutcome() {
    FakeOpener opener;
    QSignalSpy spy(TShellOpen::monitor(), &TShellOpen::requestFinished);
    QVERIFY(RunOpen(QStringLiteral("mailto:a@example.com"), TShellOpen::ShowNormal, kMail));
    opener.setExit("3");
    QVERIFY(!RunOpen(QStringLiteral("mailto:b@example.com"), TShellOpen::ShowNormal, kMail));
    ExpectFailureBox(kMail);
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy[0], (QList<QVariant>{QStringLiteral("mailto:a@example.com"), true}));
    QCOMPARE(spy[1], (QList<QVariant>{QStringLiteral("mailto:b@example.com"), false}));
}

void TestShellOpen::windowKeepsRunningWhileOpening() {
    FakeOpener opener;
    opener.hold();
    // Open() must return while the opener is still running, and the event loop must go on.
    TShellOpen* request =
        TShellOpen::Open(QStringLiteral("http://example.com"), TShellOpen::ShowMaximized, kWeb);
    QSignalSpy spy(request, &TShellOpen::finished);
    QTRY_COMPARE_WITH_TIMEOUT(opener.calls().size(), 1, 30000);
    QCOMPARE(spy.size(), 0);
    opener.release();
    QVERIFY(spy.wait(60000));
    QCOMPARE(spy.first().first().toBool(), true);
}

void TestShellOpen::messageOutlivesItsWindow() {
    FakeOpener opener;
    opener.hold();
    opener.setExit("1");
    auto* window = new QWidget;
    window->show();
    TShellOpen* request = TShellOpen::Open(QStringLiteral("mailto:x@example.com"),
                                           TShellOpen::ShowNormal, kMail, window);
    QSignalSpy spy(request, &TShellOpen::finished);
    QTRY_COMPARE_WITH_TIMEOUT(opener.calls().size(), 1, 30000);
    // The window that asked is closed before the answer comes.
    delete window;
    opener.release();
    QVERIFY(spy.wait(60000));
    QCOMPARE(spy.first().first().toBool(), false);
    ExpectFailureBox(kMail);
}

void TestShellOpen::helpFilePathComposition() {
    QCOMPARE(HelpFilePathIn(QStringLiteral("/opt/Quorva Apps/Vellicard 2")),
             QStringLiteral("/opt/Quorva Apps/Vellicard 2/help.chm"));
    QCOMPARE(HelpFilePathIn(QStringLiteral("/")), QStringLiteral("/help.chm"));
    QCOMPARE(HelpFilePath(), QCoreApplication::applicationDirPath() + QStringLiteral("/help.chm"));
}

void TestShellOpen::helpFileBesideProgramWithSpaces() {
    FakeOpener opener;
    QTemporaryDir programDir(QDir::tempPath() + QStringLiteral("/Program Files XXXXXX"));
    QVERIFY(programDir.isValid());
    const QString path = HelpFilePathIn(programDir.path());

    // No help.chm: the opener fails as xdg-open does for a missing file.
    QVERIFY(!RunOpen(path, TShellOpen::ShowNormal, kHelp));
    ExpectFailureBox(kHelp);

    QFile help(path);
    QVERIFY(help.open(QIODevice::WriteOnly));
    help.close();
    QVERIFY(RunOpen(path, TShellOpen::ShowNormal, kHelp));
    QVERIFY(VisibleMessageBoxes().isEmpty());
    // Both times the path went over whole, as one argument.
    QCOMPARE(opener.calls(), (QList<QStringList>{QStringList{path}, QStringList{path}}));
}

QTEST_MAIN(TestShellOpen)
#include "test_shellopen.moc"

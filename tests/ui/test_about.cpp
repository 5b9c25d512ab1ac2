#include "storage/unitAppInformation.h"
#include "tests/common/Boxes.h"
#include "ui/dialogs/About.h"
#include "ui/dialogs/ShellOpen.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "tests/ui/FakeOpener.h"

namespace {

QString Local(const std::string& text) {
    return QString::fromLocal8Bit(text);
}

template <typename T> T* Child(QWidget* box, const char* name) {
    T* child = box->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qWarning("missing control %s", name);
    return child;
}

// Clicks a link of the box and waits until the request it started has been answered.
QList<QVariant> ClickLink(QWidget* box, const char* name) {
    QSignalSpy spy(TShellOpen::monitor(), &TShellOpen::requestFinished);
    QLabel* link = Child<QLabel>(box, name);
    if (!link)
        return {};
    QTest::mouseClick(link, Qt::LeftButton);
    if (!spy.wait(60000))
        return {};
    return spy.first();
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void formAndControls();
    void labelsAreFilledEachTimeItIsShown();
    void logoIsTheFullPicture();
    void linksHandTheMakersAddressesToTheShell();
    void failedLinkKeepsTheBoxOpen();
    void okIsTheDefaultButtonAndAccepts();
    void aboutCommandDestroysTheBox();
};

void TestAbout::formAndControls() {
    TAboutBox box;
    box.show();
    QCOMPARE(box.objectName(), QStringLiteral("AboutBox"));
    QCOMPARE(box.windowTitle(), QStringLiteral("About"));
    QCOMPARE(box.size(), QSize(298, 241));
    QCOMPARE(box.minimumSize(), box.maximumSize());
    QCOMPARE(box.font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(box.font().pointSize(), 8);

    auto* panel = Child<QFrame>(&box, "Panel1");
    QVERIFY(panel);
    QCOMPARE(panel->geometry(), QRect(8, 8, 281, 194));
    const struct {
        const char* name;
        QPoint at;
    } onPanel[] = {{"ProgramIcon", {8, 8}},    {"lblAppName", {8, 71}},
                   {"lblAppVersion", {8, 90}}, {"lblAuthorName", {8, 109}},
                   {"Label1", {8, 147}},       {"lblAuthorWebsite", {59, 147}},
                   {"Label2", {8, 166}},       {"lblAuthorEmail", {68, 166}}};
    for (const auto& control : onPanel) {
        auto* label = Child<QLabel>(&box, control.name);
        QVERIFY(label);
        QCOMPARE(label->parentWidget(), panel);
        QCOMPARE(label->pos(), control.at);
    }
    QCOMPARE(Child<QLabel>(&box, "ProgramIcon")->size(), QSize(265, 57));
    QCOMPARE(Child<QLabel>(&box, "Label1")->text(), QStringLiteral("Web site:"));
    QCOMPARE(Child<QLabel>(&box, "Label2")->text(), QStringLiteral("Contact us:"));

    auto* website = Child<QLabel>(&box, "lblAuthorWebsite");
    auto* email = Child<QLabel>(&box, "lblAuthorEmail");
    QVERIFY(website->wordWrap());
    QCOMPARE(website->toolTip(), QStringLiteral("Go to Quorva Software web site"));
    QCOMPARE(email->toolTip(), QStringLiteral("Send Email to Quorva Software"));
    for (QLabel* link : {website, email}) {
        QVERIFY(link->font().underline());
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    }

    auto* ok = Child<QPushButton>(&box, "OKButton");
    QVERIFY(ok);
    QCOMPARE(ok->parentWidget(), &box);
    QCOMPARE(ok->geometry(), QRect(111, 208, 75, 25));
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QCOMPARE(ok->toolTip(), QStringLiteral("Close"));
}

void TestAbout::labelsAreFilledEachTimeItIsShown() {
    TAboutBox box;
    const auto check = [&] {
        QCOMPARE(Child<QLabel>(&box, "lblAppName")->text(), QStringLiteral("Quorva Vellicard"));
        QCOMPARE(Child<QLabel>(&box, "lblAppVersion")->text(), QStringLiteral("Version 2.1"));
        QCOMPARE(Child<QLabel>(&box, "lblAuthorName")->text(), QStringLiteral("Quorva Software"));
        QCOMPARE(Child<QLabel>(&box, "lblAuthorWebsite")->text(), Local(AppMakerWebSite()));
        QCOMPARE(Child<QLabel>(&box, "lblAuthorEmail")->text(), Local(AppMakerEmail()));
    };
    box.show();
    check();
    box.hide();
    for (const char* name :
         {"lblAppName", "lblAppVersion", "lblAuthorName", "lblAuthorWebsite", "lblAuthorEmail"})
        Child<QLabel>(&box, name)->setText(QStringLiteral("stale"));
    box.show();
    check();
}

void TestAbout::logoIsTheFullPicture() {
    TAboutBox box;
    auto* icon = Child<QLabel>(&box, "ProgramIcon");
    QVERIFY(icon);
    const QPixmap logo = icon->pixmap();
    QVERIFY(!logo.isNull());
    // Kept whole and only stretched into its box when painted.
    QVERIFY(icon->hasScaledContents());
    QVERIFY(qAbs(logo.width() - 802) <= 10);
    QVERIFY(qAbs(logo.height() - 191) <= 10);
    QVERIFY(!logo.toImage().isGrayscale());
}

void TestAbout::linksHandTheMakersAddressesToTheShell() {
    FakeOpener opener;
    TAboutBox box;
    box.show();
    const QString mailTarget = QStringLiteral("mailto: ") + Local(AppMakerEmail());
    const QString webTarget = Local(AppMakerWebSite()) + QStringLiteral("/");
    QCOMPARE(ClickLink(&box, "lblAuthorEmail"), (QList<QVariant>{mailTarget, true}));
    QCOMPARE(ClickLink(&box, "lblAuthorWebsite"), (QList<QVariant>{webTarget, true}));
    QCOMPARE(opener.calls(), (QList<QStringList>{QStringList{mailTarget}, QStringList{webTarget}}));
    // The targets do not depend on what the labels happen to show.
    Child<QLabel>(&box, "lblAuthorEmail")->setText(QStringLiteral("someone@else.example"));
    QCOMPARE(ClickLink(&box, "lblAuthorEmail"), (QList<QVariant>{mailTarget, true}));
    QVERIFY(box.isVisible());
}

void TestAbout::failedLinkKeepsTheBoxOpen() {
    FakeOpener opener;
    opener.setExit("3");
    TAboutBox box;
    box.show();
    QCOMPARE(ClickLink(&box, "lblAuthorWebsite").value(1), QVariant(false));
    QMessageBox* message = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* candidate = qobject_cast<QMessageBox*>(w); candidate && candidate->isVisible())
            message = candidate;
    QVERIFY(message);
    QCOMPARE(message->text(), QStringLiteral("Unable to open the Web Browser!"));
    QCOMPARE(message->windowTitle(), QStringLiteral("Vellicard"));
    message->button(QMessageBox::Ok)->click();
    QVERIFY(box.isVisible());
}

void TestAbout::okIsTheDefaultButtonAndAccepts() {
    TAboutBox box;
    auto* ok = Child<QPushButton>(&box, "OKButton");
    QVERIFY(ok && ok->isDefault());

    QTimer::singleShot(0, ok, [ok] { ok->click(); });
    QCOMPARE(box.exec(), int(QDialog::Accepted));
    QVERIFY(!box.isVisible());

    // Enter presses the default button.
    QTimer::singleShot(0, &box, [&box] { QTest::keyClick(&box, Qt::Key_Return); });
    QCOMPARE(box.exec(), int(QDialog::Accepted));
}

void TestAbout::aboutCommandDestroysTheBox() {
    QPointer<QWidget> seen;
    bool ownerless = false;
    bool filled = false;
    WhenShown about(Named("AboutBox"), [&](QWidget* box) {
        seen = box;
        ownerless = box->parentWidget() == nullptr;
        filled = box->findChild<QLabel*>(QStringLiteral("lblAppVersion"))->text() ==
                 QLatin1String("Version 2.1");
        box->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    });
    ShowAboutBox();
    QVERIFY(ownerless);
    QVERIFY(filled);
    QVERIFY(seen.isNull());
}

QTEST_MAIN(TestAbout)
#include "test_about.moc"

// The contact window's e-mail and web links and Help > Help, through a stand-in xdg-open: the
// exact target of each, the fixed failure messages, and a window that never waits.
#include "tests/ui/FakeOpener.h"
#include "tests/ui/FormDriver.h"
#include "ui/dialogs/ShellOpen.h"

#include <QSignalSpy>

namespace {
// Clicks a link and waits until the launch it starts has reported.
bool ClickAndWait(FormDriver& d, const QString& link) {
    QSignalSpy done(TShellOpen::monitor(), &TShellOpen::requestFinished);
    d.Click(link);
    return done.count() > 0 || done.wait(30000);
}
} // namespace

class WindowLinksTest : public QObject {
    Q_OBJECT
private slots:
    void targetsAreExactlyAsTyped() {
        FakeOpener opener;
        FormDriver d;
        d.OpenCompany("Joes Bar and Grill");
        QVERIFY(ClickAndWait(d, "lblSendCustEmail"));
        d.Edit("txtCustWebAddress")->setText(" www.example.com/a b ");
        QVERIFY(ClickAndWait(d, "lblCustWebSite"));
        d.W<QTabWidget>("PageControl1")->setCurrentIndex(4);
        QVERIFY(ClickAndWait(d, "lblSendExtraEmail4"));
        d.Edit("txtExtraEmail2")->setText(QString::fromUtf8("rita o'neil@bücher.example.com"));
        d.W<QTabWidget>("PageControl1")->setCurrentIndex(2);
        QVERIFY(ClickAndWait(d, "lblSendExtraEmail2"));
        const QList<QStringList> calls = opener.calls();
        QCOMPARE(calls.size(), 4);
        QCOMPARE(calls[0], QStringList({"mailto:info@joesbarandgrill.example.com"}));
        QCOMPARE(calls[1], QStringList({" www.example.com/a b "}));
        QCOMPARE(calls[2], QStringList({"mailto:payments@joesbarandgrill.example.com"}));
        QCOMPARE(calls[3],
                 QStringList({QString::fromUtf8("mailto:rita o'neil@bücher.example.com")}));
        // Nothing else changed.
        QVERIFY(d.EditMode());
        QCOMPARE(d.Edit("txtCustEmail")->text(), QString("info@joesbarandgrill.example.com"));
    }

    // A screen reader names each link after its own field, and follows what is typed there.
    void linksAreNamedAfterTheirField_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("e-mail") << "txtCustEmail" << "lblSendCustEmail" << "Send e-mail to %1";
        QTest::newRow("web site") << "txtCustWebAddress" << "lblCustWebSite"
                                  << "Go to the web site %1";
        QTest::newRow("extra contact's e-mail")
            << "txtExtraEmail3" << "lblSendExtraEmail3" << "Send e-mail to %1";
    }
    void linksAreNamedAfterTheirField() {
        QFETCH(QString, field);
        QFETCH(QString, link);
        QFETCH(QString, sentence);
        FormDriver d;
        d.OpenCompany("Joes Bar and Grill");
        d.Edit("txtCustEmail")->setText("mail@example.com");
        d.Edit("txtCustWebAddress")->setText("www.example.com");
        d.Edit("txtExtraEmail3")->setText("three@example.com");
        d.Edit(field)->setText("typed@here.example");
        QCOMPARE(d.W(link)->accessibleName(), sentence.arg("typed@here.example"));
        d.Edit(field)->clear();
        QCOMPARE(d.W(link)->accessibleName(), QString());
    }

    void failuresShowTheirFixedMessage() {
        FakeOpener opener;
        opener.setExit("3");
        FormDriver d;
        d.OpenCompany("Joes Bar and Grill");
        const QList<QPair<QString, QString>> cases = {
            {"lblSendCustEmail", "Unable to open the Email Composer!"},
            {"lblCustWebSite", "Unable to open the Web Browser!"},
        };
        for (const auto& [link, message] : cases) {
            SeenBox box;
            AnswerNextBox(&box, QMessageBox::Ok);
            QVERIFY(ClickAndWait(d, link));
            QTRY_VERIFY(box.seen);
            QCOMPARE(box.text, message);
            QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(box.icon, QMessageBox::NoIcon);
            QVERIFY(d.EditMode());
        }
    }

    void helpOpensTheFileBesideTheProgram() {
        FakeOpener opener;
        FormDriver d;
        QSignalSpy done(TShellOpen::monitor(), &TShellOpen::requestFinished);
        SeenBox box;
        AnswerNextBox(&box, QMessageBox::Ok);
        d.Trigger("mnuHelp");
        QVERIFY(done.count() > 0 || done.wait(30000));
        const QString expected = QCoreApplication::applicationDirPath() + "/help.chm";
        QCOMPARE(opener.calls().value(0), QStringList({expected}));
        // The test programs have no help file beside them: the stand-in fails as xdg-open does.
        QTRY_VERIFY(box.seen);
        QCOMPARE(box.text, QString("Unable to open the Help files!"));
        QVERIFY(d.ListMode());
    }

    void noOpenerAtAllIsReported() {
        FakeOpener none(false);
        FormDriver d;
        d.OpenCompany("Janes Place");
        SeenBox box;
        AnswerNextBox(&box, QMessageBox::Ok);
        QVERIFY(ClickAndWait(d, "lblSendCustEmail"));
        QTRY_VERIFY(box.seen);
        QCOMPARE(box.text, QString("Unable to open the Email Composer!"));
    }

    void aboutBoxOpensModallyAndGoes() {
        FormDriver d;
        bool seenAbout = false;
        WhenShown about(Named("AboutBox"), [&](QWidget* box) {
            seenAbout = box->windowTitle() == "About" && box->isModal();
            box->close();
        });
        d.Trigger("mnuAbout");
        QVERIFY(seenAbout);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(w->objectName() != "AboutBox");
    }
};

QTEST_MAIN(WindowLinksTest)
#include "test_windowlinks.moc"

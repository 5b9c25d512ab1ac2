// The busy indicator is on screen before the work it announces starts: its first paint comes
// before the first statement that writes to the database, at first start, on save and on
// delete. Runs on a real X server (a private Xvfb) with the xcb platform, where a window is
// mapped and exposed only after show() has returned.
#include "tests/ui/FormDriver.h"
#include "ui/dialogs/BusyWindowNotice.h"

#include <QStandardPaths>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace {
// An Xvfb of the test's own, on a display number it picks itself (-displayfd). Its output pipe
// stays open while it runs: it gives up when it cannot write.
struct PrivateXServer {
    FILE* out = nullptr;
    pid_t pid = 0;
    QByteArray display;

    PrivateXServer() {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty())
            return;
        out = popen(
            "echo $$; exec Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null", "r");
        char line[32];
        if (out && fgets(line, sizeof line, out))
            pid = static_cast<pid_t>(std::atol(line));
        if (pid > 0 && fgets(line, sizeof line, out))
            display = ":" + QByteArray(line).trimmed();
    }
    ~PrivateXServer() {
        if (pid > 0)
            kill(pid, SIGTERM);
        if (out)
            pclose(out);
    }
    QString failure() const {
        return display.size() > 1 ? QString()
               : pid > 0          ? "Xvfb did not start"
                                  : "Xvfb is not installed (Debian package xvfb)";
    }
};

// What happened, in order: "paint <caption>" for an indicator's first paint, "write" for each
// statement that writes.
QStringList events;

void TraceStatement(const char* sql) {
    const QByteArray verb = QByteArray(sql).trimmed().left(6).toUpper();
    if (verb == "CREATE" || verb == "INSERT" || verb == "UPDATE" || verb == "DELETE")
        events << "write";
}

int TraceConnection(sqlite3* db, const char**, const sqlite3_api_routines*) {
    sqlite3_trace_v2(
        db, SQLITE_TRACE_STMT,
        [](unsigned, void*, void*, void* sql) {
            TraceStatement(static_cast<const char*>(sql));
            return 0;
        },
        nullptr);
    return SQLITE_OK;
}

class FirstPaints : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* form = qobject_cast<TSavingForm*>(watched);
        if (form && event->type() == QEvent::Paint && !form->property("seen").toBool()) {
            form->setProperty("seen", true);
            events << "paint " + form->windowTitle();
        }
        return false;
    }
};

enum Operation { FirstStart, Save, Delete };
} // namespace

class BusyPaintTest : public QObject {
    Q_OBJECT
public:
    explicit BusyPaintTest(QString skipReason) : skipReason_(std::move(skipReason)) {}

private slots:
    void initTestCase() {
        if (!skipReason_.isEmpty())
            QSKIP(qPrintable(skipReason_));
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(TraceConnection));
        qApp->installEventFilter(&paints_);
        SetBusyNotice(&notice_);
    }
    void cleanupTestCase() {
        SetBusyNotice(nullptr);
        sqlite3_reset_auto_extension();
    }

    void paintedBeforeTheWork_data() {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QString>("caption");
        QTest::newRow("first start") << int(FirstStart) << "Building DataBase...";
        QTest::newRow("save") << int(Save) << "Saving Contact Information...";
        QTest::newRow("delete") << int(Delete) << "Deleting Contact Information...";
    }

    void paintedBeforeTheWork() {
        QFETCH(int, operation);
        QFETCH(QString, caption);
        TBusyTicks quick(0); // no test waits for real 10 ms ticks
        events.clear();
        FormDriver d(operation != FirstStart);
        if (operation != FirstStart) {
            QTRY_VERIFY(SavingForm == nullptr); // the first start's indicator has gone
            events.clear();
            d.OpenCompany("Joes Bar and Grill");
            d.Type("txtCustAddress", "x");
            SeenBox box;
            if (operation == Delete)
                AnswerNextBox(&box, QMessageBox::Yes);
            d.Click(operation == Save ? "btnSave" : "btnDelete");
            QVERIFY(box.seen || operation == Save);
        }
        QTRY_VERIFY(SavingForm == nullptr);
        const qsizetype painted = events.indexOf("paint " + caption);
        const qsizetype written = events.indexOf("write");
        QVERIFY2(painted >= 0 && written > painted, qPrintable(events.join(", ")));
    }

private:
    QString skipReason_;
    FirstPaints paints_;
    TBusyWindowNotice notice_;
};

int main(int argc, char** argv) {
    PrivateXServer x;
    if (x.failure().isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("DISPLAY", x.display);
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen"); // only to report the skip
    }
    QApplication app(argc, argv);
    BusyPaintTest test(x.failure());
    return QTest::qExec(&test, argc, argv);
}

#include "test_busypaint.moc"

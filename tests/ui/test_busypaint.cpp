// The busy indicator is on screen before the work it announces starts: its first paint comes
// before the first statement that writes to the database, at first start, on save and on
// delete. Runs on a real X server (a private Xvfb) with the xcb platform, where a window is
// mapped and exposed only after show() has returned.
#include "BusyWindowNotice.h"
#include "FormDriver.h"

#include <QStandardPaths>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// An Xvfb of the test's own, on a display number it picks itself (-displayfd).
struct PrivateXServer {
    pid_t pid = -1;
    QByteArray display;
    QString failure;

    PrivateXServer() {
        const QByteArray program = QFile::encodeName(QStandardPaths::findExecutable("Xvfb"));
        if (program.isEmpty()) {
            failure = "Xvfb is not installed (Debian package xvfb)";
            return;
        }
        int fds[2];
        if (pipe(fds) != 0) {
            failure = "no pipe for Xvfb";
            return;
        }
        pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0), dup2(null, 1), dup2(null, 2);
            close(fds[0]);
            const QByteArray fd = QByteArray::number(fds[1]);
            execl(program.constData(), "Xvfb", "-displayfd", fd.constData(), "-screen", "0",
                  "1024x768x24", "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // Xvfb writes the number, then a line break, once it takes connections; the pipe stays
        // open, since it fails when it cannot write.
        pipe_ = fds[0];
        QByteArray number;
        char c = 0;
        pollfd ready = {pipe_, POLLIN, 0};
        while (pid > 0 && poll(&ready, 1, 60000) == 1 && read(pipe_, &c, 1) == 1 && c != '\n')
            number += c;
        if (c == '\n' && !number.isEmpty())
            display = ":" + number;
        else
            failure = "Xvfb did not start";
    }
    ~PrivateXServer() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (pipe_ >= 0)
            close(pipe_);
    }

private:
    int pipe_ = -1;
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
                FormDriver::AnswerNextBox(&box, QMessageBox::Yes);
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
    if (x.failure.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("DISPLAY", x.display);
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen"); // only to report the skip
    }
    QApplication app(argc, argv);
    BusyPaintTest test(x.failure);
    return QTest::qExec(&test, argc, argv);
}

#include "test_busypaint.moc"

// The program's own window, saving, inserting or deleting one contact in a process of its own,
// so that a test can kill it at a moment it chooses. Every write, truncation, sync and file
// deletion the engine makes during the operation is numbered; the process stops before the
// numbered one its argument names and says so, and the test kills it there.
//
//   savechild update|insert|delete <stop at>
//   savechild loop 0
//
// Lines on standard output: "B" when the operation begins (stop at 0 stops here), "W <n>" when
// it stops before I/O step n, "D <steps>" when the operation has finished, then it waits to be
// killed. "E <text>" reports a message box nobody expected, and the process ends. In the loop
// the window saves the first contact again and again, saying "S <n>" after each save.

#include "ui/dialogs/ErrorDisplay.h"
#include "ui/window/CustomerListModel.h"
#include "ui/window/frmCustomers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <sqlite3.h>
#include <unistd.h>

namespace {

long stepsTaken = 0;
long stopAt = -1;
bool counting = false;

void Say(const QByteArray& line) {
    std::fputs((line + "\n").constData(), stdout);
    std::fflush(stdout);
}

[[noreturn]] void WaitToBeKilled() {
    for (;;)
        ::pause();
}

void Step() {
    if (!counting)
        return;
    if (++stepsTaken == stopAt) {
        Say("W " + QByteArray::number(stepsTaken));
        WaitToBeKilled();
    }
}

// A pass-through file system for the engine that numbers every change it makes to the disk.
sqlite3_vfs* real = nullptr;
sqlite3_vfs counted;

struct CountedFile {
    const sqlite3_io_methods* methods;
    sqlite3_file* inner;
};
sqlite3_file* Inner(sqlite3_file* f) {
    return reinterpret_cast<CountedFile*>(f)->inner;
}

const sqlite3_io_methods countedMethods = {
    1,
    [](sqlite3_file* f) {
        const int rc = Inner(f)->pMethods->xClose(Inner(f));
        return rc;
    },
    [](sqlite3_file* f, void* b, int n, sqlite3_int64 o) {
        return Inner(f)->pMethods->xRead(Inner(f), b, n, o);
    },
    [](sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
        Step();
        return Inner(f)->pMethods->xWrite(Inner(f), b, n, o);
    },
    [](sqlite3_file* f, sqlite3_int64 size) {
        Step();
        return Inner(f)->pMethods->xTruncate(Inner(f), size);
    },
    [](sqlite3_file* f, int flags) {
        Step();
        return Inner(f)->pMethods->xSync(Inner(f), flags);
    },
    [](sqlite3_file* f, sqlite3_int64* size) {
        return Inner(f)->pMethods->xFileSize(Inner(f), size);
    },
    [](sqlite3_file* f, int lock) { return Inner(f)->pMethods->xLock(Inner(f), lock); },
    [](sqlite3_file* f, int lock) { return Inner(f)->pMethods->xUnlock(Inner(f), lock); },
    [](sqlite3_file* f, int* out) { return Inner(f)->pMethods->xCheckReservedLock(Inner(f), out); },
    [](sqlite3_file* f, int op, void* arg) {
        return Inner(f)->pMethods->xFileControl(Inner(f), op, arg);
    },
    [](sqlite3_file* f) { return Inner(f)->pMethods->xSectorSize(Inner(f)); },
    [](sqlite3_file* f) { return Inner(f)->pMethods->xDeviceCharacteristics(Inner(f)); },
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr};

int CountedOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    auto* f = reinterpret_cast<CountedFile*>(file);
    f->inner = reinterpret_cast<sqlite3_file*>(f + 1);
    f->methods = nullptr;
    const int rc = real->xOpen(real, name, f->inner, flags, outFlags);
    if (f->inner->pMethods)
        f->methods = &countedMethods;
    return rc;
}

int CountedDelete(sqlite3_vfs*, const char* name, int syncDir) {
    Step();
    return real->xDelete(real, name, syncDir);
}

void InstallCountedFiles() {
    real = sqlite3_vfs_find(nullptr);
    counted = *real;
    counted.zName = "counted";
    counted.szOsFile = static_cast<int>(sizeof(CountedFile)) + real->szOsFile;
    counted.xOpen = CountedOpen;
    counted.xDelete = CountedDelete;
    sqlite3_vfs_register(&counted, 1);
}

template <typename T> T* Find(QWidget* form, const char* name) {
    T* w = form->findChild<T*>(name);
    if (!w) {
        Say(QByteArray("E no control ") + name);
        std::_Exit(3);
    }
    return w;
}

// Fills the editor with values unlike any stored ones, long enough to reach overflow pages.
void Fill(QWidget* form) {
    Find<QLineEdit>(form, "txtCustCmpnyName")->setText("Killed Mid Save 'Ltd'");
    Find<QLineEdit>(form, "txtCustLstName")->setText("O'Hara");
    Find<QLineEdit>(form, "txtExtraName3")->setText("Third \"Person\"");
    Find<QPlainTextEdit>(form, "txtContNotes")->setPlainText(QString("note; ").repeated(600));
}

} // namespace

namespace {
// Answers the delete's question once its box is up; any other box means something went wrong
// and must not wait for a click that never comes.
class BoxWatch : public QObject {
public:
    explicit BoxWatch(QString op) : op_(std::move(op)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (!box || event->type() != QEvent::Show || event->spontaneous())
            return false;
        if (op_ == "delete" && box->text() == "Delete this contact from your list?") {
            // Once its own event loop runs: pressed now, the box would wait for ever.
            QTimer::singleShot(0, box, [box] { box->button(QMessageBox::Yes)->click(); });
            return false;
        }
        Say("E " + box->text().toUtf8());
        std::_Exit(3);
    }

private:
    QString op_;
};
} // namespace

int main(int argc, char** argv) {
    InstallCountedFiles();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || !QStringList{"update", "insert", "delete", "loop"}.contains(args[1])) {
        Say("E usage: savechild update|insert|delete|loop <stop at>");
        return 2;
    }
    const QString op = args[1];
    stopAt = args[2].toLong();

    TCustomersForm form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        Say("E the window never showed");
        return 3;
    }
    SetEventLoopRunning(true);
    BoxWatch boxes(op);
    app.installEventFilter(&boxes);

    auto openFirst = [&] {
        QTreeView* list = Find<QTreeView>(&form, "lstvCustomers");
        const QModelIndex first = list->model()->index(0, TCustomerListModel::Company);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(first).center());
        if (Find<QLabel>(&form, "lblCustId")->text().isEmpty()) {
            Say("E no contact opened");
            std::_Exit(3);
        }
    };
    if (op == "loop") {
        for (long n = 1;; ++n) {
            openFirst();
            Find<QLineEdit>(&form, "txtCustAddress")->setText(QString("Save %1").arg(n));
            Find<QAbstractButton>(&form, "btnSave")->click();
            Say("S " + QByteArray::number(n));
        }
    }
    if (op == "insert")
        Find<QToolButton>(&form, "tlbarAddNewCust")->click();
    else
        openFirst();
    if (op != "delete")
        Fill(&form);

    Say("B");
    if (stopAt == 0)
        WaitToBeKilled();
    counting = true;
    Find<QAbstractButton>(&form, op == "delete" ? "btnDelete" : "btnSave")->click();
    counting = false;
    Say("D " + QByteArray::number(stepsTaken));
    WaitToBeKilled();
}

#include "bench/SyncBench.h"

#include "storage/unitBuildData.h"
#include "sync/SyncAccount.h"
#include "tests/common/DavServers.h"
#include "ui/sync/SyncControl.h"
#include "ui/window/frmCustomers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>

namespace {

// Asks the list for a paint every 10 ms and keeps the longest time between two paints: how
// long the window's thread was kept from its events at worst.
class PaintGaps : public QObject {
public:
    explicit PaintGaps(QWidget* viewport) : viewport_(viewport) {
        viewport_->installEventFilter(this);
        ticks_.setInterval(10);
        connect(&ticks_, &QTimer::timeout, viewport_, [this] { viewport_->update(); });
    }
    void Start() {
        longest_ = 0;
        paints_ = 0;
        since_.start();
        total_.start();
        ticks_.start();
    }
    void Stop() { ticks_.stop(); }
    qint64 Longest() const { return longest_; }
    // When the longest gap ended, in ms from the start.
    qint64 LongestAt() const { return longestAt_; }
    int Paints() const { return paints_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && ticks_.isActive()) {
            const qint64 gap = since_.restart();
            if (gap > longest_) {
                longest_ = gap;
                longestAt_ = total_.elapsed();
            }
            ++paints_;
        }
        return false;
    }

private:
    QWidget* viewport_;
    QTimer ticks_;
    QElapsedTimer since_, total_;
    qint64 longest_ = 0, longestAt_ = 0;
    int paints_ = 0;
};

} // namespace

int RunSyncWindowBench(const std::vector<int>& sizes) {
    int argc = 1;
    char name[] = "vellicard_bench";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                     : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    std::printf("\n==== The window during a sync: longest gap between paints of the list, asked "
                "for every 10 ms ====\n");
    bool ok = true;
    for (int size : sizes) {
        QTemporaryDir home;
        qputenv("HOME", home.path().toLocal8Bit());
        PrepareDataFiles();
        RadicaleServer server;
        if (!server.error().isEmpty()) {
            std::printf("radicale did not start: %s\n", qPrintable(server.error()));
            return 1;
        }
        // The cards as another desk left them, straight into the server's storage.
        const QString folder = server.collectionFolder("/" + server.user() + "/contacts/");
        for (int i = 0; i < size; ++i) {
            QFile f(QString("%1/c%2.vcf").arg(folder).arg(i));
            f.open(QFile::WriteOnly);
            f.write(QString("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:c%1\r\nFN:Ann %1\r\nN:Lee;Ann %1;;;"
                            "\r\nORG:Company %1\r\nTEL;TYPE=WORK:(555)123-%2\r\nEMAIL:ann%1@"
                            "example.org\r\nEND:VCARD\r\n")
                        .arg(i)
                        .arg(i % 10000, 4, 10, QChar('0'))
                        .toUtf8());
        }
        SaveSyncAccount({server.url("/").toString(), server.user()});
        qputenv(kSyncPasswordVariable, server.password().toUtf8());

        TCustomersForm form;
        form.show();
        PaintGaps gaps(form.findChild<QTreeView*>("lstvCustomers")->viewport());
        // The floor: the same window idle for a second.
        QEventLoop idle;
        gaps.Start();
        QTimer::singleShot(1000, &idle, &QEventLoop::quit);
        idle.exec();
        gaps.Stop();
        const qint64 floor = gaps.Longest();

        TSyncControl* control = form.syncControl();
        QEventLoop during;
        QString outcome;
        bool synced = false;
        QObject::connect(control, &TSyncControl::syncFinished, &during,
                         [&](bool done, const QString& text) {
                             synced = done;
                             outcome = text;
                             during.quit();
                         });
        QElapsedTimer took;
        took.start();
        gaps.Start();
        // The summary box would wait for a click: the sync runs as a timed one, which shows none.
        control->timedSyncDue();
        during.exec();
        gaps.Stop();
        const qint64 ms = took.elapsed();
        std::printf("\n%d cards arriving: %s\n", size, qPrintable(outcome));
        std::printf("  %-44s %8lld ms\n", "sync", static_cast<long long>(ms));
        std::printf("  %-44s %8lld ms\n", "longest gap between paints, idle (floor)",
                    static_cast<long long>(floor));
        std::printf("  %-44s %8lld ms   goal < 100 ms: %s (ended %lld ms in, %d paints)\n",
                    "longest gap between paints, syncing", static_cast<long long>(gaps.Longest()),
                    gaps.Longest() < 100 ? "met" : "NOT met",
                    static_cast<long long>(gaps.LongestAt()), gaps.Paints());
        std::fflush(stdout);
        ok = ok && synced;
        form.close();
    }
    return ok ? 0 : 1;
}

#include "ui/sync/SyncControl.h"

#include "storage/unitAppInformation.h"
#include "sync/DavClient.h"
#include "sync/SyncAccount.h"
#include "sync/SyncRunner.h"
#include "sync/Synchronizer.h"
#include "ui/dialogs/ErrorDisplay.h"
#include "ui/sync/SyncSettingsForm.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <mutex>

// What the sync's thread and the window share. The client exists only while the thread uses
// it; the window reaches it through the lock to stop it.
struct TSyncControl::Run {
    std::mutex lock;
    TDavClient* client = nullptr;
    bool stopped = false;
    bool timed = false;
    bool ok = false;
    bool userStopped = false;
    int conflicts = 0;
    QString text;
};

namespace {

void SyncOnThisThread(TSyncControl::Run& run, const SyncAccount& account, const QString& password,
                      const std::string& bookPath);

} // namespace

TSyncControl::TSyncControl(Window window)
    : QObject(window.window), w_(std::move(window)),
      sync_(new QAction(QStringLiteral("Synchronize"), w_.window)),
      settings_(new QAction(QStringLiteral("Sync Settings..."), w_.window)),
      indicator_(new QWidget(w_.menuBar)), status_(new QLabel(indicator_)),
      stopButton_(new QToolButton(indicator_)), timer_(new QTimer(this)) {
    sync_->setObjectName(QStringLiteral("mnuSync"));
    settings_->setObjectName(QStringLiteral("mnuSyncSettings"));
    w_.fileMenu->insertAction(w_.before, sync_);
    w_.fileMenu->insertAction(w_.before, settings_);
    w_.fileMenu->insertSeparator(w_.before);
    connect(sync_, &QAction::triggered, this, [this] { Guarded([&] { syncNow(); }); });
    connect(settings_, &QAction::triggered, this, [this] { Guarded([&] { showSettings(); }); });

    // The indicator: a few words and a Stop button in the menu bar's free corner, which leaves
    // the window's size and layout as they are.
    indicator_->setObjectName(QStringLiteral("pnlSyncStatus"));
    status_->setObjectName(QStringLiteral("lblSyncStatus"));
    status_->setText(QStringLiteral("Synchronizing..."));
    stopButton_->setObjectName(QStringLiteral("btnSyncStop"));
    stopButton_->setText(QStringLiteral("Stop"));
    stopButton_->setAutoRaise(true);
    stopButton_->setToolTip(QStringLiteral("Stop the sync; what it has done so far stays"));
    auto* layout = new QHBoxLayout(indicator_);
    layout->setContentsMargins(0, 0, 4, 0);
    layout->setSpacing(4);
    layout->addWidget(status_);
    layout->addWidget(stopButton_);
    indicator_->setMaximumHeight(w_.menuBar->sizeHint().height());
    w_.menuBar->setCornerWidget(indicator_, Qt::TopRightCorner);
    indicator_->hide();
    connect(stopButton_, &QToolButton::clicked, this, [this] { stop(); });

    timer_->setObjectName(QStringLiteral("tmrSync"));
    connect(timer_, &QTimer::timeout, this, [this] { Guarded([&] { timedSyncDue(); }); });

    w_.listPanel->installEventFilter(this);
    followSettings();
}

TSyncControl::~TSyncControl() {
    // The window's controls may have gone already: only the thread is seen to.
    if (!thread_)
        return;
    stop();
    thread_->wait();
    delete thread_;
}

bool TSyncControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == w_.listPanel &&
        (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)) {
        followState();
        // Back in list mode: the timed sync that waited runs once the window has done what
        // brought it back.
        if (event->type() == QEvent::ShowToParent && pending_)
            QTimer::singleShot(0, this, [this] {
                if (pending_ && !w_.listPanel->isHidden())
                    Guarded([&] { start(true); });
            });
    }
    return QObject::eventFilter(watched, event);
}

void TSyncControl::followSettings() {
    setUp_ = LoadSyncAccount().has_value();
    const int minutes = setUp_ ? LoadSyncInterval() : 0;
    if (minutes > 0)
        timer_->start(minutes * 60 * 1000);
    else
        timer_->stop();
    followState();
}

void TSyncControl::followState() {
    const bool listMode = !w_.listPanel->isHidden();
    const bool busy = running() || preparing_;
    sync_->setEnabled(listMode && setUp_ && !busy);
    settings_->setEnabled(listMode && !busy);
    indicator_->setVisible(busy);
}

void TSyncControl::showSettings() {
    if (ShowSyncSettings(w_.window))
        followSettings();
}

void TSyncControl::syncNow() {
    start(false);
}

void TSyncControl::timedSyncDue() {
    if (!setUp_ || running() || preparing_)
        return;
    if (w_.listPanel->isHidden()) {
        pending_ = true;
        return;
    }
    start(true);
}

void TSyncControl::start(bool timed) {
    if (running() || preparing_)
        return;
    pending_ = false;
    const std::optional<SyncAccount> account = LoadSyncAccount();
    if (!account) {
        followSettings();
        return;
    }
    // The keyring answers through the event loop: meanwhile the items stay disabled.
    preparing_ = true;
    followState();
    const SyncPassword found = PasswordForSync(*account);
    preparing_ = false;
    if (!found.ok) {
        followState();
        if (!timed || found.error != lastTimedFailure_)
            tell(true, found.error, "msgSyncFailed");
        if (timed)
            lastTimedFailure_ = found.error;
        return;
    }
    const QString password = found.password;

    run_ = std::make_shared<Run>();
    run_->timed = timed;
    thread_ = QThread::create([run = run_, account = *account, password, path = w_.bookPath] {
        SyncOnThisThread(*run, account, password, path);
    });
    thread_->setObjectName(QStringLiteral("sync"));
    // Only the end of this run, not of one a close has already waited for.
    connect(thread_, &QThread::finished, this, [this, run = std::weak_ptr<Run>(run_)] {
        if (!run.expired() && run.lock() == run_)
            Guarded([&] { finished(); });
    });
    thread_->start();
    followState();
    emit syncStarted(timed);
}

namespace {
void SyncOnThisThread(TSyncControl::Run& run, const SyncAccount& account, const QString& password,
                      const std::string& bookPath) {
    try {
        TDavClient client(QUrl(account.url), account.user, password);
        {
            const std::lock_guard<std::mutex> hold(run.lock);
            if (run.stopped)
                client.Stop();
            run.client = &client;
        }
        struct Forget {
            TSyncControl::Run& run;
            ~Forget() {
                const std::lock_guard<std::mutex> hold(run.lock);
                run.client = nullptr;
            }
        } forget{run};
        const SyncSummary summary = SyncAddressBook(client, bookPath);
        run.text = summary.Line();
        // Conflicts and cards left out are worth a box, even after a timed sync.
        run.conflicts = int(summary.conflicts.size() + summary.skipped.size());
        run.ok = true;
    } catch (...) {
        run.text = SyncFailureText(std::current_exception(), &run.userStopped);
    }
}
} // namespace

void TSyncControl::stop() {
    if (!run_)
        return;
    {
        const std::lock_guard<std::mutex> hold(run_->lock);
        run_->stopped = true;
        if (run_->client)
            run_->client->Stop();
    }
    emit stopRequested();
}

void TSyncControl::stopAndWait() {
    if (!thread_)
        return;
    stop();
    // The thread ends at its next request, or at once when a request is under way; a change of
    // the book it is writing is finished first, as it is one transaction.
    thread_->wait();
    // The window is closing or going: the sync's end is not news to show.
    quiet_ = true;
    finished();
    quiet_ = false;
}

void TSyncControl::finished() {
    if (!thread_)
        return;
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    const std::shared_ptr<Run> run = std::move(run_);
    followState();
    if (quiet_ || !w_.window->isVisible()) {
        emit syncFinished(run->ok, run->text);
        return;
    }
    if (!w_.listPanel->isHidden())
        w_.refresh();
    if (run->userStopped && run->stopped) {
        // Stopped by the user, who knows.
    } else if (!run->timed) {
        tell(!run->ok, run->text, run->ok ? "msgSyncSummary" : "msgSyncFailed");
    } else if (run->ok) {
        lastTimedFailure_.clear();
        if (run->conflicts > 0)
            tell(false, run->text, "msgSyncSummary");
    } else if (run->text != lastTimedFailure_) {
        lastTimedFailure_ = run->text;
        tell(true, run->text, "msgSyncFailed");
    }
    emit syncFinished(run->ok, run->text);
}

void TSyncControl::tell(bool failure, const QString& text, const char* objectName) {
    QMessageBox box(failure ? QMessageBox::Warning : QMessageBox::Information,
                    QString::fromLocal8Bit(AppTitle()), text, QMessageBox::Ok, w_.window);
    box.setObjectName(QString::fromLatin1(objectName));
    box.exec();
}

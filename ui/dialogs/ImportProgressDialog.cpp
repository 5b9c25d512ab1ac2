#include "ui/dialogs/ImportProgressDialog.h"

#include "storage/ContactImporter.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>

#include <exception>

TImportProgressDialog::TImportProgressDialog(QWidget* parent) : parent_(parent) {}

TImportProgressDialog::~TImportProgressDialog() = default;

void TImportProgressDialog::Start(std::size_t total) {
    total_ = total;
    if (total < kShownFrom)
        return;
    dialog_ = std::make_unique<QProgressDialog>(QStringLiteral("Importing contacts..."),
                                                QStringLiteral("Cancel"), 0, kSteps, parent_);
    dialog_->setObjectName(QStringLiteral("dlgImportProgress"));
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(0);
    dialog_->setAutoReset(false);
    dialog_->setValue(0);
    // Up at once, not from the dialog's own timer: whatever the user does to it is then seen by
    // the import's next step.
    dialog_->show();
}

int TImportProgressDialog::StepOf(std::size_t done, std::size_t total) {
    return total == 0 ? kSteps : static_cast<int>(static_cast<double>(done) / total * kSteps);
}

bool TImportProgressDialog::Step(std::size_t done) {
    if (!dialog_)
        return true;
    dialog_->setValue(StepOf(done, total_));
    return !dialog_->wasCanceled();
}

void TImportProgressDialog::Finish() {
    dialog_.reset();
}

namespace {

// The import's side of the dialog: each call waits for the window's thread to pass it on, so
// that what the user did before it (Cancel above all) is seen in its answer. Only a change of
// the shown thousandth is passed on, so the import waits for the window a thousand times at
// most.
class CrossThreadProgress : public IImportProgress {
public:
    CrossThreadProgress(QObject* windowSide, TImportProgressDialog& dialog, QEventLoop& loop)
        : windowSide_(windowSide), dialog_(dialog), loop_(loop) {}

    // A loop exit code: the dialog is up, so the user may act on it.
    static constexpr int kDialogShown = 1;

    void Start(std::size_t total) override {
        total_ = total;
        OnWindowThread([&] {
            dialog_.Start(total);
            if (dialog_.Shown())
                loop_.exit(kDialogShown);
        });
    }
    bool Step(std::size_t done) override {
        const int step = TImportProgressDialog::StepOf(done, total_);
        if (step != lastStep_) {
            lastStep_ = step;
            OnWindowThread([&] { going_ = dialog_.Step(done); });
        }
        return going_;
    }
    void Finish() override {
        OnWindowThread([&] { dialog_.Finish(); });
    }

private:
    template <typename F> void OnWindowThread(F&& f) {
        QMetaObject::invokeMethod(windowSide_, std::forward<F>(f), Qt::BlockingQueuedConnection);
    }

    QObject* windowSide_;
    TImportProgressDialog& dialog_;
    QEventLoop& loop_;
    std::size_t total_ = 0;
    int lastStep_ = -1;
    bool going_ = true;
};

} // namespace

ImportSummary RunImportOffThread(QWidget* parent,
                                 const std::function<ImportSummary(IImportProgress*)>& work) {
    TImportProgressDialog dialog(parent);
    QEventLoop loop;
    CrossThreadProgress progress(&loop, dialog, loop);
    ImportSummary summary;
    std::exception_ptr failure;
    bool done = false;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        try {
            summary = work(&progress);
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QObject::connect(thread.get(), &QThread::finished, &loop, [&] {
        done = true;
        loop.exit(0);
    });
    thread->start();
    // Until the dialog is up the window takes no input: a click or key waits for the end, as it
    // would for any short task on the window's thread.
    if (loop.exec(QEventLoop::ExcludeUserInputEvents) == CrossThreadProgress::kDialogShown &&
        !done)
        loop.exec();
    thread->wait();
    if (failure)
        std::rethrow_exception(failure);
    return summary;
}

#pragma once

#include "storage/ImportProgress.h"

#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;
struct ImportSummary;

// The import's progress as a modal dialog with Cancel, on the window's thread. Files of a few
// hundred contacts go by too fast to need one, so it appears only for bigger files. The import
// counts in bytes of the file, which the dialog shows in thousandths.
class TImportProgressDialog : public IImportProgress {
public:
    static constexpr std::size_t kShownFrom = 16 * 1024;
    static constexpr int kSteps = 1000;

    explicit TImportProgressDialog(QWidget* parent);
    ~TImportProgressDialog() override;

    void Start(std::size_t total) override;
    bool Step(std::size_t done) override;
    void Finish() override;

    bool Shown() const { return dialog_ != nullptr; }
    // The thousandth the dialog shows for `done` of `total`.
    static int StepOf(std::size_t done, std::size_t total);

private:
    QWidget* parent_;
    std::unique_ptr<QProgressDialog> dialog_;
    std::size_t total_ = 0;
};

// Runs `work` (an import reading and writing files only) on a thread of its own. The window's
// thread goes on handling its events meanwhile, so the window repaints and the progress dialog
// answers; what the user does to the window waits until the work is done, or, once the dialog is
// up, is held off by the dialog. What `work` throws is thrown again here.
ImportSummary RunImportOffThread(QWidget* parent,
                                 const std::function<ImportSummary(IImportProgress*)>& work);

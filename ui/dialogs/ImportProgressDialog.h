#pragma once

#include "ImportProgress.h"

#include <memory>

class QProgressDialog;
class QWidget;

// The import's progress as a modal dialog with Cancel. Files of a few hundred contacts go by too
// fast to need one, so it appears only for bigger files. The import counts in bytes of the file,
// which the dialog shows in thousandths.
class TImportProgressDialog : public IImportProgress {
public:
    static constexpr std::size_t kShownFrom = 16 * 1024;
    static constexpr int kSteps = 1000;

    explicit TImportProgressDialog(QWidget* parent);
    ~TImportProgressDialog() override;

    void Start(std::size_t total) override;
    bool Step(std::size_t done) override;
    void Finish() override;

private:
    QWidget* parent_;
    std::unique_ptr<QProgressDialog> dialog_;
    std::size_t total_ = 0;
};

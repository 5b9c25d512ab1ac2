#include "ImportProgressDialog.h"

#include <QProgressDialog>

TImportProgressDialog::TImportProgressDialog(QWidget* parent) : parent_(parent) {}

TImportProgressDialog::~TImportProgressDialog() = default;

void TImportProgressDialog::Start(std::size_t total) {
    if (total < kShownFrom)
        return;
    dialog_ = std::make_unique<QProgressDialog>(QStringLiteral("Importing contacts..."),
                                                QStringLiteral("Cancel"), 0,
                                                static_cast<int>(total), parent_);
    dialog_->setObjectName(QStringLiteral("dlgImportProgress"));
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(0);
    dialog_->setAutoReset(false);
    dialog_->setValue(0);
}

bool TImportProgressDialog::Step(std::size_t done) {
    if (!dialog_)
        return true;
    // Setting the value of a modal progress dialog also lets the Cancel button be pressed.
    if (done % 16 == 0 || done == static_cast<std::size_t>(dialog_->maximum()))
        dialog_->setValue(static_cast<int>(done));
    return !dialog_->wasCanceled();
}

void TImportProgressDialog::Finish() {
    dialog_.reset();
}

#include "ImportProgressDialog.h"

#include <QCoreApplication>
#include <QProgressDialog>

TImportProgressDialog::TImportProgressDialog(QWidget* parent) : parent_(parent) {}

TImportProgressDialog::~TImportProgressDialog() = default;

void TImportProgressDialog::Start(std::size_t total) {
    if (total < kShownFrom)
        return;
    total_ = total;
    dialog_ = std::make_unique<QProgressDialog>(QStringLiteral("Importing contacts..."),
                                                QStringLiteral("Cancel"), 0, kSteps, parent_);
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
    dialog_->setValue(static_cast<int>(static_cast<double>(done) / total_ * kSteps));
    // The import steps a batch at a time, often with the same value: Cancel is seen all the same.
    if (dialog_->isVisible())
        QCoreApplication::processEvents();
    return !dialog_->wasCanceled();
}

void TImportProgressDialog::Finish() {
    dialog_.reset();
}

#include "ui/window/ImportExport.h"

#include "interchange/ContactExporter.h"
#include "storage/AddressBook.h"
#include "storage/ContactImporter.h"
#include "storage/unitAppInformation.h"
#include "ui/dialogs/ErrorDisplay.h"
#include "ui/dialogs/ImportProgressDialog.h"
#include "ui/window/DuplicatesForm.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>

namespace {

const char* const kFilters = "Contact files (*.vcf *.vcard *.csv);;vCard files (*.vcf *.vcard);;"
                             "CSV files (*.csv);;All files (*)";

void ShowSummary(QWidget* parent, const std::string& text) {
    QMessageBox box(QMessageBox::Information, QString::fromLocal8Bit(AppTitle()),
                    QString::fromLocal8Bit(text), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("msgTransferSummary"));
    box.exec();
}

} // namespace

TImportExport::TImportExport(QWidget* window, TAddressBook& book, QMenu* fileMenu, QAction* before,
                             QWidget* listPanel, std::function<std::string()> listStatement,
                             std::function<void()> refill)
    : QObject(window), window_(window), book_(book), listPanel_(listPanel),
      import_(new QAction(QStringLiteral("Import Contacts..."), window)),
      export_(new QAction(QStringLiteral("Export Contacts..."), window)),
      duplicates_(new QAction(QStringLiteral("Find Duplicates..."), window)),
      listStatement_(std::move(listStatement)), refill_(std::move(refill)) {
    import_->setObjectName(QStringLiteral("mnuImport"));
    export_->setObjectName(QStringLiteral("mnuExport"));
    duplicates_->setObjectName(QStringLiteral("mnuFindDuplicates"));
    fileMenu->insertAction(before, import_);
    fileMenu->insertAction(before, export_);
    fileMenu->insertAction(before, duplicates_);
    fileMenu->insertSeparator(before);
    connect(import_, &QAction::triggered, this, [this] { Guarded([&] { importContacts(); }); });
    connect(export_, &QAction::triggered, this, [this] { Guarded([&] { exportContacts(); }); });
    connect(duplicates_, &QAction::triggered, this, [this] { Guarded([&] { findDuplicates(); }); });
    // Every way into and out of list mode shows or hides the list panel.
    listPanel_->installEventFilter(this);
    followListPanel();
}

bool TImportExport::eventFilter(QObject* watched, QEvent* event) {
    if (watched == listPanel_ &&
        (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        followListPanel();
    return QObject::eventFilter(watched, event);
}

void TImportExport::followListPanel() {
    const bool listMode = !listPanel_->isHidden();
    import_->setEnabled(listMode);
    export_->setEnabled(listMode);
    duplicates_->setEnabled(listMode);
}

void TImportExport::findDuplicates() {
    TDuplicatesForm form(window_, book_);
    form.exec();
    if (form.Changed())
        refill_();
}

void TImportExport::importContacts() {
    const QString file = chooser_->OpenFileName(window_, QStringLiteral("Import Contacts"),
                                                QDir::homePath(), QString(kFilters));
    if (file.isEmpty())
        return;
    const std::string path = QFile::encodeName(file).toStdString();
    const ImportSummary summary = RunImportOffThread(
        window_, [&](IImportProgress* progress) { return book_.ImportUnreported(path, progress); });
    book_.ReportImported(summary);
    if (summary.imported > 0)
        refill_();
    ShowSummary(window_, summary.Text());
}

void TImportExport::exportContacts() {
    QString selected;
    QString file = chooser_->SaveFileName(window_, QStringLiteral("Export Contacts"),
                                          QDir::homePath() + QStringLiteral("/contacts.vcf"),
                                          QString(kFilters), &selected);
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += selected.startsWith(QStringLiteral("CSV")) ? QStringLiteral(".csv")
                                                           : QStringLiteral(".vcf");
    const ExportSummary summary =
        book_.Export(QFile::encodeName(file).toStdString(), listStatement_());
    ShowSummary(window_, summary.Text());
}

#include "app/ProgramMain.h"

#include "interchange/AtomicFile.h"
#include "storage/ContactImporter.h"
#include "storage/SQLiteTable3.h"
#include "storage/unitAppInformation.h"
#include "storage/unitBuildData.h"
#include "storage/unitFilePath.h"
#include "ui/dialogs/BusyWindowNotice.h"
#include "ui/dialogs/ErrorDisplay.h"
#include "ui/window/frmCustomers.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>

namespace {
class BusyNoticeScope {
public:
    BusyNoticeScope() { SetBusyNotice(&notice_); }
    ~BusyNoticeScope() { SetBusyNotice(nullptr); }

private:
    TBusyWindowNotice notice_;
};

void ReportStartupFailure(std::exception_ptr failure) {
    // Also on the terminal, where a program started without a desktop leaves a trace.
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n",
                     ErrorText(QString::fromLocal8Bit(e.what())).toLocal8Bit().constData());
    } catch (...) {
    }
    HandleCurrentExceptionOf(failure);
}

// What killed imports and exports left beside the book: an import's contacts are taken out
// again (the text says so), an export's temporary files removed. A book out of reach now is
// left for the next start or import.
std::string TidyAfterKilledWork() {
    RemoveStaleTemporaries(DataFolder(), static_cast<std::int64_t>(std::time(nullptr)));
    try {
        TSQLiteDatabase db(ContactDbPath(), OpenMode::ExistingOnly);
        return TakeOutInterruptedImport(db);
    } catch (const std::exception&) {
        return {};
    }
}
} // namespace

int RunProgram() {
    BusyNoticeScope busy;
    SetEventLoopRunning(false);

    std::unique_ptr<TCustomersForm> customersForm;
    try {
        PrepareDataFiles();
        const std::string interrupted = TidyAfterKilledWork();
        customersForm = std::make_unique<TCustomersForm>();
        customersForm->show();
        if (!interrupted.empty()) {
            QMessageBox box(QMessageBox::Information, QString::fromLocal8Bit(AppTitle()),
                            QString::fromLocal8Bit(interrupted), QMessageBox::Ok, customersForm.get());
            box.setObjectName(QStringLiteral("msgImportTakenOut"));
            box.exec();
        }
    } catch (...) {
        HandleCurrentException();
    }
    if (std::exception_ptr failure = TakeStartupFailure()) {
        customersForm.reset();
        ReportStartupFailure(failure);
        return 1;
    }

    SetEventLoopRunning(true);
    const int status = QApplication::exec();
    SetEventLoopRunning(false);
    return status;
}

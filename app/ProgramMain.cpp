#include "app/ProgramMain.h"

#include "storage/unitBuildData.h"
#include "ui/dialogs/BusyWindowNotice.h"
#include "ui/dialogs/ErrorDisplay.h"
#include "ui/window/frmCustomers.h"

#include <QApplication>
#include <cstdio>
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
} // namespace

int RunProgram() {
    BusyNoticeScope busy;
    SetEventLoopRunning(false);

    std::unique_ptr<TCustomersForm> customersForm;
    try {
        PrepareDataFiles();
        customersForm = std::make_unique<TCustomersForm>();
        customersForm->show();
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

#include "ui/dialogs/BusyWindowNotice.h"

#include "ui/dialogs/frmSaving.h"

void TBusyWindowNotice::Begin(const std::string& caption) {
    ShowBusy(QString::fromLocal8Bit(caption.c_str()));
}

void TBusyWindowNotice::End() {
    CloseBusy();
}

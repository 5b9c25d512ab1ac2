#include "ErrorDisplay.h"

#include "unitAppInformation.h"

#include <QApplication>
#include <QMessageBox>
#include <stdexcept>

namespace {
bool loopRunning = false;
std::exception_ptr startupFailure;
} // namespace

QString ErrorText(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + '.';
    return message;
}

void ShowError(const QString& message) {
    QMessageBox box(QMessageBox::Critical, QString::fromLocal8Bit(AppTitle()), ErrorText(message),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName("ErrorBox");
    box.exec();
}

void SetEventLoopRunning(bool running) {
    loopRunning = running;
}

void HandleCurrentException() {
    std::exception_ptr failure = std::current_exception();
    if (!loopRunning) {
        if (!startupFailure)
            startupFailure = failure;
        return;
    }
    HandleCurrentExceptionOf(failure);
}

void HandleCurrentExceptionOf(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        ShowError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowError(QStringLiteral("Unknown error"));
    }
}

std::exception_ptr TakeStartupFailure() {
    std::exception_ptr failure = startupFailure;
    startupFailure = nullptr;
    return failure;
}

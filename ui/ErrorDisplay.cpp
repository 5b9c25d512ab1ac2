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

QString ShortErrorText(const QString& message) {
    // A failed statement is quoted whole in its message, and a contact with a long note makes
    // that megabytes: a box laying out all of it would freeze the window for many seconds.
    const qsizetype open = message.indexOf(QChar('"'));
    const qsizetype close = message.lastIndexOf(QStringLiteral("\" : "));
    const qsizetype length = close - open - 1;
    if (open < 0 || close <= open || length <= kShownStatementLength)
        return ErrorText(message);
    qsizetype cut = kShownStatementLength;
    if (message.at(open + cut).isLowSurrogate())
        --cut; // never half a character
    return ErrorText(message.left(open + 1 + cut) + QChar(0x2026) + message.mid(close));
}

void ShowError(const QString& message) {
    const QString shown = ShortErrorText(message);
    QMessageBox box(QMessageBox::Critical, QString::fromLocal8Bit(AppTitle()), shown,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName("ErrorBox");
    if (shown != ErrorText(message))
        box.setDetailedText(ErrorText(message));
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

#include "ui/dialogs/ErrorDisplay.h"

#include "storage/unitAppInformation.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <stdexcept>

namespace {
bool loopRunning = false;
std::exception_ptr startupFailure;

// A window that deletes itself when it closes, as the busy indicator does once its bar is full,
// would take an error box it owned along with it while the user is still reading the box.
bool CanOwnABox(const QWidget* w) {
    return w && w->isVisible() && !w->testAttribute(Qt::WA_DeleteOnClose);
}

// The window the error box stands over: the active one, else a main window on screen.
QWidget* BoxOwner() {
    if (QWidget* active = QApplication::activeWindow(); CanOwnABox(active))
        return active;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowType() == Qt::Window && CanOwnABox(w))
            return w;
    return nullptr;
}
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
    if (message.at(open + cut).isHighSurrogate())
        --cut; // never half a character: the last one kept would lose its second half
    return ErrorText(message.left(open + 1 + cut) + QChar(0x2026) + message.mid(close));
}

void ShowError(const QString& message) {
    const QString shown = ShortErrorText(message);
    // Held by a guarded pointer: should its owner go while the box is open, the box goes with it
    // and is not deleted twice.
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Critical, QString::fromLocal8Bit(AppTitle()), shown,
                        QMessageBox::Ok, BoxOwner());
    box->setObjectName("ErrorBox");
    if (shown != ErrorText(message))
        box->setDetailedText(ErrorText(message));
    box->exec();
    delete box;
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

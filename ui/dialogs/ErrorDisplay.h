#pragma once

#include <QString>
#include <exception>
#include <utility>

class QWidget;

// How failures reach the user. Inside the event loop a failure is shown in an error box (OK,
// error icon, the program's title as caption) and the program goes on; during start-up it is
// kept, and the main block shows it and ends the program.

// The message as shown: a full stop is added when the last character sorts after ".".
QString ErrorText(const QString& message);
// The text the error box shows: a quoted statement longer than kShownStatementLength characters
// is cut there and ends in "…"; the box then offers the whole message as its details.
constexpr int kShownStatementLength = 500;
QString ShortErrorText(const QString& message);
void ShowError(const QString& message);

// Called by the main block just before it enters the event loop.
void SetEventLoopRunning(bool running);

// Reports the exception in flight (call from a catch block).
void HandleCurrentException();
// Shows the given failure at once.
void HandleCurrentExceptionOf(std::exception_ptr failure);
// The start-up failure kept while the event loop was not yet running, or null.
std::exception_ptr TakeStartupFailure();

// Runs an event handler so that no exception can cross Qt's event loop.
template <typename F> void Guarded(F&& handler) {
    try {
        std::forward<F>(handler)();
    } catch (...) {
        HandleCurrentException();
    }
}

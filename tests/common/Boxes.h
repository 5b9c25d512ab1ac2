#pragma once

// Answering the program's modal boxes and dialogs from a test, and failing fast on one nobody
// expected. Everything here acts on the event that shows a window, never by polling: an answer
// runs as soon as the window's own event loop runs.

#include <QList>
#include <QMessageBox>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class QWidget;

// What a message box showed, and whether it came at all.
struct SeenBox {
    SeenBox() = default;
    SeenBox(const SeenBox& other) = default;
    SeenBox& operator=(const SeenBox& other) = default;
    ~SeenBox() { Disarm(); }
    // An answer that was never needed must not answer a later box.
    void Disarm();
    bool seen = false;
    bool error = false; // the program's error box
    QString text, caption, details;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Arms answers for the next modal message boxes, in order: each is recorded and gets its button
// pressed (NoButton: Escape, then its first button if Escape cannot close it).
void AnswerBoxes(std::vector<std::pair<SeenBox*, QMessageBox::StandardButton>> answers);
inline void AnswerNextBox(SeenBox* seen, QMessageBox::StandardButton answer) {
    AnswerBoxes({{seen, answer}});
}

// Answers every message box while it lives: a question with the given answer, an error with OK,
// recording what each said.
class BoxAnswerer {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Yes);
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    void SetAnswer(QMessageBox::StandardButton answer) { answer_ = answer; }
    QList<SeenBox> Take() { return std::exchange(seen_, {}); }
    QList<SeenBox> Errors();
    const QList<SeenBox>& Seen() const { return seen_; }
    QString Describe() const;

private:
    friend class BoxWatch;
    QMessageBox::StandardButton answer_;
    QList<SeenBox> seen_;
};

// While it lives, the next window shown for which `match` holds is handed to `action` once its
// own event loop runs (for a modal dialog: once exec has begun, so that closing it ends exec).
// It comes before every other answer here.
class WhenShown {
public:
    WhenShown(std::function<bool(QWidget*)> match, std::function<void(QWidget*)> action);
    ~WhenShown();
    WhenShown(const WhenShown&) = delete;
    WhenShown& operator=(const WhenShown&) = delete;
    bool Seen() const { return seen_; }

private:
    friend class BoxWatch;
    std::function<bool(QWidget*)> match_;
    std::function<void(QWidget*)> action_;
    bool seen_ = false;
};
// The match for a window of that object name.
std::function<bool(QWidget*)> Named(const QString& objectName);

// From the first call on, a modal dialog that comes up while no answer here is waiting for it
// fails the running test at once, naming its text, and is closed, so that a broken program
// cannot hold a test up until the watchdog ends the whole executable.
void FailOnUnexpectedBoxes();

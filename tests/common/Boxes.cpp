#include "tests/common/Boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <deque>

namespace {

struct Armed {
    SeenBox* seen;
    QMessageBox::StandardButton answer;
};
std::deque<Armed> armed;              // answers for the next message boxes, in order
std::vector<BoxAnswerer*> answerers;  // the newest answers
std::vector<WhenShown*> shownActions; // in the order they were made
bool guardOn = false;

void Record(SeenBox* seen, QMessageBox* box) {
    seen->seen = true;
    seen->error = box->objectName() == "ErrorBox";
    seen->text = box->text();
    seen->caption = box->windowTitle();
    seen->details = box->detailedText();
    seen->icon = box->icon();
    seen->buttons = box->standardButtons();
    seen->defaultButton = box->standardButton(box->defaultButton());
}

void Press(QMessageBox* box, QMessageBox::StandardButton answer) {
    if (answer == QMessageBox::NoButton) {
        QTest::keyClick(box, Qt::Key_Escape);
        if (box->isVisible())
            box->buttons().first()->click();
        return;
    }
    QAbstractButton* button = box->button(answer);
    (button ? button : box->buttons().first())->click();
}

// Runs `what` on the window once the event loop next runs: a modal dialog answered while it is
// still being shown would start its own loop after the answer and wait for ever.
template <typename W, typename F> void Soon(W* window, F what) {
    QPointer<W> guard(window);
    QTimer::singleShot(0, window, [guard, what] {
        if (guard && guard->isVisible())
            what(guard.data());
    });
}

} // namespace

// Sees every window as it is shown and hands it to whoever waits for it.
class BoxWatch : public QObject {
public:
    static void Install() {
        static BoxWatch* watch = nullptr;
        if (!watch) {
            watch = new BoxWatch;
            watch->setParent(qApp);
            qApp->installEventFilter(watch);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !event->spontaneous() && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (w->isWindow())
                Shown(w);
        }
        return false;
    }

private:
    static void Shown(QWidget* w) {
        for (WhenShown* s : shownActions) {
            if (!s->seen_ && s->match_(w)) {
                s->seen_ = true;
                Soon(w, s->action_);
                return;
            }
        }
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            if (!armed.empty()) {
                const Armed a = armed.front();
                armed.pop_front();
                Soon(box, [a](QMessageBox* b) {
                    Record(a.seen, b);
                    Press(b, a.answer);
                });
                return;
            }
            if (!answerers.empty()) {
                BoxAnswerer* answerer = answerers.back();
                Soon(box, [answerer](QMessageBox* b) {
                    if (std::find(answerers.begin(), answerers.end(), answerer) == answerers.end())
                        return;
                    SeenBox seen;
                    Record(&seen, b);
                    answerer->seen_ << seen;
                    Press(b, seen.error ? QMessageBox::Ok : answerer->answer_);
                });
                return;
            }
        }
        auto* dialog = qobject_cast<QDialog*>(w);
        if (!guardOn || !dialog || !dialog->isModal())
            return;
        auto* box = qobject_cast<QMessageBox*>(dialog);
        const QString text = box ? box->text() : dialog->objectName() + " " + dialog->windowTitle();
        QTest::qFail(qPrintable("a box nobody expected came up: " + text), __FILE__, __LINE__);
        Soon(dialog, [](QDialog* d) { d->reject(); });
    }
};

void SeenBox::Disarm() {
    armed.erase(std::remove_if(armed.begin(), armed.end(),
                               [this](const Armed& a) { return a.seen == this; }),
                armed.end());
}

void AnswerBoxes(std::vector<std::pair<SeenBox*, QMessageBox::StandardButton>> answers) {
    BoxWatch::Install();
    for (const auto& [seen, answer] : answers)
        armed.push_back({seen, answer});
}

BoxAnswerer::BoxAnswerer(QMessageBox::StandardButton answer) : answer_(answer) {
    BoxWatch::Install();
    answerers.push_back(this);
}

BoxAnswerer::~BoxAnswerer() {
    answerers.erase(std::remove(answerers.begin(), answerers.end(), this), answerers.end());
}

QList<SeenBox> BoxAnswerer::Errors() {
    QList<SeenBox> errors;
    for (const SeenBox& s : Take())
        if (s.error)
            errors << s;
    return errors;
}

QString BoxAnswerer::Describe() const {
    QStringList texts;
    for (const SeenBox& s : seen_)
        texts << s.caption + ": " + s.text;
    return texts.join(" / ");
}

WhenShown::WhenShown(std::function<bool(QWidget*)> match, std::function<void(QWidget*)> action)
    : match_(std::move(match)), action_(std::move(action)) {
    BoxWatch::Install();
    shownActions.push_back(this);
}

WhenShown::~WhenShown() {
    shownActions.erase(std::remove(shownActions.begin(), shownActions.end(), this),
                       shownActions.end());
}

std::function<bool(QWidget*)> Named(const QString& objectName) {
    return [objectName](QWidget* w) { return w->objectName() == objectName; };
}

void FailOnUnexpectedBoxes() {
    BoxWatch::Install();
    guardOn = true;
}

#include "Boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

int expecting = 0; // armed answers and answerers alive

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

// The modal message box up now that nobody has answered yet.
QMessageBox* OpenBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || box->property("answered").toBool())
        return nullptr;
    box->setProperty("answered", true);
    return box;
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

} // namespace

void AnswerBoxes(std::vector<std::pair<SeenBox*, QMessageBox::StandardButton>> answers) {
    auto* timer = new QTimer;
    auto queue = std::make_shared<std::vector<std::pair<SeenBox*, QMessageBox::StandardButton>>>(
        std::move(answers));
    for (auto& a : *queue)
        a.first->timer = timer;
    ++expecting;
    QObject::connect(timer, &QObject::destroyed, [] { --expecting; });
    QObject::connect(timer, &QTimer::timeout, [timer, queue] {
        QMessageBox* box = OpenBox();
        if (!box)
            return;
        auto [seen, answer] = queue->front();
        queue->erase(queue->begin());
        if (queue->empty()) {
            timer->stop();
            timer->deleteLater();
        }
        Record(seen, box);
        Press(box, answer);
    });
    timer->start(10);
}

BoxAnswerer::BoxAnswerer(QMessageBox::StandardButton answer) : answer_(answer) {
    ++expecting;
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        QMessageBox* box = OpenBox();
        if (!box)
            return;
        SeenBox seen;
        Record(&seen, box);
        seen_ << seen;
        Press(box, seen.error ? QMessageBox::Ok : answer_);
    });
    timer_.start(5);
}

BoxAnswerer::~BoxAnswerer() {
    --expecting;
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

ExpectingDialog::ExpectingDialog() {
    ++expecting;
}
ExpectingDialog::~ExpectingDialog() {
    --expecting;
}

void FailOnUnexpectedBoxes() {
    static QTimer* guard = nullptr;
    if (guard)
        return;
    guard = new QTimer(qApp);
    QObject::connect(guard, &QTimer::timeout, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (expecting > 0 || !dialog || !dialog->isVisible() ||
            dialog->property("answered").toBool())
            return;
        dialog->setProperty("answered", true);
        auto* box = qobject_cast<QMessageBox*>(dialog);
        const QString text = box ? box->text() : dialog->objectName() + " " + dialog->windowTitle();
        QTest::qFail(qPrintable("a box nobody expected came up: " + text), __FILE__, __LINE__);
        dialog->reject();
    });
    guard->start(50);
}

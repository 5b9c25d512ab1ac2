#include "ui/dialogs/Question.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>

namespace {
// QMessageBox would otherwise take "No" as the answer to Escape, which for "Save changes?"
// means throwing the user's changes away.
class QuestionBox : public QMessageBox {
public:
    QuestionBox(QWidget* parent, bool dismissable)
        : QMessageBox(parent), dismissable_(dismissable) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!dismissable_ && event->key() == Qt::Key_Escape) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (!dismissable_ && !answered_) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }

public:
    bool answered_ = false;

private:
    bool dismissable_;
};
} // namespace

QMessageBox::StandardButton AskQuestion(QWidget* parent, const QString& text,
                                        const QString& caption,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton,
                                        QMessageBox::StandardButton escapeButton) {
    QuestionBox box(parent, escapeButton != QMessageBox::NoButton);
    box.setObjectName("QuestionBox");
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setStandardButtons(buttons);
    box.setDefaultButton(defaultButton);
    if (escapeButton != QMessageBox::NoButton)
        box.setEscapeButton(escapeButton);
    QObject::connect(&box, &QMessageBox::buttonClicked, &box, [&box] { box.answered_ = true; });
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked)
        return escapeButton;
    return box.standardButton(clicked);
}

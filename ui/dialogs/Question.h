#pragma once

#include <QMessageBox>

// Asks a question in a message box without icon. escapeButton is the answer that Escape and
// the box's close button give; with NoButton the box can only be answered with its buttons.
QMessageBox::StandardButton AskQuestion(QWidget* parent, const QString& text,
                                        const QString& caption,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton,
                                        QMessageBox::StandardButton escapeButton);

#pragma once

#include <QValidator>

// A line edit's length limit counts 16-bit units, so typing or pasting a character outside
// 16 bits into the last free place keeps only its first half, which is stored as garbage. This
// validator drops such a dangling half: the character that does not fit is left out whole.
class TWholeCharValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

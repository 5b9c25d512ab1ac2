#include "ui/widgets/WholeCharValidator.h"

QValidator::State TWholeCharValidator::validate(QString& input, int& pos) const {
    for (qsizetype i = 0; i < input.size(); ++i) {
        const bool pairedHigh =
            input[i].isHighSurrogate() && i + 1 < input.size() && input[i + 1].isLowSurrogate();
        if (pairedHigh) {
            ++i;
            continue;
        }
        if (input[i].isSurrogate()) {
            input.remove(i, 1);
            if (pos > i)
                --pos;
            --i;
        }
    }
    return Acceptable;
}

// Drives the masked edit with random sequences of program-set texts and editing operations
// (typing, keys, input-method text, Backspace/Delete, selections, cut/copy/paste, mask and
// read-only changes, and changes made through the plain line-edit interface behind its back)
// and checks after every step:
//   - the value is as long as the mask, literals in place, each digit position a digit or blank;
//   - the value read back through the program-set rule is unchanged (valueFor is idempotent on
//     every value the widget holds), and text() is the value;
//   - the line edit shows the value with "_" in unfilled positions (the two masks in use);
//   - valueChanged fired once, with the new value, when the value changed, and never otherwise;
//   - a program-set text gives valueFor(text), and the "!" rule's documented shapes come out
//     right-aligned in their runs;
//   - a read-only edit ignores every editing operation.

#include "fuzz/FuzzCheck.h"
#include "model/ContactColumns.h"
#include "ui/widgets/MaskEdit.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QRegularExpression>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

std::string Bytes(const QString& text) {
    return text.toUtf8().toStdString();
}

QString MakeText(FuzzedDataProvider& input, std::size_t maxLength) {
    const bool utf8 = input.ConsumeBool();
    const std::string bytes = input.ConsumeRandomLengthString(maxLength);
    return utf8 ? QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()))
                : QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Masks in the notation the widget reads, made of the characters real masks use; literals are
// never digits.
QString MakeMask(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return QString::fromLatin1(TMaskEdit::kPhoneMask);
    case 1:
        return QString::fromLatin1(TMaskEdit::kExtensionMask);
    case 2:
        return QString();
    default:
        break;
    }
    static const char body[] = "90#()-/. _!<>x";
    QString mask;
    const int length = input.ConsumeIntegralInRange<int>(0, 16);
    for (int i = 0; i < length; ++i)
        mask += QLatin1Char(body[input.ConsumeIntegralInRange<int>(0, sizeof body - 2)]);
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        mask += QStringLiteral(";1;_");
        break;
    case 1:
        mask += QStringLiteral(";0;*");
        break;
    case 2:
        mask += QStringLiteral(";1; ");
        break;
    default:
        break;
    }
    return mask;
}

bool IsAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool AllAsciiDigits(const QString& text) {
    for (QChar c : text)
        if (!IsAsciiDigit(c))
            return false;
    return true;
}

struct Probe {
    TMaskEdit* edit;
    std::vector<QString> emitted;
};

void CheckWellFormed(const TMaskEdit& edit) {
    const QString value = edit.value();
    const QString empty = edit.emptyValue();
    FUZZ_CHECK(value.size() == empty.size() && !empty.isEmpty(),
               "value " + Bytes(value) + " for mask " + Bytes(edit.editMask()));
    for (int p = 0; p < value.size(); ++p) {
        if (edit.isDigitPosition(p))
            FUZZ_CHECK(value.at(p) == QLatin1Char(' ') || IsAsciiDigit(value.at(p)),
                       "digit position " + std::to_string(p) + " of " + Bytes(value));
        else
            FUZZ_CHECK(value.at(p) == empty.at(p),
                       "literal " + std::to_string(p) + " of " + Bytes(value));
    }
    FUZZ_CHECK(edit.valueFor(value) == value, "not idempotent: " + Bytes(value) + " -> " +
                                                  Bytes(edit.valueFor(value)) + " under " +
                                                  Bytes(edit.editMask()));
    FUZZ_CHECK(edit.text() == value, Bytes(edit.text()));
    FUZZ_CHECK(edit.cursorPosition() >= 0 && edit.cursorPosition() <= value.size(),
               std::to_string(edit.cursorPosition()));

    const QString mask = edit.editMask();
    if (mask == QLatin1String(TMaskEdit::kPhoneMask) ||
        mask == QLatin1String(TMaskEdit::kExtensionMask)) {
        QString shown = value;
        for (int p = 0; p < shown.size(); ++p)
            if (edit.isDigitPosition(p) && shown.at(p) == QLatin1Char(' '))
                shown[p] = QLatin1Char('_');
        const QString displayed = edit.QLineEdit::text();
        FUZZ_CHECK(displayed == shown, "shows " + Bytes(displayed) + " for " + Bytes(value));
    }
}

// What the "!" rule gives for texts whose outcome the rule spells out: the empty text, digits
// alone (spread over all digit positions from the end), and for the phone mask the full shape
// with short runs "(12)3-45".
bool ExpectedProgramValue(const TMaskEdit& edit, const QString& text, QString& expected) {
    const QString mask = edit.editMask();
    const bool phone = mask == QLatin1String(TMaskEdit::kPhoneMask);
    if (!phone && mask != QLatin1String(TMaskEdit::kExtensionMask))
        return false;
    if (text.isEmpty()) {
        expected = edit.emptyValue();
        return true;
    }
    auto rightAligned = [](const QString& digits, int width) {
        return QString(width - digits.size(), QLatin1Char(' ')) + digits;
    };
    if (AllAsciiDigits(text)) {
        const int positions = static_cast<int>(phone ? kPhoneDigits : kExtensionDigits);
        if (text.size() > positions)
            return false;
        const QString digits = rightAligned(text, positions);
        expected = phone ? QLatin1Char('(') + digits.mid(0, 3) + QLatin1Char(')') +
                               digits.mid(3, 3) + QLatin1Char('-') + digits.mid(6, 4)
                         : digits;
        return true;
    }
    if (!phone)
        return false;
    static const QRegularExpression shape(
        QStringLiteral("^\\(([0-9]{0,3})\\)([0-9]{0,3})-([0-9]{0,4})$"));
    const QRegularExpressionMatch m = shape.match(text);
    if (!m.hasMatch())
        return false;
    expected = QLatin1Char('(') + rightAligned(m.captured(1), 3) + QLatin1Char(')') +
               rightAligned(m.captured(2), 3) + QLatin1Char('-') + rightAligned(m.captured(3), 4);
    return true;
}

void SendKey(TMaskEdit& edit, FuzzedDataProvider& input) {
    struct Key {
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* text;
    };
    static const Key keys[] = {
        {Qt::Key_Backspace, Qt::NoModifier, "\b"},
        {Qt::Key_Delete, Qt::NoModifier, ""},
        {Qt::Key_Left, Qt::NoModifier, ""},
        {Qt::Key_Right, Qt::NoModifier, ""},
        {Qt::Key_Home, Qt::NoModifier, ""},
        {Qt::Key_End, Qt::NoModifier, ""},
        {Qt::Key_Left, Qt::ShiftModifier, ""},
        {Qt::Key_Right, Qt::ShiftModifier, ""},
        {Qt::Key_Home, Qt::ShiftModifier, ""},
        {Qt::Key_End, Qt::ShiftModifier, ""},
        {Qt::Key_Left, Qt::ControlModifier, ""},
        {Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier, ""},
        {Qt::Key_V, Qt::ControlModifier, "\x16"},
        {Qt::Key_X, Qt::ControlModifier, "\x18"},
        {Qt::Key_C, Qt::ControlModifier, "\x03"},
        {Qt::Key_Z, Qt::ControlModifier, "\x1a"},
        {Qt::Key_Y, Qt::ControlModifier, "\x19"},
        {Qt::Key_A, Qt::ControlModifier, "\x01"},
        {Qt::Key_K, Qt::ControlModifier, "\x0b"},
        {Qt::Key_U, Qt::ControlModifier, "\x15"},
        {Qt::Key_Backspace, Qt::ControlModifier, ""},
        {Qt::Key_Delete, Qt::ControlModifier, ""},
        {Qt::Key_Insert, Qt::ShiftModifier, ""},
        {Qt::Key_Delete, Qt::ShiftModifier, ""},
        {Qt::Key_Return, Qt::NoModifier, "\r"},
        {Qt::Key_Escape, Qt::NoModifier, "\x1b"},
        {Qt::Key_Space, Qt::NoModifier, " "},
        {Qt::Key_Minus, Qt::NoModifier, "-"},
        {Qt::Key_ParenLeft, Qt::ShiftModifier, "("},
        {Qt::Key_A, Qt::NoModifier, "a"},
        {Qt::Key_5, Qt::KeypadModifier, "5"},
        {Qt::Key_0, Qt::NoModifier, "0"},
        {Qt::Key_1, Qt::NoModifier, "1"},
        {Qt::Key_2, Qt::NoModifier, "2"},
        {Qt::Key_9, Qt::NoModifier, "9"},
        {Qt::Key_7, Qt::AltModifier, "7"},
    };
    const Key& k = keys[input.ConsumeIntegralInRange<std::size_t>(0, std::size(keys) - 1)];
    QKeyEvent press(QEvent::KeyPress, k.key, k.modifiers, QString::fromLatin1(k.text));
    QCoreApplication::sendEvent(&edit, &press);
    QKeyEvent release(QEvent::KeyRelease, k.key, k.modifiers, QString::fromLatin1(k.text));
    QCoreApplication::sendEvent(&edit, &release);
}

enum Op {
    SetValue,
    SetText,
    Clear,
    Insert,
    Backspace,
    Del,
    SetCursor,
    SetSelection,
    SelectAll,
    Deselect,
    Paste,
    Cut,
    Copy,
    Key,
    InputMethod,
    BaseSetText,
    BaseInsert,
    BaseEditing,
    SetMask,
    ToggleReadOnly,
    MoveCursor,
    OpCount
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argv)[0], nullptr};
    (void)argc;
    new QApplication(qtArgc, qtArgv); // lives for the whole run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QString()); // nothing from an earlier input

    TMaskEdit edit;
    std::vector<QString> emitted;
    QObject::connect(&edit, &TMaskEdit::valueChanged,
                     [&emitted](const QString& value) { emitted.push_back(value); });
    if (input.ConsumeBool())
        edit.setEditMask(MakeMask(input));
    CheckWellFormed(edit);

    for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
        const QString before = edit.value();
        const bool readOnly = edit.isReadOnly();
        emitted.clear();
        bool editing = false; // an operation a read-only edit must ignore
        bool programSet = false;
        QString programText;

        const Op op = static_cast<Op>(input.ConsumeIntegralInRange<int>(0, OpCount - 1));
        switch (op) {
        case SetValue:
        case SetText:
            programText = MakeText(input, 24);
            programSet = true;
            if (op == SetValue)
                edit.setValue(programText);
            else
                edit.setText(programText);
            break;
        case Clear:
            programSet = true;
            edit.clear();
            break;
        case Insert:
            editing = true;
            edit.insert(MakeText(input, 24));
            break;
        case Backspace:
            editing = true;
            edit.backspace();
            break;
        case Del:
            editing = true;
            edit.del();
            break;
        case SetCursor:
            edit.setCursorPosition(input.ConsumeIntegralInRange<int>(-2, 20));
            break;
        case SetSelection: {
            const int start = input.ConsumeIntegralInRange<int>(-2, 20);
            edit.setSelection(start, input.ConsumeIntegralInRange<int>(-20, 20));
            break;
        }
        case SelectAll:
            edit.selectAll();
            break;
        case Deselect:
            edit.deselect();
            break;
        case Paste:
            editing = true;
            clipboard->setText(MakeText(input, 40));
            edit.paste();
            break;
        case Cut:
            editing = true;
            edit.cut();
            break;
        case Copy:
            edit.copy();
            break;
        case Key:
            editing = true;
            SendKey(edit, input);
            break;
        case InputMethod: {
            editing = true;
            QInputMethodEvent event;
            event.setCommitString(MakeText(input, 8));
            QCoreApplication::sendEvent(&edit, &event);
            break;
        }
        case BaseSetText:
            // Someone holding a QLineEdit* sets the display text: it is read as program-set.
            edit.QLineEdit::setText(MakeText(input, 24));
            break;
        case BaseInsert:
            edit.QLineEdit::insert(MakeText(input, 8));
            break;
        case BaseEditing:
            switch (input.ConsumeIntegralInRange<int>(0, 6)) {
            case 0:
                edit.QLineEdit::backspace();
                break;
            case 1:
                edit.QLineEdit::del();
                break;
            case 2:
                edit.QLineEdit::clear();
                break;
            case 3:
                edit.QLineEdit::undo();
                break;
            case 4:
                edit.QLineEdit::redo();
                break;
            case 5:
                edit.QLineEdit::cut();
                break;
            default:
                clipboard->setText(MakeText(input, 16));
                edit.QLineEdit::paste();
                break;
            }
            break;
        case SetMask:
            edit.setEditMask(MakeMask(input));
            break;
        case ToggleReadOnly:
            edit.setReadOnly(!edit.isReadOnly());
            break;
        case MoveCursor:
            switch (input.ConsumeIntegralInRange<int>(0, 3)) {
            case 0:
                edit.cursorForward(input.ConsumeBool(), input.ConsumeIntegralInRange<int>(-3, 3));
                break;
            case 1:
                edit.cursorBackward(input.ConsumeBool(), input.ConsumeIntegralInRange<int>(-3, 3));
                break;
            case 2:
                edit.home(input.ConsumeBool());
                break;
            default:
                edit.end(input.ConsumeBool());
                break;
            }
            break;
        case OpCount:
            break;
        }

        CheckWellFormed(edit);
        const QString after = edit.value();
        const std::string where = "step " + std::to_string(step) + " op " + std::to_string(op) +
                                  ": " + Bytes(before) + " -> " + Bytes(after);
        if (before == after) {
            FUZZ_CHECK(emitted.empty(), "valueChanged without a change, " + where);
        } else {
            FUZZ_CHECK(emitted.size() == 1,
                       std::to_string(emitted.size()) + " notifications, " + where);
            FUZZ_CHECK(emitted.front() == after,
                       "notified " + Bytes(emitted.front()) + ", " + where);
        }
        if (editing && readOnly)
            FUZZ_CHECK(before == after, "read-only edit changed, " + where);
        if (programSet) {
            FUZZ_CHECK(after == edit.valueFor(programText),
                       "program-set " + Bytes(programText) + " gave " + Bytes(after));
            QString expected;
            if (ExpectedProgramValue(edit, programText, expected))
                FUZZ_CHECK(after == expected, "program-set " + Bytes(programText) + " gave " +
                                                  Bytes(after) + ", expected " + Bytes(expected));
        }
    }
    return 0;
}

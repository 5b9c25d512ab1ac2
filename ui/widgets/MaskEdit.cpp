#include "ui/widgets/MaskEdit.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScopedValueRollback>


namespace {

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

QString digitsOf(const QString& text) {
    QString out;
    for (QChar c : text)
        if (isAsciiDigit(c))
            out += c;
    return out;
}

// Splits at ';' that are not escaped by a backslash; escapes stay in the pieces.
QStringList splitFields(const QString& mask) {
    QStringList fields;
    QString current;
    for (int i = 0; i < mask.size(); ++i) {
        const QChar c = mask.at(i);
        if (c == QLatin1Char('\\') && i + 1 < mask.size()) {
            current += c;
            current += mask.at(++i);
        } else if (c == QLatin1Char(';')) {
            fields << current;
            current.clear();
        } else {
            current += c;
        }
    }
    fields << current;
    return fields;
}

} // namespace

TMaskEdit::TMaskEdit(QWidget* parent) : QLineEdit(parent) {
    // Drops would insert raw text behind the mask's back.
    setAcceptDrops(false);
    connect(this, &QLineEdit::textChanged, this, &TMaskEdit::onBaseTextChanged);
    // A caret moved or a selection dropped by QLineEdit itself (Home, clicks) may end up before a
    // literal; it moves on to the next digit position.
    connect(this, &QLineEdit::cursorPositionChanged, this, &TMaskEdit::snapCaret);
    connect(this, &QLineEdit::selectionChanged, this, &TMaskEdit::snapCaret);
    parseMask(QString::fromLatin1(kPhoneMask));
    setMaxLength(template_.size());
    value_ = template_;
    render();
}

bool TMaskEdit::parseMask(const QString& mask) {
    QStringList fields = splitFields(mask);
    QChar blank = QLatin1Char('_');
    // Trailing fields are "keep literals" and then the blank character; the body is what is left.
    if (fields.size() >= 3) {
        if (!fields.last().isEmpty())
            blank = fields.last().at(0);
        fields.removeLast();
        fields.removeLast();
    } else if (fields.size() == 2) {
        fields.removeLast();
    }
    const QString body = fields.join(QLatin1Char(';'));

    QString tmpl;
    QVector<bool> digit;
    for (int i = 0; i < body.size(); ++i) {
        const QChar c = body.at(i);
        if (c == QLatin1Char('!') || c == QLatin1Char('<') || c == QLatin1Char('>'))
            continue;
        if (c == QLatin1Char('\\') && i + 1 < body.size()) {
            tmpl += body.at(++i);
            digit << false;
        } else if (c == QLatin1Char('9') || c == QLatin1Char('0') || c == QLatin1Char('#')) {
            tmpl += QLatin1Char(' ');
            digit << true;
        } else if (c == QLatin1Char('_')) {
            tmpl += QLatin1Char(' ');
            digit << false;
        } else {
            tmpl += c;
            digit << false;
        }
    }
    if (!digit.contains(true))
        return false;
    mask_ = mask;
    template_ = tmpl;
    digit_ = digit;
    blankChar_ = blank;
    // A screen reader tells the format along with the field's name.
    setAccessibleDescription(formatDescription());
    return true;
}

QString TMaskEdit::formatDescription() const {
    // Digits alone read best as their number ("five digits"); a shape with literals reads as
    // written, each digit position a 9: "(999)999-9999".
    if (!digit_.contains(false)) {
        static const char* const kCounts[] = {"one",   "two",   "three", "four", "five",
                                              "six",   "seven", "eight", "nine", "ten"};
        const int n = digit_.size();
        const QString count = n <= 10 ? QString::fromLatin1(kCounts[n - 1]) : QString::number(n);
        return n == 1 ? QStringLiteral("one digit") : count + QStringLiteral(" digits");
    }
    QString shape = template_;
    for (int i = 0; i < shape.size(); ++i)
        if (digit_[i])
            shape[i] = QLatin1Char('9');
    return shape;
}

void TMaskEdit::setEditMask(const QString& mask) {
    const QString old = value_;
    if (!parseMask(mask))
        parseMask(QString::fromLatin1(kPhoneMask));
    {
        // A shorter limit trims the old display text; that is no edit.
        const QScopedValueRollback<bool> quiet(updating_, true);
        setMaxLength(template_.size());
    }
    // The old value is carried over as if the program had placed it under the new mask.
    const QString next = valueFor(old);
    value_ = next;
    render();
    placeCaret(nextCaret(0));
    if (next != old)
        emit valueChanged(value_);
}

bool TMaskEdit::isDigitPosition(int pos) const {
    return pos >= 0 && pos < digit_.size() && digit_.at(pos);
}

int TMaskEdit::digitCountFrom(int from) const {
    int n = 0;
    for (int p = from; p < digit_.size(); ++p)
        n += digit_.at(p) ? 1 : 0;
    return n;
}

bool TMaskEdit::singleRunFrom(int from) const {
    int p = from;
    while (p < digit_.size() && !digit_.at(p))
        ++p;
    while (p < digit_.size() && digit_.at(p))
        ++p;
    return digitCountFrom(p) == 0;
}

void TMaskEdit::placeRun(QString& value, const QString& piece, int from, int count) const {
    if (piece.size() <= count) {
        const int offset = count - piece.size();
        for (int k = 0; k < piece.size(); ++k) {
            const QChar c = piece.at(k);
            value[from + offset + k] = isAsciiDigit(c) ? c : QLatin1Char(' ');
        }
        return;
    }
    QString digits = digitsOf(piece).left(count);
    const int offset = count - digits.size();
    for (int k = 0; k < digits.size(); ++k)
        value[from + offset + k] = digits.at(k);
}

void TMaskEdit::placeSpread(QString& value, const QString& rest, int from) const {
    if (rest.isEmpty())
        return;
    int start = from;
    while (start < digit_.size() && !digit_.at(start))
        ++start;
    if (singleRunFrom(from)) {
        int count = 0;
        while (start + count < digit_.size() && digit_.at(start + count))
            ++count;
        placeRun(value, rest, start, count);
        return;
    }
    const int total = digitCountFrom(from);
    QString chars;
    if (rest.size() == total) {
        for (QChar c : rest)
            chars += isAsciiDigit(c) ? c : QLatin1Char(' ');
    } else {
        chars = digitsOf(rest).left(total);
        chars = QString(total - chars.size(), QLatin1Char(' ')) + chars;
    }
    int k = 0;
    for (int p = from; p < digit_.size() && k < chars.size(); ++p)
        if (digit_.at(p))
            value[p] = chars.at(k++);
}

QString TMaskEdit::valueFor(const QString& text) const {
    QString value = template_;
    if (text.isEmpty())
        return value;
    if (hasValueShape(text))
        return text;

    bool hasLiteral = false;
    for (int p = 0; p < template_.size() && !hasLiteral; ++p)
        hasLiteral = !digit_.at(p) && text.contains(template_.at(p));
    if (!hasLiteral) {
        placeSpread(value, text, 0);
        return value;
    }

    const int n = template_.size();
    int i = 0; // position in text
    int p = 0; // position in the mask
    while (p < n) {
        if (!digit_.at(p)) {
            if (i < text.size() && text.at(i) == template_.at(p))
                ++i;
            ++p;
            continue;
        }
        int q = p;
        while (q < n && digit_.at(q))
            ++q;
        const int count = q - p;
        if (q == n) {
            placeRun(value, text.mid(i), p, count);
            break;
        }
        const int close = text.indexOf(template_.at(q), i);
        if (close < 0) {
            const QString rest = text.mid(i);
            if (rest.size() <= count)
                placeRun(value, rest, p, count);
            else
                placeSpread(value, rest, p);
            break;
        }
        placeRun(value, text.mid(i, close - i), p, count);
        i = close;
        p = q;
    }
    return value;
}

// A text shaped like a value (full length, literals in place, a digit or a blank in every digit
// position) is one: the "!" rule would give the same for the two masks in use, and for a mask with
// a blank among its literals it could read a blank digit position as that literal.
bool TMaskEdit::hasValueShape(const QString& text) const {
    if (text.size() != template_.size())
        return false;
    for (int p = 0; p < text.size(); ++p) {
        const QChar c = text.at(p);
        if (digit_.at(p) ? !(c == QLatin1Char(' ') || isAsciiDigit(c)) : c != template_.at(p))
            return false;
    }
    return true;
}

QString TMaskEdit::displayText(const QString& value) const {
    QString shown = value;
    for (int p = 0; p < shown.size() && p < digit_.size(); ++p)
        if (digit_.at(p) && shown.at(p) == QLatin1Char(' '))
            shown[p] = blankChar_;
    return shown;
}

void TMaskEdit::render() {
    const QString shown = displayText(value_);
    if (QLineEdit::text() == shown)
        return;
    const QScopedValueRollback<bool> quiet(updating_, true);
    QLineEdit::setText(shown);
}

void TMaskEdit::placeCaret(int pos) {
    const QScopedValueRollback<bool> quiet(updating_, true);
    QLineEdit::setCursorPosition(pos);
}

void TMaskEdit::applyValue(const QString& value, int caret) {
    const bool changed = value != value_;
    value_ = value;
    render();
    placeCaret(qBound(0, caret, value_.size()));
    if (changed)
        emit valueChanged(value_);
}

void TMaskEdit::setValue(const QString& text) {
    const QString next = valueFor(text);
    if (next == value_)
        return;
    applyValue(next, nextCaret(0));
}

// The caret always rests before a digit position or at the very end, so typing never has to
// decide what to do with a literal.
int TMaskEdit::nextCaret(int pos) const {
    int p = qMax(0, pos);
    while (p < digit_.size() && !digit_.at(p))
        ++p;
    return p;
}

int TMaskEdit::previousDigit(int pos) const {
    for (int p = qMin(pos, int(digit_.size())) - 1; p >= 0; --p)
        if (digit_.at(p))
            return p;
    return -1;
}

bool TMaskEdit::selectionRange(int& start, int& end) const {
    if (!hasSelectedText())
        return false;
    start = qBound(0, selectionStart(), int(value_.size()));
    end = qBound(start, selectionStart() + selectionLength(), int(value_.size()));
    return end > start;
}

QString TMaskEdit::blankedSelection() const {
    QString v = value_;
    int start = 0, end = 0;
    if (selectionRange(start, end))
        for (int p = start; p < end; ++p)
            if (digit_.at(p))
                v[p] = QLatin1Char(' ');
    return v;
}

void TMaskEdit::insert(const QString& text) {
    if (isReadOnly())
        return;
    const QString digits = digitsOf(text);
    if (digits.isEmpty())
        return; // non-digits are ignored, and leave a selection alone
    pasteDigits(digits);
}

void TMaskEdit::pasteDigits(const QString& text) {
    const QString digits = digitsOf(text);
    if (digits.isEmpty())
        return;
    int start = cursorPosition();
    int end = start;
    selectionRange(start, end);
    QString v = blankedSelection();
    int p = nextCaret(start);
    for (QChar d : digits) {
        if (p >= v.size())
            break;
        v[p] = d;
        p = nextCaret(p + 1);
    }
    applyValue(v, p);
}

void TMaskEdit::backspace() {
    blankSelectionOrDigit(previousDigit(cursorPosition()));
}

void TMaskEdit::del() {
    blankSelectionOrDigit(nextCaret(cursorPosition()));
}

void TMaskEdit::blankSelectionOrDigit(int digit) {
    if (isReadOnly())
        return;
    int start = 0, end = 0;
    if (selectionRange(start, end)) {
        applyValue(blankedSelection(), nextCaret(start));
        return;
    }
    if (digit < 0 || digit >= value_.size())
        return;
    QString v = value_;
    v[digit] = QLatin1Char(' ');
    applyValue(v, digit);
}

void TMaskEdit::copy() const {
    int start = 0, end = 0;
    if (!selectionRange(start, end))
        return;
    if (QClipboard* cb = QGuiApplication::clipboard())
        cb->setText(value_.mid(start, end - start));
}

void TMaskEdit::cut() {
    int start = 0, end = 0;
    if (!selectionRange(start, end))
        return;
    copy();
    if (isReadOnly())
        return;
    applyValue(blankedSelection(), nextCaret(start));
}

void TMaskEdit::paste() {
    if (isReadOnly())
        return;
    if (QClipboard* cb = QGuiApplication::clipboard())
        pasteDigits(cb->text());
}

void TMaskEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        paste();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        cut();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        copy();
        event->accept();
        return;
    }
    // Word and line deletions would remove literals; a masked edit has no use for them.
    if (event->matches(QKeySequence::DeleteStartOfWord) ||
        event->matches(QKeySequence::DeleteEndOfWord) ||
        event->matches(QKeySequence::DeleteEndOfLine) ||
        event->matches(QKeySequence::DeleteCompleteLine)) {
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Backspace) {
        backspace();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Delete) {
        del();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::MoveToPreviousChar)) {
        int start = 0, end = 0;
        int target;
        if (selectionRange(start, end)) {
            target = nextCaret(start);
        } else {
            const int p = previousDigit(cursorPosition());
            target = p < 0 ? cursorPosition() : p;
        }
        QLineEdit::setCursorPosition(target); // also drops the selection
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::MoveToNextChar)) {
        int start = 0, end = 0;
        int target;
        if (selectionRange(start, end))
            target = nextCaret(end);
        else
            target = nextCaret(qMin(cursorPosition() + 1, int(value_.size())));
        QLineEdit::setCursorPosition(target);
        event->accept();
        return;
    }
    const QString typed = event->text();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::KeypadModifier);
    const bool ctrlOnly = mods == Qt::ControlModifier ||
                          mods == (Qt::ControlModifier | Qt::ShiftModifier) ||
                          mods == Qt::MetaModifier;
    if (!typed.isEmpty() && typed.at(0).isPrint() && !ctrlOnly) {
        insert(typed);
        event->accept();
        return;
    }
    // Navigation, selection, Enter, Escape, Tab: QLineEdit's own handling cannot change the text
    // (and onBaseTextChanged would repair it if it did).
    QLineEdit::keyPressEvent(event);
}

void TMaskEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty())
        insert(event->commitString());
    event->accept();
}

void TMaskEdit::mouseReleaseEvent(QMouseEvent* event) {
    // X11 middle-button paste would insert raw text; take its digits instead.
    if (event->button() == Qt::MiddleButton) {
        QClipboard* cb = QGuiApplication::clipboard();
        if (cb && cb->supportsSelection() && !isReadOnly()) {
            setCursorPosition(cursorPositionAt(event->position().toPoint()));
            pasteDigits(cb->text(QClipboard::Selection));
        }
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TMaskEdit::contextMenuEvent(QContextMenuEvent* event) {
    // QLineEdit's standard menu calls its private editing functions, which know nothing of the
    // mask; this menu routes through ours.
    QMenu menu(this);
    const bool selected = hasSelectedText();
    const bool editable = !isReadOnly();
    const QClipboard* cb = QGuiApplication::clipboard();
    QAction* a = menu.addAction(tr("Cu&t"), this, &TMaskEdit::cut);
    a->setEnabled(selected && editable);
    a = menu.addAction(tr("&Copy"), this, [this] { copy(); });
    a->setEnabled(selected);
    a = menu.addAction(tr("&Paste"), this, &TMaskEdit::paste);
    a->setEnabled(editable && cb && !digitsOf(cb->text()).isEmpty());
    a = menu.addAction(tr("Delete"), this, &TMaskEdit::del);
    a->setEnabled(selected && editable);
    menu.addSeparator();
    menu.addAction(tr("Select All"), this, &QLineEdit::selectAll);
    menu.exec(event->globalPos());
}

void TMaskEdit::onBaseTextChanged(const QString& display) {
    if (updating_)
        return;
    // The line edit's text was changed behind this class (a call through a QLineEdit* or some
    // editing path of QLineEdit's own): read it as a program-set text and show the result.
    QString text = display;
    if (blankChar_ != QLatin1Char(' '))
        text.replace(blankChar_, QLatin1Char(' '));
    const QString next = valueFor(text);
    const int caret = cursorPosition();
    const bool changed = next != value_;
    value_ = next;
    render();
    placeCaret(nextCaret(caret));
    if (changed)
        emit valueChanged(value_);
}

void TMaskEdit::snapCaret() {
    if (updating_ || hasSelectedText())
        return;
    const int pos = cursorPosition();
    const int target = nextCaret(pos);
    if (target != pos) {
        placeCaret(target);
    }
}

#include "ui/widgets/NoteMemo.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <climits>

namespace {

// Any of "\r\n", "\r", "\n" and the Unicode line/paragraph separators become one '\n'.
QString normalizeBreaks(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out += QLatin1Char('\n');
        } else if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            out += QLatin1Char('\n');
        } else {
            out += c;
        }
    }
    return out;
}

// Length in the stored form, where each line break is "\r\n".
int storedLength(const QString& text) {
    int n = 0;
    for (QChar c : text)
        n += (c == QLatin1Char('\n') || c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
                 ? 2
                 : 1;
    return n;
}

bool isTypedText(const QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.at(0);
    if (c.category() == QChar::Other_Format)
        return true;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier))
        return false;
    return c.isPrint() || c.category() == QChar::Other_PrivateUse || c.isHighSurrogate();
}

} // namespace

TNoteMemo::TNoteMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A word longer than the line is broken inside, as a Windows memo does.
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the next control; a note holds no tabs typed by the user.
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &TNoteMemo::onTextChanged);
}

void TNoteMemo::setMaxLength(int length) {
    maxLength_ = qMax(0, length);
}

QString TNoteMemo::currentText() const {
    QString raw = document()->toRawText();
    for (QChar& c : raw)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = QLatin1Char('\n');
    return raw;
}

QString TNoteMemo::text() const {
    QString t = currentText();
    t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return t;
}

void TNoteMemo::setText(const QString& text) {
    const QString next = normalizeBreaks(text);
    if (next == currentText())
        return;
    // setPlainText empties the document before it fills it; the intermediate states are no
    // changes of their own.
    settingText_ = true;
    QPlainTextEdit::setPlainText(next);
    settingText_ = false;
    // Text placed by the program is not an edit: there is nothing to revert to.
    canRevert_ = false;
    const QString now = currentText();
    if (now != lastText_) {
        lastText_ = now;
        emit changed();
    }
}

void TNoteMemo::onTextChanged() {
    if (settingText_)
        return;
    const QString now = currentText();
    if (now == lastText_)
        return;
    if (reverting_) {
        canRevert_ = false;
    } else {
        beforeEdit_ = lastText_;
        canRevert_ = true;
    }
    lastText_ = now;
    emit changed();
}

void TNoteMemo::revertLatestEdit() {
    if (!canRevert_)
        return;
    canRevert_ = false;
    const QString target = beforeEdit_;
    const QString now = currentText();
    if (target == now)
        return;
    // Replace only the part that differs, so the caret lands where the edit happened.
    int prefix = 0;
    const int shorter = qMin(target.size(), now.size());
    while (prefix < shorter && target.at(prefix) == now.at(prefix))
        ++prefix;
    int suffix = 0;
    while (suffix < shorter - prefix &&
           target.at(target.size() - 1 - suffix) == now.at(now.size() - 1 - suffix))
        ++suffix;
    QTextCursor cursor(document());
    cursor.setPosition(prefix);
    cursor.setPosition(now.size() - suffix, QTextCursor::KeepAnchor);
    const QString middle = target.mid(prefix, target.size() - suffix - prefix);
    reverting_ = true;
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    if (!middle.isEmpty())
        cursor.insertText(middle);
    cursor.endEditBlock();
    setTextCursor(cursor);
    reverting_ = false;
}

void TNoteMemo::clearUndoHistory() {
    document()->clearUndoRedoStacks();
    canRevert_ = false;
}

int TNoteMemo::room() const {
    if (maxLength_ <= 0)
        return INT_MAX;
    const int selected = storedLength(textCursor().selectedText());
    return maxLength_ - storedLength(currentText()) + selected;
}

QString TNoteMemo::fitting(const QString& text) const {
    const int limit = room();
    if (limit == INT_MAX)
        return text;
    int used = 0;
    int i = 0;
    while (i < text.size()) {
        const bool pair =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const int cost = text.at(i) == QLatin1Char('\n') ? 2 : (pair ? 2 : 1);
        if (used + cost > limit)
            break;
        used += cost;
        i += pair ? 2 : 1;
    }
    return text.left(i);
}

void TNoteMemo::insertAtCursor(const QString& text) {
    QTextCursor cursor = textCursor();
    cursor.insertText(text);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TNoteMemo::keyPressEvent(QKeyEvent* event) {
    if (isReadOnly()) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Always a plain line break: Shift+Enter would otherwise put in a line separator,
        // which the stored form has no place for.
        if (room() >= 2)
            insertAtCursor(QStringLiteral("\n"));
        event->accept();
        return;
    }
    if (isTypedText(event)) {
        const QString typed = event->text();
        const QString fit = fitting(typed);
        if (fit.size() < typed.size()) {
            if (!fit.isEmpty())
                insertAtCursor(fit);
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TNoteMemo::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = normalizeBreaks(event->commitString());
    const QString fit = isReadOnly() ? commit : fitting(commit);
    if (fit == event->commitString()) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent trimmed(event->preeditString(), event->attributes());
    trimmed.setCommitString(fit, event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&trimmed);
    event->setAccepted(trimmed.isAccepted());
}

void TNoteMemo::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly() || !source || !source->hasText())
        return;
    // What does not fit is dropped, the rest goes in as one edit.
    const QString fit = fitting(normalizeBreaks(source->text()));
    if (!fit.isEmpty())
        insertAtCursor(fit);
}

int TNoteMemo::viewportWidthForLayout() const {
    // Once laid out, the viewport is the truth. Before that (hidden, or resized while hidden) it
    // is still at an old size, so work it out the way QAbstractScrollArea will.
    if (!testAttribute(Qt::WA_PendingResizeEvent) && viewport()->width() > 0)
        return viewport()->width();
    const int scrollBar = verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff
                              ? 0
                              : verticalScrollBar()->sizeHint().width();
    int available = width() - 2 * frameWidth() - scrollBar;
    if (frameShape() != QFrame::NoFrame &&
        style()->styleHint(QStyle::SH_ScrollView_FrameOnlyAroundContents, nullptr, this))
        available -= style()->pixelMetric(QStyle::PM_ScrollView_ScrollBarSpacing, nullptr, this);
    const QMargins margins = viewportMargins();
    return available - margins.left() - margins.right();
}

// Lays every paragraph out the way QPlainTextEdit's own layout does (same font, options and
// width) but independently of it, since that layout is only built lazily for visible blocks.
template <typename F> void TNoteMemo::forEachDisplayedLine(F&& visit) const {
    const QTextDocument* doc = document();
    qreal lineWidth = viewportWidthForLayout() - 2 * doc->documentMargin();
    if (lineWidth < 1)
        lineWidth = 1;
    const QTextOption option = doc->defaultTextOption();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        const QString para = block.text();
        if (!block.next().isValid() && para.isEmpty())
            break; // an empty last line is not a displayed line
        QTextLayout layout(para, doc->defaultFont());
        layout.setTextOption(option);
        layout.beginLayout();
        for (;;) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(lineWidth);
            visit(para.mid(line.textStart(), line.textLength()));
        }
        layout.endLayout();
    }
}

int TNoteMemo::displayedLineCount() const {
    int count = 0;
    forEachDisplayedLine([&count](const QString&) { ++count; });
    return count;
}

QStringList TNoteMemo::displayedLines() const {
    QStringList lines;
    forEachDisplayedLine([&lines](const QString& line) { lines << line; });
    return lines;
}

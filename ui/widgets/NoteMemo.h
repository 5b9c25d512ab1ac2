#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QStringList>

// A multi-line note field: words wrap at the widget's width, there is no horizontal scroll bar
// and the vertical scroll bar is always shown (which also keeps the wrapping width independent of
// the text's length).
//
// Notes are stored with "\r\n" line breaks; text()/setText() speak that form while the widget
// holds ordinary paragraphs.
//
// changed() fires only when the text really changes. QPlainTextEdit::textChanged is not usable for
// that: it also fires when setPlainText puts back the same text and on format changes.
//
// The window limits notes to a number of displayed lines by reverting the edit that went over:
// on changed(), if displayedLineCount() is over the limit it calls revertLatestEdit(), then
// clearUndoHistory(). revertLatestEdit() does not rely on the document's undo stack, which merges
// consecutive typing into one step: the memo remembers the text before the latest change, so one
// keystroke, one paste or one cut is reverted exactly. The revert is itself a change and emits
// changed() once; it can never be reverted again, so a handler that runs again from inside it
// cannot ping-pong, even on a stored note that is over the limit already.
class TNoteMemo : public QPlainTextEdit {
    Q_OBJECT
    Q_PROPERTY(int maxLength READ maxLength WRITE setMaxLength)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY changed USER true)

public:
    explicit TNoteMemo(QWidget* parent = nullptr);

    // Limit for typing and pasting, in characters of the stored form (a line break counts two,
    // as "\r\n"), so that what the user enters always fits its column. 0 means no limit.
    // Text the program sets with setText is never cut.
    void setMaxLength(int length);
    int maxLength() const { return maxLength_; }

    // The whole text with "\r\n" line breaks.
    QString text() const;

    // Lines as the memo shows them at its current width and font: each wrapped line counts, an
    // empty last line (text ending with a line break) does not, an empty memo has none. The width
    // is worked out from the widget's size, so the count is right even while the memo is hidden
    // or has not been laid out since it was resized.
    int displayedLineCount() const;
    // The texts of those lines in order. A wrapped line keeps the blank it was broken at, so the
    // lines of one paragraph put together give the paragraph back.
    QStringList displayedLines() const;

    // Puts back the text as it was before the latest change by editing; does nothing after
    // setText or clearUndoHistory, or when it has just reverted.
    void revertLatestEdit();
    void clearUndoHistory();

public slots:
    // Accepts "\r\n", "\n" or "\r" line breaks. Setting the current text again does nothing.
    void setText(const QString& text);
    // Hide QPlainTextEdit's versions so that calls through TNoteMemo* keep the notifications right.
    void setPlainText(const QString& text) { setText(text); }
    void clear() { setText(QString()); }

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    QString currentText() const; // document text with '\n' line breaks
    int room() const;
    QString fitting(const QString& text) const;
    void insertAtCursor(const QString& text);
    int viewportWidthForLayout() const;
    template <typename F> void forEachDisplayedLine(F&& visit) const;
    void onTextChanged();

    int maxLength_ = 0;
    QString lastText_;   // the text as of the latest changed()
    QString beforeEdit_; // the text before the latest change, for revertLatestEdit
    bool canRevert_ = false;
    bool settingText_ = false;
    bool reverting_ = false;
};

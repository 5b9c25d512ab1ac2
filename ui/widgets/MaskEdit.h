#pragma once

#include "model/ContactColumns.h"

#include <QLineEdit>
#include <QString>
#include <QVector>

// A single-line edit for fixed-shape numbers such as "(225)123-4567" or a five-digit extension.
//
// Qt's own input masks do not fit this program: QLineEdit::text() drops the blanks of unfilled
// positions ("()-" for an empty phone), and a program-set "123" fills from the left. The stored
// form of a masked field is always full length, literal characters in place and a blank in every
// unfilled digit position, so this widget keeps that value itself and only shows it through the
// line edit.
//
// Mask notation (the usual edit-mask notation, digit positions only):
//   - a leading "!" (program-set texts fill each run of digit positions from its end);
//   - "9", "0" and "#" are digit positions, all of them optional here;
//   - "\x" is the literal x; any other character is a literal too ("_" stands for a literal blank,
//     "<", ">" are ignored);
//   - ";1" / ";0" after the body: literals are always kept in the value, whichever is given;
//   - a last ";c" field names the character shown for an unfilled position (default "_").
// Without setEditMask the widget uses the phone mask kPhoneMask; an empty mask also restores it,
// so the widget never ends up without any digit position.
//
// Editing only ever touches digit positions: a typed digit overwrites the position at (or after)
// the caret, non-digits are ignored, Backspace/Delete/cut blank digit positions, paste takes the
// digits of the clipboard text. There is no undo (QLineEdit's own history is always empty because
// every change rewrites the whole display).
//
// Program-set texts (setValue/setText) follow the "!" rule:
//   - an empty text gives the empty value;
//   - a text that already has a value's shape is that value;
//   - the text is split at those of its characters that match the mask's literals in order; each
//     piece fills its run of digit positions: a piece no longer than the run is placed
//     character by character at the run's END (blanks first, a non-digit becomes a blank); a
//     longer piece keeps only its digits, the first ones when there are still too many;
//   - when the literal that should close a run is missing, the rest of the text goes into the
//     current run if it fits, otherwise it is spread over all remaining digit positions;
//   - a text holding none of the mask's literals (e.g. "2251234567") is spread over all digit
//     positions: character by character when its length equals their number, otherwise its
//     digits alone, placed at the end (ten digits give "(225)123-4567", seven give
//     "(   )123-4567"), the first ones kept when there are too many.
// Every value the widget itself produces comes back unchanged through setValue.
class TMaskEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString editMask READ editMask WRITE setEditMask)
    Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged USER true)
    // Shadows QLineEdit's property so that generic property access sees the value, not the
    // display form with its "_" characters.
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY valueChanged)

public:
    static constexpr const char* kPhoneMask = ::kPhoneMask;         // "!\(999\)999-9999;1;_"
    static constexpr const char* kExtensionMask = ::kExtensionMask; // "!99999;1;_"

    explicit TMaskEdit(QWidget* parent = nullptr);

    void setEditMask(const QString& mask);
    QString editMask() const { return mask_; }

    // Full length, literals in place, a blank in each unfilled digit position.
    QString value() const { return value_; }
    // Hides QLineEdit::text(), which would return the display form with "_" in unfilled
    // positions. The form reads masked fields through TMaskEdit*, so it gets the stored form;
    // a call through a QLineEdit* still gets the display form.
    QString text() const { return value_; }
    QString emptyValue() const { return template_; }
    // What the program would store for `text` under this widget's mask, without changing it.
    QString valueFor(const QString& text) const;

    bool isDigitPosition(int pos) const;
    // The format as a screen reader tells it (the accessible description): "(999)999-9999" for
    // the phone mask, "five digits" for the extension's.
    QString formatDescription() const;

public slots:
    void setValue(const QString& text);
    // Hides QLineEdit::setText: same as setValue.
    void setText(const QString& text) { setValue(text); }
    void clear() { setValue(QString()); }

    // These hide QLineEdit's non-virtual editing slots so that calls through TMaskEdit* keep the
    // value well formed. The context menu and the keyboard use them too.
    void cut();
    void copy() const;
    void paste();
    void undo() {}
    void redo() {}

public:
    void backspace();
    void del();
    void insert(const QString& text);

signals:
    // Emitted exactly when the value changes, by editing or by the program.
    void valueChanged(const QString& value);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool parseMask(const QString& mask);
    bool hasValueShape(const QString& text) const;
    QString displayText(const QString& value) const;
    void applyValue(const QString& value, int caret);
    void render();
    // Moves the caret without taking it for the user's move.
    void placeCaret(int pos);
    void placeRun(QString& value, const QString& piece, int from, int count) const;
    void placeSpread(QString& value, const QString& rest, int from) const;
    int digitCountFrom(int from) const;
    bool singleRunFrom(int from) const;
    int nextCaret(int pos) const;
    int previousDigit(int pos) const;
    bool selectionRange(int& start, int& end) const;
    QString blankedSelection() const;
    void pasteDigits(const QString& text);
    // Blanks the selection, or else the given digit position (none when out of range).
    void blankSelectionOrDigit(int digit);
    void onBaseTextChanged(const QString& display);
    void snapCaret();

    QString mask_;
    QString template_;    // literals in place, a blank in each digit position
    QVector<bool> digit_; // per position: true for a digit position
    QChar blankChar_ = QLatin1Char('_');
    QString value_;
    bool updating_ = false; // set while this class itself changes the line edit
};

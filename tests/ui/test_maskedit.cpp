#include "ui/widgets/MaskEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString kPhone = QString::fromLatin1(TMaskEdit::kPhoneMask);
const QString kExt = QString::fromLatin1(TMaskEdit::kExtensionMask);
const QString kEmptyPhone = QStringLiteral("(   )   -    ");
const QString kEmptyExt = QStringLiteral("     ");

// Literals where the mask has them, a digit or a blank everywhere else.
bool wellFormed(const QString& value, const QString& empty) {
    if (value.size() != empty.size())
        return false;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (empty.at(i) != QLatin1Char(' ')) {
            if (c != empty.at(i))
                return false;
        } else if (c != QLatin1Char(' ') && !(c >= QLatin1Char('0') && c <= QLatin1Char('9'))) {
            return false;
        }
    }
    return true;
}

QString shownFor(const QString& value, const QString& empty) {
    QString s = value;
    for (int i = 0; i < s.size(); ++i)
        if (empty.at(i) == QLatin1Char(' ') && s.at(i) == QLatin1Char(' '))
            s[i] = QLatin1Char('_');
    return s;
}

QString shown(const TMaskEdit& e) {
    return e.QLineEdit::text();
}

} // namespace

class TestMaskEdit : public QObject {
    Q_OBJECT

private:
    void showEdit(TMaskEdit& e, const QString& mask) {
        e.setEditMask(mask);
        e.resize(120, 22);
        e.show();
        QVERIFY(QTest::qWaitForWindowExposed(&e));
        e.activateWindow();
        e.setFocus();
    }

private slots:
    void emptyValuesAndLengths() {
        TMaskEdit phone;
        QCOMPARE(phone.value(), kEmptyPhone); // default mask is the phone mask
        QCOMPARE(phone.text(), kEmptyPhone);
        QCOMPARE(shown(phone), QStringLiteral("(___)___-____"));
        QCOMPARE(phone.maxLength(), 13);
        QVERIFY(phone.inputMask().isEmpty());

        TMaskEdit ext;
        ext.setEditMask(kExt);
        QCOMPARE(ext.value(), kEmptyExt);
        QCOMPARE(shown(ext), QStringLiteral("_____"));
        QCOMPARE(ext.maxLength(), 5);

        // An empty mask falls back to the phone shape instead of leaving no digit position.
        ext.setEditMask(QString());
        QCOMPARE(ext.value(), kEmptyPhone);
    }

    void programSetPhone_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << "" << kEmptyPhone;
        QTest::newRow("stored full") << "(225)123-4567"
                                     << "(225)123-4567";
        QTest::newRow("stored empty") << kEmptyPhone << kEmptyPhone;
        QTest::newRow("stored with inner blanks") << "(2 5) 1 -  67"
                                                  << "(2 5) 1 -  67";
        QTest::newRow("short runs fill from the end") << "(25)1-45"
                                                      << "( 25)  1-  45";
        QTest::newRow("short last run") << "(225)123-456"
                                        << "(225)123- 456";
        QTest::newRow("digits only") << "2251234567"
                                     << "(225)123-4567";
        QTest::newRow("seven digits") << "1234567"
                                      << "(   )123-4567";
        QTest::newRow("too many digits") << "123456789012"
                                         << "(123)456-7890";
        QTest::newRow("dashes only") << "225-123-4567"
                                     << "(225)123-4567";
        QTest::newRow("blank after paren") << "(225) 123-4567"
                                           << "(225)123-4567";
        QTest::newRow("missing dash") << "(225)1234567"
                                      << "(225)123-4567";
        QTest::newRow("area code only") << "(225"
                                        << "(225)   -    ";
        QTest::newRow("missing open paren") << "225)123-4567"
                                            << "(225)123-4567";
        QTest::newRow("over-long last run") << "(225)123-4567890"
                                            << "(225)123-4567";
        QTest::newRow("over-long first run") << "(22555)123-4567"
                                             << "(225)123-4567";
        QTest::newRow("letters become blanks") << "(2a5)1b3-45c7"
                                               << "(2 5)1 3-45 7";
        QTest::newRow("letters only") << "abc" << kEmptyPhone;
        QTest::newRow("literals only") << "()-" << kEmptyPhone;
        QTest::newRow("display form") << "(___)___-____" << kEmptyPhone;
    }
    void programSetPhone() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        TMaskEdit e;
        e.setText(text);
        QCOMPARE(e.value(), expected);
        QCOMPARE(shown(e), shownFor(expected, kEmptyPhone));
        QCOMPARE(e.valueFor(text), expected);
    }

    void programSetExtension_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << "" << kEmptyExt;
        QTest::newRow("three digits") << "123"
                                      << "  123";
        QTest::newRow("full") << "12345"
                              << "12345";
        QTest::newRow("stored with blanks") << " 1 23"
                                            << " 1 23";
        QTest::newRow("too long") << "1234567"
                                  << "12345";
        QTest::newRow("letter") << "1a3"
                                << "  1 3";
        QTest::newRow("phone value") << "(225)123-4567"
                                     << "22512";
    }
    void programSetExtension() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        TMaskEdit e;
        e.setEditMask(kExt);
        e.setValue(text);
        QCOMPARE(e.value(), expected);
        QCOMPARE(shown(e), shownFor(expected, kEmptyExt));
    }

    // Every value the field can hold must come back unchanged from the database, and whatever
    // text arrives, the value keeps its shape.
    void programSetFuzz() {
        QRandomGenerator rng(20240611);
        const QString alphabet = QStringLiteral("0123456789()- ab_\t;\\9");
        for (const QString& mask : {kPhone, kExt}) {
            TMaskEdit e;
            e.setEditMask(mask);
            const QString empty = e.emptyValue();
            for (int round = 0; round < 3000; ++round) {
                QString stored = empty;
                for (int i = 0; i < stored.size(); ++i)
                    if (empty.at(i) == QLatin1Char(' ') && rng.bounded(3) != 0)
                        stored[i] = QChar(u'0' + rng.bounded(10));
                e.setValue(stored);
                QCOMPARE(e.value(), stored);

                QString junk;
                const int len = rng.bounded(30);
                for (int i = 0; i < len; ++i)
                    junk += alphabet.at(rng.bounded(alphabet.size()));
                e.setValue(junk);
                const QString v = e.value();
                QVERIFY2(wellFormed(v, empty), qPrintable(junk + " -> " + v));
                QCOMPARE(shown(e), shownFor(v, empty));
                // Placing the result again changes nothing.
                QCOMPARE(e.valueFor(v), v);
            }
        }
    }

    void valueChangedOnlyOnRealChange() {
        TMaskEdit e;
        QSignalSpy spy(&e, &TMaskEdit::valueChanged);
        e.setValue(QString());
        e.setText(kEmptyPhone);
        QCOMPARE(spy.count(), 0);
        e.setValue(QStringLiteral("(225)123-4567"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.last().at(0).toString(), QStringLiteral("(225)123-4567"));
        e.setValue(QStringLiteral("(225)123-4567"));
        e.setValue(QStringLiteral("2251234567")); // same value, written differently
        QCOMPARE(spy.count(), 1);
        e.clear();
        QCOMPARE(spy.count(), 2);
        QCOMPARE(e.value(), kEmptyPhone);

        // A mask change that alters the value is a change; one that keeps it is not.
        e.setEditMask(kPhone);
        QCOMPARE(spy.count(), 2);
        e.setEditMask(kExt);
        QCOMPARE(spy.count(), 3);
        QCOMPARE(e.value(), kEmptyExt);
        QCOMPARE(e.maxLength(), 5);
    }

    void typing() {
        TMaskEdit e;
        showEdit(e, kPhone);
        QSignalSpy spy(&e, &TMaskEdit::valueChanged);
        QTest::keyClick(&e, Qt::Key_Home);
        QCOMPARE(e.cursorPosition(), 1); // the caret never rests before a literal
        QTest::keyClicks(&e, QStringLiteral("22"));
        QCOMPARE(e.value(), QStringLiteral("(22 )   -    "));
        QCOMPARE(shown(e), QStringLiteral("(22_)___-____"));
        QTest::keyClicks(&e, QStringLiteral("51234567"));
        QCOMPARE(e.value(), QStringLiteral("(225)123-4567"));
        QCOMPARE(spy.count(), 10);
        QCOMPARE(e.cursorPosition(), 13);

        // Past the end and non-digits: nothing happens.
        QTest::keyClicks(&e, QStringLiteral("9x-( "));
        QCOMPARE(e.value(), QStringLiteral("(225)123-4567"));
        QCOMPARE(spy.count(), 10);

        // Overwriting a digit with the same digit is no change.
        QTest::keyClick(&e, Qt::Key_Home);
        QTest::keyClick(&e, Qt::Key_2);
        QCOMPARE(spy.count(), 10);
        QCOMPARE(e.cursorPosition(), 2);
        QTest::keyClick(&e, Qt::Key_9);
        QCOMPARE(e.value(), QStringLiteral("(295)123-4567"));
        QCOMPARE(spy.count(), 11);

        // Keypad digits type like the others.
        QTest::keyClick(&e, Qt::Key_End);
        QTest::keyClick(&e, Qt::Key_Left);
        QTest::keyClick(&e, Qt::Key_0, Qt::KeypadModifier);
        QCOMPARE(e.value(), QStringLiteral("(295)123-4560"));
    }

    void caretSkipsLiterals() {
        TMaskEdit e;
        showEdit(e, kPhone);
        e.setCursorPosition(0);
        QCOMPARE(e.cursorPosition(), 1);
        e.setCursorPosition(4);
        QCOMPARE(e.cursorPosition(), 5);
        QTest::keyClick(&e, Qt::Key_Left);
        QCOMPARE(e.cursorPosition(), 3);
        QTest::keyClick(&e, Qt::Key_Right);
        QCOMPARE(e.cursorPosition(), 5);
        e.setCursorPosition(8);
        QTest::keyClick(&e, Qt::Key_Right);
        QCOMPARE(e.cursorPosition(), 10);
        QTest::keyClick(&e, Qt::Key_Home);
        QTest::keyClick(&e, Qt::Key_Left);
        QCOMPARE(e.cursorPosition(), 1);
        // Typing just before a literal goes into the next digit position.
        e.setCursorPosition(7);
        QTest::keyClicks(&e, QStringLiteral("12"));
        QCOMPARE(e.value(), QStringLiteral("(   )  1-2   "));
        QCOMPARE(e.cursorPosition(), 10);
    }

    void backspaceAndDelete() {
        TMaskEdit e;
        showEdit(e, kPhone);
        QSignalSpy spy(&e, &TMaskEdit::valueChanged);
        QTest::keyClick(&e, Qt::Key_Home);
        QTest::keyClicks(&e, QStringLiteral("2251"));
        QCOMPARE(e.cursorPosition(), 6);
        QTest::keyClick(&e, Qt::Key_Backspace);
        QCOMPARE(e.value(), QStringLiteral("(225)   -    "));
        QCOMPARE(e.cursorPosition(), 5);
        // Backspace over the ")" blanks the digit before it; the literal stays.
        QTest::keyClick(&e, Qt::Key_Backspace);
        QCOMPARE(e.value(), QStringLiteral("(22 )   -    "));
        QCOMPARE(e.cursorPosition(), 3);
        const int before = spy.count();
        for (int i = 0; i < 6; ++i)
            QTest::keyClick(&e, Qt::Key_Backspace);
        QCOMPARE(e.value(), kEmptyPhone);
        QCOMPARE(e.cursorPosition(), 1);
        QCOMPARE(spy.count(), before + 2); // only the two digits were changes

        e.setValue(QStringLiteral("(225)123-4567"));
        e.setCursorPosition(1);
        QTest::keyClick(&e, Qt::Key_Delete);
        QCOMPARE(e.value(), QStringLiteral("( 25)123-4567"));
        QCOMPARE(e.cursorPosition(), 1);
        // Delete just before a literal blanks the next digit position.
        e.setCursorPosition(8);
        QTest::keyClick(&e, Qt::Key_Delete);
        QCOMPARE(e.value(), QStringLiteral("( 25)123- 567"));
        e.setCursorPosition(13);
        const int atEnd = spy.count();
        QTest::keyClick(&e, Qt::Key_Delete);
        QCOMPARE(spy.count(), atEnd);
        // Word deletion keys would take literals with them; they do nothing here.
        QTest::keyClick(&e, Qt::Key_Backspace, Qt::ControlModifier);
        QTest::keyClick(&e, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(e.value(), QStringLiteral("( 25)123- 567"));
    }

    void selection() {
        TMaskEdit e;
        showEdit(e, kPhone);
        e.setValue(QStringLiteral("(225)123-4567"));
        e.setSelection(2, 5); // "25)12"
        QTest::keyClick(&e, Qt::Key_9);
        QCOMPARE(e.value(), QStringLiteral("(29 )  3-4567"));
        QCOMPARE(e.cursorPosition(), 3);

        e.setSelection(6, 5);           // "3-456"
        QTest::keyClick(&e, Qt::Key_X); // a non-digit leaves the selection's digits alone
        QCOMPARE(e.value(), QStringLiteral("(29 )  3-4567"));
        QTest::keyClick(&e, Qt::Key_Backspace);
        QCOMPARE(e.value(), QStringLiteral("(29 )   -  67"));
        QCOMPARE(e.cursorPosition(), 6);

        e.selectAll();
        QTest::keyClick(&e, Qt::Key_Delete);
        QCOMPARE(e.value(), kEmptyPhone);

        // Shift+arrows select; typing then replaces from the selection's start.
        e.setValue(QStringLiteral("(225)123-4567"));
        e.setCursorPosition(5);
        QTest::keyClick(&e, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(&e, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(&e, Qt::Key_8);
        QCOMPARE(e.value(), QStringLiteral("(225)8 3-4567"));
    }

    void clipboard() {
        QClipboard* cb = QGuiApplication::clipboard();
        TMaskEdit e;
        showEdit(e, kPhone);
        QSignalSpy spy(&e, &TMaskEdit::valueChanged);

        cb->setText(QStringLiteral("Tel: 555-1234"));
        e.setCursorPosition(5);
        QTest::keyClick(&e, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(e.value(), QStringLiteral("(   )555-1234"));
        QCOMPARE(spy.count(), 1); // one paste, one notification

        // Digits beyond the last position are dropped.
        cb->setText(QStringLiteral("(225) 123-4567 ext 99"));
        QTest::keyClick(&e, Qt::Key_Home);
        QTest::keyClick(&e, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(e.value(), QStringLiteral("(225)123-4567"));

        // A clipboard without digits changes nothing, not even a selection.
        cb->setText(QStringLiteral("none"));
        e.selectAll();
        QTest::keyClick(&e, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(e.value(), QStringLiteral("(225)123-4567"));

        // Pasting over a selection blanks it first.
        cb->setText(QStringLiteral("9"));
        e.setSelection(1, 7);
        QTest::keyClick(&e, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(e.value(), QStringLiteral("(9  )   -4567"));

        // Copy and cut carry the stored form; cut blanks the digits only.
        e.setValue(QStringLiteral("(225)123-4567"));
        e.selectAll();
        QTest::keyClick(&e, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(cb->text(), QStringLiteral("(225)123-4567"));
        QCOMPARE(e.value(), QStringLiteral("(225)123-4567"));
        e.setSelection(3, 4);
        QTest::keyClick(&e, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(cb->text(), QStringLiteral("5)12"));
        QCOMPARE(e.value(), QStringLiteral("(22 )  3-4567"));

        TMaskEdit ext;
        showEdit(ext, kExt);
        cb->setText(QStringLiteral("12345678"));
        ext.setCursorPosition(0);
        QTest::keyClick(&ext, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(ext.value(), QStringLiteral("12345"));
    }

    void undoCannotCorrupt() {
        TMaskEdit e;
        showEdit(e, kPhone);
        QTest::keyClick(&e, Qt::Key_Home);
        QTest::keyClicks(&e, QStringLiteral("225"));
        QTest::keyClick(&e, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&e, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(e.value(), QStringLiteral("(225)   -    "));
        QVERIFY(!e.isUndoAvailable());
        QLineEdit* base = &e;
        base->undo();
        QCOMPARE(e.value(), QStringLiteral("(225)   -    "));
        QCOMPARE(shown(e), QStringLiteral("(225)___-____"));
    }

    // Code holding only a QLineEdit* must not be able to break the value either.
    void changesThroughTheBaseClass() {
        TMaskEdit e;
        QSignalSpy spy(&e, &TMaskEdit::valueChanged);
        QLineEdit* base = &e;
        base->setText(QStringLiteral("2251234567"));
        QCOMPARE(e.value(), QStringLiteral("(225)123-4567"));
        QCOMPARE(base->text(), QStringLiteral("(225)123-4567"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(e.property("text").toString(), QStringLiteral("(225)123-4567"));
        base->clear();
        QCOMPARE(e.value(), kEmptyPhone);
        QCOMPARE(spy.count(), 2);
        base->setCursorPosition(3);
        base->insert(QStringLiteral("7x"));
        QVERIFY(wellFormed(e.value(), kEmptyPhone));
        QCOMPARE(base->text(), shownFor(e.value(), kEmptyPhone));
    }

    // Random keystrokes: the value keeps its shape, the display matches it, the caret rests on
    // a digit position, and every real change is announced exactly once.
    void keystrokeFuzz() {
        QClipboard* cb = QGuiApplication::clipboard();
        QRandomGenerator rng(777);
        const QList<Qt::Key> keys = {
            Qt::Key_0,     Qt::Key_1,     Qt::Key_5,         Qt::Key_9,      Qt::Key_A,
            Qt::Key_Minus, Qt::Key_Space, Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Left,
            Qt::Key_Right, Qt::Key_Home,  Qt::Key_End,       Qt::Key_V,      Qt::Key_X,
            Qt::Key_Z,     Qt::Key_C,     Qt::Key_A};
        const QStringList clips = {QStringLiteral("12"), QStringLiteral("(504) 555-0199"),
                                   QStringLiteral("abc"), QString(), QStringLiteral("7 7 7")};
        for (const QString& mask : {kPhone, kExt}) {
            TMaskEdit e;
            showEdit(e, mask);
            const QString empty = e.emptyValue();
            QSignalSpy spy(&e, &TMaskEdit::valueChanged);
            for (int step = 0; step < 3000; ++step) {
                const QString before = e.value();
                const int signalsBefore = spy.count();
                const Qt::Key key = keys.at(rng.bounded(keys.size()));
                Qt::KeyboardModifiers mods = Qt::NoModifier;
                const int r = rng.bounded(10);
                if (key == Qt::Key_V || key == Qt::Key_X || key == Qt::Key_Z || key == Qt::Key_C ||
                    key == Qt::Key_A)
                    mods = r < 7 ? Qt::ControlModifier : Qt::NoModifier;
                else if (r == 0)
                    mods = Qt::ShiftModifier;
                if (key == Qt::Key_V)
                    cb->setText(clips.at(rng.bounded(clips.size())));
                if (rng.bounded(40) == 0)
                    e.setValue(QStringLiteral("(225)123-4567"));
                else
                    QTest::keyClick(&e, key, mods);

                const QString v = e.value();
                QVERIFY2(wellFormed(v, empty), qPrintable(QString::number(step) + ": " + v));
                QCOMPARE(shown(e), shownFor(v, empty));
                QCOMPARE(e.text(), v);
                if (v != before) {
                    QCOMPARE(spy.count(), signalsBefore + 1);
                    QCOMPARE(spy.last().at(0).toString(), v);
                } else {
                    QCOMPARE(spy.count(), signalsBefore);
                }
                if (!e.hasSelectedText() && e.cursorPosition() < empty.size())
                    QVERIFY2(e.isDigitPosition(e.cursorPosition()),
                             qPrintable(QStringLiteral("step %1 key %2 mods %3 pos %4")
                                            .arg(step)
                                            .arg(int(key), 0, 16)
                                            .arg(int(mods), 0, 16)
                                            .arg(e.cursorPosition())));
            }
        }
    }
};

QTEST_MAIN(TestMaskEdit)
#include "test_maskedit.moc"

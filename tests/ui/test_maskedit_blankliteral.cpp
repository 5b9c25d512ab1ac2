// Masks whose literals include a blank ("_" or an escaped or plain space). A blank digit
// position next to such a literal used to be read as the literal when the value came back
// through the program-set rule, moving digits: setValue(value()) changed the value.
#include "ui/widgets/MaskEdit.h"

#include <QSignalSpy>
#include <QtTest>

class TestMaskEditBlankLiteral : public QObject {
    Q_OBJECT

private slots:
    void valueComesBackUnchanged_data() {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("value");
        QTest::newRow("underscore literal") << "99_99;1;_" << QString("1   2");
        QTest::newRow("space literal")
            << "xxx9999999 99999;0;*" << QString("xxx7") + QString(12, QLatin1Char(' '));
        QTest::newRow("space literal, digits after") << "99 99;1;_" << QString("   34");
        QTest::newRow("phone") << QString::fromLatin1(TMaskEdit::kPhoneMask) << "( 2 )1  -  4 ";
    }
    void valueComesBackUnchanged() {
        QFETCH(QString, mask);
        QFETCH(QString, value);
        TMaskEdit edit;
        edit.setEditMask(mask);
        QCOMPARE(edit.valueFor(value), value);
        edit.setValue(value);
        QCOMPARE(edit.value(), value);
        QSignalSpy spy(&edit, &TMaskEdit::valueChanged);
        edit.setValue(edit.value());
        QCOMPARE(edit.value(), value);
        QCOMPARE(spy.count(), 0);
    }

    // Typing into the positions around the blank literal keeps each digit where it was typed.
    void typedDigitsStayPut() {
        TMaskEdit edit;
        edit.setEditMask("99_99;1;_");
        edit.setCursorPosition(0);
        edit.insert("1");
        edit.setCursorPosition(4);
        edit.insert("2");
        QCOMPARE(edit.value(), QString("1   2"));
        QCOMPARE(edit.valueFor(edit.value()), edit.value());
    }
};

QTEST_MAIN(TestMaskEditBlankLiteral)
#include "test_maskedit_blankliteral.moc"

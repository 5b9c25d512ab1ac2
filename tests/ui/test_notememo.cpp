#include "ui/widgets/NoteMemo.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

namespace {

// The window's note handler in miniature: over the limit, take the edit back; always forget
// the history afterwards.
class LineLimit : public QObject {
public:
    LineLimit(TNoteMemo* memo, int limit) : memo_(memo), limit_(limit) {
        connect(memo, &TNoteMemo::changed, this, [this] {
            ++runs;
            if (memo_->displayedLineCount() > limit_) {
                ++reverts;
                memo_->revertLatestEdit();
            }
            memo_->clearUndoHistory();
        });
    }
    int runs = 0;
    int reverts = 0;

private:
    TNoteMemo* memo_;
    int limit_;
};

void paste(TNoteMemo& memo, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(&memo, Qt::Key_V, Qt::ControlModifier);
}

QString numberedLines(int count, const QString& sep) {
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("line %1").arg(i);
    return lines.join(sep);
}

const QString kProse = QStringLiteral(
    "Called about the spring order; wants the blue folders again but in the larger size, and "
    "asked whether delivery can move to the Thursday van because the loading dock is closed "
    "on Fridays until further notice.");

} // namespace

class TestNoteMemo : public QObject {
    Q_OBJECT

private:
    void showMemo(TNoteMemo& memo, int width, int height) {
        memo.setFont(QFont(QStringLiteral("Tahoma"), 8));
        memo.setFixedSize(width, height);
        memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&memo));
        memo.activateWindow();
        memo.setFocus();
    }

    // The line count QPlainTextEdit's own layout arrives at, block by block.
    static int layoutLineCount(TNoteMemo& memo) {
        QTextDocument* doc = memo.document();
        int lines = 0;
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
            if (!b.next().isValid() && b.text().isEmpty())
                break;
            doc->documentLayout()->blockBoundingRect(b); // lays the block out
            lines += b.layout()->lineCount();
        }
        return lines;
    }

private slots:
    void shape() {
        TNoteMemo memo;
        QCOMPARE(memo.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(memo.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(memo.lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(memo.maxLength(), 0);
    }

    void changedOnlyOnRealChange() {
        TNoteMemo memo;
        showMemo(memo, 185, 89);
        QSignalSpy spy(&memo, &TNoteMemo::changed);
        memo.setText(QString());
        QCOMPARE(spy.count(), 0);
        memo.setText(QStringLiteral("first\r\nsecond"));
        QCOMPARE(spy.count(), 1);
        memo.setText(QStringLiteral("first\r\nsecond"));
        memo.setText(QStringLiteral("first\nsecond")); // same text, other line breaks
        memo.setText(QStringLiteral("first\rsecond"));
        QCOMPARE(spy.count(), 1);
        memo.setFont(QFont(QStringLiteral("Tahoma"), 10));
        QCOMPARE(spy.count(), 1);

        QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(&memo, Qt::Key_X);
        QCOMPARE(spy.count(), 2);
        // Typing over a selection is one change, not a removal and an insertion.
        QTextCursor c = memo.textCursor();
        c.movePosition(QTextCursor::Start);
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        memo.setTextCursor(c);
        QTest::keyClick(&memo, Qt::Key_Y);
        QCOMPARE(spy.count(), 3);
        QCOMPARE(memo.text(), QStringLiteral("y\r\nsecondx"));
        // Keys that change nothing announce nothing.
        QTest::keyClick(&memo, Qt::Key_Left);
        QTest::keyClick(&memo, Qt::Key_Right);
        QCOMPARE(spy.count(), 3);
        QTest::keyClick(&memo, Qt::Key_Delete);
        QCOMPARE(memo.text(), QStringLiteral("ysecondx"));
        QCOMPARE(spy.count(), 4);
        QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(&memo, Qt::Key_Delete);
        QCOMPARE(spy.count(), 4);

        memo.clear();
        QCOMPARE(spy.count(), 5);
        QCOMPARE(memo.text(), QString());
        // Replacing one text by another is one change, however the document gets there.
        memo.setText(QStringLiteral("old note"));
        memo.setText(QStringLiteral("new note"));
        QCOMPARE(spy.count(), 7);
    }

    void lineBreakForms() {
        TNoteMemo memo;
        showMemo(memo, 499, 119);
        const QString stored = QStringLiteral("one\r\ntwo\r\n\r\nthree\r\n");
        memo.setText(stored);
        QCOMPARE(memo.text(), stored);
        QCOMPARE(memo.toPlainText(), QStringLiteral("one\ntwo\n\nthree\n"));
        memo.setText(QStringLiteral("a\rb\nc\r\n\rd"));
        QCOMPARE(memo.text(), QStringLiteral("a\r\nb\r\nc\r\n\r\nd"));
        QCOMPARE(memo.property("text").toString(), memo.text());

        // Enter, with or without Shift, is a line break of the stored form.
        memo.clear();
        QTest::keyClicks(&memo, QStringLiteral("ab"));
        QTest::keyClick(&memo, Qt::Key_Return);
        QTest::keyClicks(&memo, QStringLiteral("cd"));
        QTest::keyClick(&memo, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClick(&memo, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(memo.text(), QStringLiteral("ab\r\ncd\r\n\r\n"));
    }

    void revertTakesBackOneEdit() {
        TNoteMemo memo;
        showMemo(memo, 499, 119);
        memo.setText(QStringLiteral("stored"));
        memo.revertLatestEdit(); // program-set text is not an edit
        QCOMPARE(memo.text(), QStringLiteral("stored"));

        QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(&memo, QStringLiteral(" abc"));
        QSignalSpy spy(&memo, &TNoteMemo::changed);
        memo.revertLatestEdit();
        QCOMPARE(memo.text(), QStringLiteral("stored ab")); // only the last keystroke
        QCOMPARE(spy.count(), 1);
        memo.revertLatestEdit(); // one step only
        QCOMPARE(memo.text(), QStringLiteral("stored ab"));
        QCOMPARE(spy.count(), 1);

        // A paste over a selection comes back as the selection's text.
        QTextCursor c = memo.textCursor();
        c.setPosition(0);
        c.setPosition(6, QTextCursor::KeepAnchor);
        memo.setTextCursor(c);
        paste(memo, QStringLiteral("pasted\r\ntext"));
        QCOMPARE(memo.text(), QStringLiteral("pasted\r\ntext ab"));
        memo.revertLatestEdit();
        QCOMPARE(memo.text(), QStringLiteral("stored ab"));

        QTest::keyClick(&memo, Qt::Key_Z);
        memo.clearUndoHistory();
        memo.revertLatestEdit();
        QVERIFY(memo.text().contains(QLatin1Char('z')));
    }

    void lineLimitRevertsTheLineOverTheLimit_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("limit");
        QTest::newRow("contact notes") << 499 << 119 << 7;
        QTest::newRow("extra contact notes") << 185 << 89 << 5;
    }
    void lineLimitRevertsTheLineOverTheLimit() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, limit);
        TNoteMemo memo;
        showMemo(memo, width, height);
        LineLimit handler(&memo, limit);

        // Type the allowed lines character by character, Enter after each; an empty last line
        // does not count, so the final Enter is kept.
        for (int i = 1; i <= limit; ++i) {
            QTest::keyClicks(&memo, QStringLiteral("line %1").arg(i));
            QTest::keyClick(&memo, Qt::Key_Return);
        }
        const QString full = numberedLines(limit, QStringLiteral("\r\n")) + QStringLiteral("\r\n");
        QCOMPARE(memo.text(), full);
        QCOMPARE(memo.displayedLineCount(), limit);
        QCOMPARE(handler.reverts, 0);

        // The first character of the next line is taken back, and only it.
        QTest::keyClick(&memo, Qt::Key_X);
        QCOMPARE(handler.reverts, 1);
        QCOMPARE(memo.text(), full);
        QTest::keyClicks(&memo, QStringLiteral("yz"));
        QCOMPARE(memo.text(), full);
        QCOMPARE(handler.reverts, 3);
        // A second Enter would make an empty line that is no longer the last: reverted too.
        QTest::keyClick(&memo, Qt::Key_Return);
        QCOMPARE(memo.text(), full);

        // Editing within the limit goes on working after the reverts.
        QTest::keyClick(&memo, Qt::Key_Backspace);
        QTest::keyClick(&memo, Qt::Key_Exclam);
        QCOMPARE(memo.text(), numberedLines(limit, QStringLiteral("\r\n")) + QStringLiteral("!"));
        QCOMPARE(memo.displayedLineCount(), limit);
    }

    void wrappedLineOverTheLimitIsReverted() {
        TNoteMemo memo;
        showMemo(memo, 185, 89);
        LineLimit handler(&memo, 5);
        memo.setText(numberedLines(4, QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);

        // The fifth paragraph is typed until it wraps onto a sixth displayed line; every
        // keystroke either stays or is taken back exactly.
        TNoteMemo probe;
        probe.setFont(memo.font());
        probe.setFixedSize(memo.size());
        int reverted = 0;
        for (QChar ch : kProse) {
            const QString before = memo.text();
            QTest::keyClicks(&memo, QString(ch));
            if (memo.text() == before) {
                ++reverted;
                probe.setText(before + ch);
                QVERIFY(probe.displayedLineCount() > 5);
            } else {
                QCOMPARE(memo.text(), before + ch);
            }
            QVERIFY(memo.displayedLineCount() <= 5);
        }
        QVERIFY(reverted > 0);
        QCOMPARE(handler.reverts, reverted);
        // Five paragraphs, five lines: the wrapping paragraph is the one that was cut short.
        QCOMPARE(memo.document()->blockCount(), 5);
        QCOMPARE(memo.displayedLineCount(), 5);
    }

    void pasteOverTheLimitLeavesTheNoteAsItWas() {
        TNoteMemo memo;
        showMemo(memo, 499, 119);
        LineLimit handler(&memo, 7);
        const QString before = numberedLines(5, QStringLiteral("\r\n"));
        memo.setText(before);
        QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
        QSignalSpy spy(&memo, &TNoteMemo::changed);

        paste(memo, QStringLiteral("\na\nb\nc"));
        QCOMPARE(memo.text(), before);
        QCOMPARE(spy.count(), 2); // the paste, then the revert
        QCOMPARE(handler.reverts, 1);

        // The same over a selection: the selected text comes back.
        QTextCursor c = memo.textCursor();
        c.movePosition(QTextCursor::Start);
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        memo.setTextCursor(c);
        paste(memo, QStringLiteral("x\ny\nz\nw"));
        QCOMPARE(memo.text(), before);

        // A long paste that wraps beyond the limit, without any line break of its own.
        QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
        paste(memo, QStringLiteral(" ") + kProse + kProse);
        QCOMPARE(memo.text(), before);

        // A paste that fits stays.
        paste(memo, QStringLiteral("\r\nline 6\r\nline 7"));
        QCOMPARE(memo.text(), numberedLines(7, QStringLiteral("\r\n")));
    }

    void storedNoteOverTheLimit() {
        TNoteMemo memo;
        showMemo(memo, 499, 119);
        LineLimit handler(&memo, 7);
        const QString stored = numberedLines(9, QStringLiteral("\r\n"));
        memo.setText(stored);
        QCOMPARE(memo.text(), stored);
        QCOMPARE(memo.displayedLineCount(), 9);
        QCOMPARE(handler.runs, 1);

        // Every edit that leaves it over the limit goes back, deletions included, and the
        // handler running again inside the revert does not bounce the edit back in.
        QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(&memo, Qt::Key_Q);
        QCOMPARE(memo.text(), stored);
        QTest::keyClick(&memo, Qt::Key_Backspace);
        QCOMPARE(memo.text(), stored);
        // Each edit ran the handler twice (the edit, then its revert) and no more: the revert
        // the handler asks for inside the revert is refused.
        QCOMPARE(handler.runs, 5);

        // Removing two whole lines at once brings it within the limit, and that stays.
        QTextCursor c = memo.textCursor();
        c.movePosition(QTextCursor::End);
        c.movePosition(QTextCursor::Up, QTextCursor::KeepAnchor, 2);
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        memo.setTextCursor(c);
        QTest::keyClick(&memo, Qt::Key_Delete);
        QCOMPARE(memo.text(), numberedLines(7, QStringLiteral("\r\n")));
    }

    void maxLength() {
        TNoteMemo memo;
        showMemo(memo, 499, 119);
        memo.setMaxLength(10);
        QTest::keyClicks(&memo, QStringLiteral("abcdefghijkl"));
        QCOMPARE(memo.text(), QStringLiteral("abcdefghij"));
        QTest::keyClick(&memo, Qt::Key_Return);
        QCOMPARE(memo.text(), QStringLiteral("abcdefghij"));

        // Typing over a selection at the limit replaces it.
        QTextCursor c = memo.textCursor();
        c.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor);
        memo.setTextCursor(c);
        QTest::keyClick(&memo, Qt::Key_Z);
        QCOMPARE(memo.text(), QStringLiteral("abcdefghiz"));

        // A line break takes two of the ten characters, as stored.
        memo.setText(QStringLiteral("abcdefgh"));
        QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(&memo, Qt::Key_Return);
        QTest::keyClick(&memo, Qt::Key_X);
        QCOMPARE(memo.text(), QStringLiteral("abcdefgh\r\n"));

        // The part of a paste that does not fit is dropped.
        memo.setText(QStringLiteral("abc"));
        QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
        paste(memo, QStringLiteral("d\ne\nfgh"));
        QCOMPARE(memo.text(), QStringLiteral("abcd\r\ne\r\nf"));
        // With one character left, a line break (two) does not fit and the paste ends there.
        memo.setText(QStringLiteral("abc"));
        QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
        paste(memo, QStringLiteral("defghi\nk"));
        QCOMPARE(memo.text(), QStringLiteral("abcdefghi"));

        memo.setText(QStringLiteral("abc"));
        QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
        paste(memo, QStringLiteral("defghijklmnop"));
        QCOMPARE(memo.text(), QStringLiteral("abcdefghij"));

        // The program's own text is never cut.
        const QString longNote = QString(600, QLatin1Char('n'));
        memo.setMaxLength(500);
        memo.setText(longNote);
        QCOMPARE(memo.text(), longNote);
        QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(&memo, Qt::Key_M);
        QCOMPARE(memo.text(), longNote);
    }

    void displayedLines() {
        TNoteMemo memo;
        showMemo(memo, 185, 89);
        QCOMPARE(memo.displayedLineCount(), 0);
        QVERIFY(memo.displayedLines().isEmpty());

        memo.setText(kProse);
        const QStringList lines = memo.displayedLines();
        QCOMPARE(memo.displayedLineCount(), lines.size());
        QVERIFY(lines.size() >= 4);
        QCOMPARE(lines.join(QString()), kProse);
        // Word wrap: each line fits, and the next line's first word would not have.
        const QFontMetricsF fm(memo.font());
        const qreal width = memo.viewport()->width() - 2 * memo.document()->documentMargin();
        for (int i = 0; i < lines.size(); ++i) {
            QVERIFY(fm.horizontalAdvance(lines.at(i).trimmed()) <= width);
            QVERIFY(!lines.at(i).startsWith(QLatin1Char(' ')));
            if (i + 1 < lines.size()) {
                const QString next = lines.at(i + 1).section(QLatin1Char(' '), 0, 0);
                QVERIFY(fm.horizontalAdvance(lines.at(i) + next) > width);
            }
        }

        memo.setText(QStringLiteral("a\r\n\r\nb"));
        QCOMPARE(memo.displayedLines(),
                 QStringList({QStringLiteral("a"), QString(), QStringLiteral("b")}));
        memo.setText(QStringLiteral("a\r\nb\r\n"));
        QCOMPARE(memo.displayedLineCount(), 2);
        memo.setText(QStringLiteral("a\r\nb\r\n\r\n"));
        QCOMPARE(memo.displayedLineCount(), 3);
        memo.setText(QStringLiteral("\r\n"));
        QCOMPARE(memo.displayedLineCount(), 1);
        // A word longer than the line is broken inside.
        memo.setText(QString(200, QLatin1Char('w')));
        QVERIFY(memo.displayedLineCount() > 1);
    }

    // The count must be the one the user sees: QPlainTextEdit's own layout agrees, and a memo
    // that is hidden (a tab page in the back) or was resized while hidden counts the same.
    void countMatchesTheWidget() {
        TNoteMemo shown;
        showMemo(shown, 185, 89);
        TNoteMemo hidden;
        hidden.setFont(QFont(QStringLiteral("Tahoma"), 8));
        hidden.resize(400, 300);
        hidden.show();
        QVERIFY(QTest::qWaitForWindowExposed(&hidden));
        hidden.hide();
        hidden.setFixedSize(185, 89);

        QRandomGenerator rng(99);
        const QStringList words = {QStringLiteral("a"),
                                   QStringLiteral("note"),
                                   QStringLiteral("WWWWWWWW"),
                                   QStringLiteral("delivery"),
                                   QStringLiteral("iiiiiiiiiiiiiiiiiiiiiiiiiiiii"),
                                   QStringLiteral("\n"),
                                   QStringLiteral("  ")};
        for (int round = 0; round < 200; ++round) {
            QString text;
            const int n = rng.bounded(40);
            for (int i = 0; i < n; ++i) {
                text += words.at(rng.bounded(words.size()));
                if (rng.bounded(3))
                    text += QLatin1Char(' ');
            }
            shown.setText(text);
            hidden.setText(text);
            QCOMPARE(shown.displayedLineCount(), layoutLineCount(shown));
            QCOMPARE(hidden.displayedLineCount(), shown.displayedLineCount());
            QCOMPARE(hidden.displayedLines(), shown.displayedLines());
        }
    }
};

QTEST_MAIN(TestNoteMemo)
#include "test_notememo.moc"

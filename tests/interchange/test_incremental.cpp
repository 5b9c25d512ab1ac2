// The parsers fed a part at a time read what they read of the whole text, wherever the parts
// are cut: each text is cut at every byte, and fed a byte at a time.

#include "interchange/ContactFileError.h"
#include "interchange/CsvTable.h"
#include "interchange/VCardParser.h"

#include <QtTest>

#include <numeric>

namespace {

// What ParseVCards reads of a text, in words: each card's first line and its properties.
QString CardsRead(const std::vector<VCard>& cards, std::size_t lineOffset = 0) {
    QString out;
    for (const VCard& card : cards) {
        out += QString("[%1 %2]").arg(card.line + lineOffset).arg(card.version.c_str());
        for (const VCardProperty& p : card.properties)
            out += QString::fromStdString(" " + p.group + "." + p.name + "=" + p.value);
    }
    return out;
}

QString CardsOf(const std::string& text) {
    try {
        return CardsRead(ParseVCards(text));
    } catch (const EContactFileError& e) {
        return QString("error: ") + e.what();
    }
}

// The pieces of the cutter fed `parts`, each read as the streaming reader reads it; the pieces
// must give back the text byte for byte.
QString CardsCut(const std::vector<std::string>& parts, const std::string& whole) {
    TVCardCutter cutter;
    std::vector<std::pair<std::string, std::size_t>> pieces;
    auto take = [&] {
        std::string piece;
        std::size_t line = 0;
        while (cutter.Take(piece, line))
            pieces.emplace_back(piece, line);
    };
    for (const std::string& part : parts) {
        cutter.Feed(part);
        take();
    }
    cutter.Finish();
    take();
    std::string joined;
    QString out;
    try {
        for (const auto& [piece, line] : pieces) {
            joined += piece;
            out += CardsRead(ParseVCards(std::string(line - 1, '\n') + piece));
        }
    } catch (const EContactFileError& e) {
        out = QString("error: ") + e.what();
    }
    return joined == whole ? out : "pieces differ from the text";
}

QString RowsRead(const std::vector<CsvRow>& rows) {
    QString out;
    for (const CsvRow& row : rows)
        out += "[" + QString::fromStdString(std::accumulate(
                         row.begin(), row.end(), std::string(),
                         [](const std::string& a, const std::string& b) { return a + "|" + b; })) +
               "]";
    return out;
}

QString RowsCut(const std::vector<std::string>& parts) {
    TCsvRowReader reader;
    std::vector<CsvRow> rows;
    try {
        for (const std::string& part : parts) {
            reader.Feed(part);
            for (CsvRow row; reader.Take(row);)
                rows.push_back(row);
        }
        reader.Finish();
    } catch (const EContactFileError& e) {
        return QString("error: ") + e.what();
    }
    for (CsvRow row; reader.Take(row);)
        rows.push_back(row);
    return RowsRead(rows);
}

} // namespace

class TestIncremental : public QObject {
    Q_OBJECT

private slots:
    void cutAtEveryByte_data() {
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("cards, CR LF") << false << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\n"
                                                      "END:VCARD\r\nBEGIN:VCARD\r\nFN:B\r\nEND:VCARD\r\n");
        QTest::newRow("folded, 2.1 and 3.0")
            << false
            << QByteArray("BEGIN:VCARD\nVERSION:2.1\nNOTE:one\n  two\nEND:VCARD\nBEGIN:VCARD\n"
                          "VERSION:3.0\nNOTE:one\n two\nEND:VC\n ARD\nBEGIN:VCARD\nFN:C\nEND:VCARD");
        QTest::newRow("soft breaks") << false
                                     << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nNOTE;ENCODING=QUOTED-"
                                                   "PRINTABLE:a=\r\nEND:VCARD=\r\n=0D=0Ab\r\nEND:VCARD\r\n"
                                                   "BEGIN:VCARD\r\nFN:D\r\nEND:VCARD\r\n");
        QTest::newRow("CR CR LF, CR alone, marks") << false
                                                   << QByteArray("\xEF\xBB\xBF" "BEGIN:VCARD\r\r\nFN:E\r\r\n"
                                                                 "END:VCARD\r\r\n\xEF\xBB\xBF" "BEGIN:VCARD\r"
                                                                 "FN:F\rEND:VCARD\r\r\n");
        QTest::newRow("nested card, text between") << false
                                                   << QByteArray("BEGIN:VCARD\nAGENT:\nBEGIN:VCARD\nFN:in\n"
                                                                 "END:VCARD\nFN:G\nEND:VCARD\n\n\nBEGIN:VCARD\n"
                                                                 "FN:H\nEND:VCARD\n");
        QTest::newRow("card end inside a value")
            << false << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nNOTE;QUOTED-PRINTABLE:a=\r\nEND:VCARD\r\n"
                                   "NOTE:x\r\n END:VCARD\r\nFN:M\r\nEND:VCARD\r\nBEGIN:VCARD\r\nEND:VCARD\r\n");
        QTest::newRow("stray line late") << false
                                         << QByteArray("BEGIN:VCARD\nFN:I\nEND:VCARD\nNOTE:stray\n"
                                                       "BEGIN:VCARD\nFN:J\nEND:VCARD\n");
        QTest::newRow("card not closed") << false << QByteArray("BEGIN:VCARD\nFN:K\nEND:VCARD\nBEGIN:VCARD\nFN:L\n");
        QTest::newRow("rows, quoted breaks and quotes")
            << true << QByteArray("\xEF\xBB\xBF" "Company Name,Notes\r\n\"A, \"\"q\"\"\",\"one\r\ntwo\"\r\n"
                                  "\n\nB,\"\"\"\"\rC,x\"y\"\r\n\"\",\"\"\"z\"\n");
        QTest::newRow("a mark that is not at the start") << true << QByteArray("a,b\n\xEF\xBB\xBF" "c,d\n\xEF\xBB");
        QTest::newRow("quoted field not closed") << true << QByteArray("a,b\nc,\"open\r\nrow\n");
    }
    void cutAtEveryByte() {
        QFETCH(bool, csv);
        QFETCH(QByteArray, text);
        const std::string whole = text.toStdString();
        const QString expected = csv ? [&] {
            try {
                return RowsRead(ParseCsv(whole));
            } catch (const EContactFileError& e) {
                return QString("error: ") + e.what();
            }
        }()
                                     : CardsOf(whole);
        QVERIFY(!expected.isEmpty());
        std::vector<std::string> bytes;
        for (char c : whole)
            bytes.emplace_back(1, c);
        QCOMPARE(csv ? RowsCut(bytes) : CardsCut(bytes, whole), expected);
        for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
            const std::vector<std::string> parts = {whole.substr(0, cut), whole.substr(cut)};
            const QString got = csv ? RowsCut(parts) : CardsCut(parts, whole);
            QVERIFY2(got == expected, qPrintable(QString("cut at %1: %2").arg(cut).arg(got)));
        }
    }
};

QTEST_GUILESS_MAIN(TestIncremental)
#include "test_incremental.moc"

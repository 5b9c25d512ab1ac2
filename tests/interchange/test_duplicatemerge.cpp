// Two contacts that are one, merged: the values chosen, every other value in the notes, the
// people of both in the five places.
#include "interchange/ContactMerge.h"
#include "model/ContactColumns.h"

#include <QtTest>

namespace {

// "column=value;..." by column number, on a contact with nothing filled in.
ContactValues Contact(const QString& fields) {
    ContactValues v;
    for (int i = 0; i < kDataColumns; ++i)
        v[i] = EmptyValueOf(ContactColumnTable()[i].type);
    for (const QString& field : fields.split(';', Qt::SkipEmptyParts))
        v[field.section('=', 0, 0).toInt()] = field.section('=', 1).toStdString();
    return v;
}

QString Person(int n, const QString& name) {
    return QString("%1=%2;").arg(col::ExtraColumn(n, col::XName)).arg(name);
}

} // namespace

class TestDuplicateMerge : public QObject {
    Q_OBJECT

private slots:
    void merge_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("switched"); // columns switched from the preselection
        QTest::addColumn<QString>("expected"); // the merged contact's fields
        QTest::newRow("filled over empty") << "1=Lee;5=ann@lee.example" << "1=Lee;2=Lee Bakery"
                                           << "" << "1=Lee;2=Lee Bakery;5=ann@lee.example";
        QTest::newRow("both filled: the first's, the other to the notes")
            << "0=Bob;7=(512)555-0101" << "0=Robert;7=(512)555-0101" << ""
            << "0=Bob;7=(512)555-0101;9=Merged, other value: First Name: Robert";
        QTest::newRow("switched: the second's kept, the first's noted")
            << "0=Bob;9=Old note" << "0=Robert" << "0"
            << "0=Robert;9=Old note\r\nMerged, other value: First Name: Bob";
        QTest::newRow("notes both filled, kept whole beyond the limit")
            << "9=" + QString(200, 'a') << "9=second" << ""
            << "9=" + QString(200, 'a') + "\r\nMerged, other value: Notes: second";
        QTest::newRow("people of both, one alike")
            << Person(1, "Al") + Person(3, "Cy") << Person(1, "Bo") + Person(2, "Al") << ""
            << Person(1, "Al") + Person(2, "Bo") + Person(3, "Cy");
        QTest::newRow("people beyond five to the notes")
            << Person(1, "A") + Person(2, "B") + Person(3, "C") + Person(4, "D")
            << Person(1, "E") + Person(2, "F") + QString("%1=Boss;").arg(col::ExtraColumn(2, col::XTitle))
            << ""
            << Person(1, "A") + Person(2, "B") + Person(3, "C") + Person(4, "D") + Person(5, "E") +
                   "9=Merged, other value: Extra Contact 2 Contact Name: F\r\n"
                   "Merged, other value: Extra Contact 2 Contact Title: Boss";
    }
    void merge() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, switched);
        QFETCH(QString, expected);
        const ContactValues a = Contact(first), b = Contact(second);
        KeptColumns takeSecond = PreselectedForMerge(a, b);
        for (const QString& column : switched.split(';', Qt::SkipEmptyParts))
            takeSecond.flip(column.toInt());
        const ContactValues merged = MergeDuplicates(a, b, takeSecond);
        const ContactValues want = Contact(expected);
        for (int i = 0; i < kDataColumns; ++i)
            QCOMPARE(QString::fromStdString(merged[i]) + " [" + QString::number(i) + "]",
                     QString::fromStdString(want[i]) + " [" + QString::number(i) + "]");
    }
};

QTEST_GUILESS_MAIN(TestDuplicateMerge)
#include "test_duplicatemerge.moc"

// The window's save, insert and delete, killed before each single change the engine makes to
// the disk in turn: afterwards the file opens, passes the integrity check and holds either the
// whole address book as it was or the whole operation done, never anything between, and a
// later kill never takes back what an earlier one found done.

#include "storage/SQLiteTable3.h"
#include "storage/unitBuildData.h"
#include "tests/common/RawDb.h"
#include "tests/common/TestHome.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

namespace {

// Waits for the child's next line; every wait is bounded only as a guard against a hang.
QByteArray NextLine(QProcess& child) {
    while (!child.canReadLine())
        if (!child.waitForReadyRead(120000))
            return "<no line: " + child.readAllStandardError().right(2000) + ">";
    return child.readLine().trimmed();
}

QStringList Book(const QString& path) {
    return RawDb(path).rows("SELECT * FROM Customers ORDER BY dbCustomer_ID");
}

QString Integrity(const QString& path) {
    try {
        TSQLiteDatabase db(path.toStdString());
        auto result = db.OpenResult("PRAGMA integrity_check");
        return QString::fromStdString(result->TextOrEmptyAt(0));
    } catch (const ESQLiteException& e) {
        return QString::fromLocal8Bit(e.what());
    }
}

} // namespace

class CrashSaveTest : public QObject {
    Q_OBJECT
    QString child_ = QCoreApplication::applicationDirPath() + "/savechild";

    // Runs the window's operation in a child killed when it reports the line that starts with
    // `until`; returns the last line it said.
    QByteArray RunUntilKilled(const QString& op, long stopAt) {
        QProcess child;
        child.setProgram(child_);
        child.setArguments({op, QString::number(stopAt)});
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start();
        if (!child.waitForStarted(60000))
            return "<did not start>";
        QByteArray line = NextLine(child);
        if (line == "B" && stopAt != 0)
            line = NextLine(child);
        child.kill();
        child.waitForFinished(60000);
        return line;
    }

private slots:
    void killedAtEveryStepLosesNothing_data() {
        QTest::addColumn<QString>("op");
        QTest::newRow("save of a stored contact") << "update";
        QTest::newRow("save of a new contact") << "insert";
        QTest::newRow("delete") << "delete";
    }
    void killedAtEveryStepLosesNothing() {
        QFETCH(QString, op);
        QVERIFY2(QFileInfo(child_).isExecutable(), qPrintable(child_));
        TestHome home;
        PrepareDataFiles();
        const QString db = home.dbPath();
        const QString pristine = home.path() + "/before.db";
        QVERIFY(QFile::copy(db, pristine));
        const QStringList before = Book(db);
        QCOMPARE(before.size(), 3);

        auto restore = [&] {
            QFile::remove(db + "-journal");
            QFile::remove(db);
            return QFile::copy(pristine, db);
        };

        // The whole operation, left to finish: what "done" looks like and how many steps it takes.
        QByteArray line = RunUntilKilled(op, -1);
        QVERIFY2(line.startsWith("D "), line.constData());
        const long steps = line.mid(2).toLong();
        QVERIFY(steps > 0);
        const QStringList after = Book(db);
        QVERIFY(after != before);

        bool done = false;
        for (long stopAt = 0; stopAt <= steps + 1; ++stopAt) {
            QVERIFY(restore());
            line = RunUntilKilled(op, stopAt);
            const QByteArray said = stopAt == 0 ? "B" : stopAt > steps ? "D" : "W";
            QVERIFY2(line.startsWith(said),
                     qPrintable(QString("step %1: %2").arg(stopAt).arg(QString::fromUtf8(line))));
            QCOMPARE(Integrity(db), QString("ok"));
            const QStringList stored = Book(db);
            if (stored == after) {
                done = true;
            } else {
                QVERIFY2(stored == before,
                         qPrintable(QString("killed before step %1 of %2: the address book is "
                                            "neither as it was nor with the %3 done:\n%4")
                                        .arg(stopAt)
                                        .arg(steps)
                                        .arg(op, stored.join("\n").left(3000))));
                QVERIFY2(!done, qPrintable(QString("killed before step %1 of %2: the %3 found "
                                                   "done at an earlier step is undone")
                                               .arg(stopAt)
                                               .arg(steps)
                                               .arg(op)));
            }
        }
        QVERIFY2(done, "the operation never reached the file");
        qInfo("%ld kills, one before each step of the %s", steps + 2, qPrintable(op));
    }
};

QTEST_GUILESS_MAIN(CrashSaveTest)
#include "test_crashsave.moc"

// The atomic write: the target holds its old content or the whole new one, keeps what it was
// (permissions, owner, a link to it), and nothing else in its folder changes.

#include "interchange/AtomicFile.h"
#include "interchange/ContactFileError.h"

#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

class TestAtomicFile : public QObject {
    Q_OBJECT

private slots:
    // The link at the name the old export wrote to stands for whatever may already be where
    // the temporary file goes: it is neither followed (to create victim.txt) nor replaced.
    void writesAllOrNothing_data() {
        QTest::addColumn<int>("mode"); // of the file there before, -1 for none
        QTest::addColumn<bool>("viaLink");
        QTest::addColumn<int>("fault"); // 1 disk full, 2 destroyed without Commit
        QTest::newRow("owner only") << 0600 << false << 0;
        QTest::newRow("set-ID, through a link") << 06750 << true << 0;
        QTest::newRow("new, as the umask says") << -1 << false << 0;
        QTest::newRow("new, through a dangling link") << -1 << true << 0;
        QTest::newRow("disk full while writing") << 0644 << true << 1;
        QTest::newRow("destroyed without Commit") << -1 << false << 2;
    }
    void writesAllOrNothing() {
        QFETCH(int, mode);
        QFETCH(bool, viaLink);
        QFETCH(int, fault);
        QTemporaryDir dir;
        const QByteArray real = QFile::encodeName(dir.filePath("real.vcf"));
        const QByteArray target = viaLink ? QFile::encodeName(dir.filePath("link.vcf")) : real;
        QVERIFY(symlink("victim.txt", target + ".partial") == 0 &&
                (!viaLink || symlink("real.vcf", target) == 0));
        // Root can give the file away, and does, to show the owner kept.
        QFile old(real);
        QVERIFY(mode < 0 || (old.open(QFile::WriteOnly) && old.write("old") == 3 && old.flush() &&
                             (geteuid() != 0 || chown(real, 4321, 4321) == 0) &&
                             chmod(real, mode_t(mode)) == 0));
        // Every name in the folder but the file written, hidden ones too.
        const auto others = [&] {
            QStringList names = QDir(dir.path())
                                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                               QDir::NoDotAndDotDot);
            names.removeAll("real.vcf");
            return names;
        };
        const QStringList before = others();
        // Writes past 600 bytes fail as on a full disk, root's too.
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
        const rlimit small{fault == 1 ? 600 : limit.rlim_cur, limit.rlim_max};
        const QByteArray content = QByteArray(100000, 'x') + "end";
        QString error;
        try {
            const auto restore = qScopeGuard([m = umask(027)] { umask(m); });
            setrlimit(RLIMIT_FSIZE, &small);
            TAtomicFile file(target.toStdString());
            file.Write(content.constData(), 100000);
            file.Write("end");
            if (fault != 2)
                file.Commit();
        } catch (const EContactFileError& e) {
            error = e.what();
        }
        setrlimit(RLIMIT_FSIZE, &limit);
        QCOMPARE(error, fault == 1 ? "Cannot write \"" + target + "\": the disk may be full." : "");
        QCOMPARE(others(), before);
        QFile written(real);
        QCOMPARE(written.open(QFile::ReadOnly) ? written.readAll() : "<none>",
                 fault ? QByteArray(mode < 0 ? "<none>" : "old") : content);
        struct stat st {}; // all zero when there is no file
        lstat(real, &st);
        QCOMPARE(int(st.st_mode & 07777), mode >= 0 ? mode : fault ? 0 : 0640);
        QVERIFY(mode < 0 || geteuid() != 0 || (st.st_uid == 4321 && st.st_gid == 4321));
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "test_atomicfile.moc"

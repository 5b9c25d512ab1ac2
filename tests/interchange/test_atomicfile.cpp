// The atomic write: the target holds its old content or the whole new one, keeps what it was
// (permissions, owner, a link to it), and nothing else in its folder changes.

#include "interchange/AtomicFile.h"
#include "interchange/ContactFileError.h"

#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/time.h>
#include <sys/wait.h>
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

    // A write removes the temporaries killed writers left in its folder, and nothing else: not
    // a name of another pattern, a folder or a link, a file changed after it began, or one a
    // writer still holds.
    void removesStaleTemporaries_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind"); // file, killed, locked, folder, link
        QTest::addColumn<int>("age");      // seconds before now the entry was last changed
        QTest::addColumn<bool>("removed");
        QTest::newRow("stale") << ".out.vcf.Ab3xY9.tmp" << "file" << 3600 << true;
        QTest::newRow("left by a killed export") << "" << "killed" << 3600 << true;
        QTest::newRow("changed after the write began") << ".out.vcf.Ab3xY8.tmp" << "file" << -60
                                                       << false;
        QTest::newRow("still being written") << ".out.vcf.Ab3xY7.tmp" << "locked" << 3600 << false;
        QTest::newRow("not hidden") << "out.vcf.Ab3xY6.tmp" << "file" << 3600 << false;
        QTest::newRow("five letters") << ".out.vcf.Ab3xY.tmp" << "file" << 3600 << false;
        QTest::newRow("more after .tmp") << ".out.vcf.Ab3xY5.tmp.bak" << "file" << 3600 << false;
        QTest::newRow("no name") << ".Ab3xY4.tmp" << "file" << 3600 << false;
        QTest::newRow("a sign") << ".out.vcf.Ab3x-4.tmp" << "file" << 3600 << false;
        QTest::newRow("folder") << ".out.vcf.Ab3xY3.tmp" << "folder" << 3600 << false;
        QTest::newRow("link") << ".out.vcf.Ab3xY2.tmp" << "link" << 3600 << false;
    }
    void removesStaleTemporaries() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(int, age);
        QFETCH(bool, removed);
        QTemporaryDir dir;
        const std::string target = QFile::encodeName(dir.filePath("out.vcf")).toStdString();
        std::string path = QFile::encodeName(dir.filePath(name)).toStdString();
        int held = -1;
        if (kind == "killed") {
            const pid_t child = fork();
            if (child == 0) {
                TAtomicFile file(target);
                file.Write("partial");
                raise(SIGKILL);
            }
            int status = 0;
            QCOMPARE(waitpid(child, &status, 0), child);
            const QStringList left = QDir(dir.path()).entryList(QDir::Hidden | QDir::Files);
            QCOMPARE(left.size(), 1);
            path = QFile::encodeName(dir.filePath(left.front())).toStdString();
        } else if (kind == "folder") {
            QVERIFY(mkdir(path.c_str(), 0700) == 0);
        } else if (kind == "link") {
            QVERIFY(QFile(dir.filePath("kept")).open(QFile::WriteOnly));
            QVERIFY(symlink("kept", path.c_str()) == 0);
        } else {
            QFile f(QFile::decodeName(path.c_str()));
            QVERIFY(f.open(QFile::WriteOnly) && f.write("old") == 3);
            f.close();
            if (kind == "locked") {
                held = open(path.c_str(), O_RDONLY);
                QVERIFY(flock(held, LOCK_EX) == 0);
            }
        }
        const timeval when[2] = {{time(nullptr) - age, 0}, {time(nullptr) - age, 0}};
        QVERIFY(lutimes(path.c_str(), when) == 0);
        {
            TAtomicFile file(target);
            file.Write("new");
            file.Commit();
        }
        struct stat st {};
        QCOMPARE(lstat(path.c_str(), &st) != 0, removed);
        QVERIFY(kind != "link" || QFile::exists(dir.filePath("kept")));
        if (held >= 0)
            close(held);
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "test_atomicfile.moc"

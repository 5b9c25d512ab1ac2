#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// help.chm is built from the pages in help/ and placed beside the program.
class TestHelpFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void isACompiledHelpFile();
    void holdsEveryPageAsWritten();
    void pagesOnlyLinkToPagesThatExist();

private:
    QString run(const QString& program, const QStringList& args);
    QString chm_;
    QDir sources_;
    QStringList pages_;
};

void TestHelpFile::initTestCase() {
    const QString bin = qEnvironmentVariable("VC_BIN_DIR");
    const QString source = qEnvironmentVariable("VC_SOURCE_DIR");
    QVERIFY2(!bin.isEmpty() && !source.isEmpty(), "VC_BIN_DIR and VC_SOURCE_DIR must be set");
    chm_ = QDir(bin).filePath(QStringLiteral("help.chm"));
    sources_ = QDir(QDir(source).filePath(QStringLiteral("help")));
    pages_ = sources_.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    QVERIFY(pages_.contains(QStringLiteral("index.html")));
}

QString TestHelpFile::run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return QString();
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

void TestHelpFile::isACompiledHelpFile() {
    QFile file(chm_);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(chm_ + " is missing"));
    QCOMPARE(file.read(4), QByteArray("ITSF"));
    const QString fileTool = QStandardPaths::findExecutable(QStringLiteral("file"));
    if (fileTool.isEmpty())
        QSKIP("no file command to identify the format");
    QVERIFY(run(fileTool, {QStringLiteral("-b"), chm_}).contains("MS Windows HtmlHelp Data"));
}

void TestHelpFile::holdsEveryPageAsWritten() {
    const QString chmls = QStandardPaths::findExecutable(QStringLiteral("chmls"));
    if (chmls.isEmpty())
        QSKIP("chmls (fp-utils) is not installed");
    const QStringList listed =
        run(chmls, {QStringLiteral("-n"), QStringLiteral("-p"), QStringLiteral("list"), chm_})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList expected = pages_;
    expected << QStringLiteral("help.hhc") << QStringLiteral("help.hhk")
             << QStringLiteral("style.css");
    for (const QString& name : expected)
        QVERIFY2(listed.contains(QLatin1Char('/') + name),
                 qPrintable(name + " is not in help.chm"));

    // Each page inside is the page of the sources, not an older build of it.
    QTemporaryDir out;
    for (const QString& page : pages_) {
        const QString copy = out.filePath(page);
        run(chmls, {QStringLiteral("extract"), chm_, QLatin1Char('/') + page, copy});
        QFile inside(copy);
        QFile source(sources_.filePath(page));
        QVERIFY2(inside.open(QIODevice::ReadOnly), qPrintable(page + " cannot be extracted"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QVERIFY2(inside.readAll() == source.readAll(), qPrintable(page + " differs"));
    }
}

void TestHelpFile::pagesOnlyLinkToPagesThatExist() {
    // Contents, index and every cross reference must lead somewhere.
    const QRegularExpression reference(
        QStringLiteral("(?:href=\"|name=\"Local\" value=\")([^\"#:]+)[\"#]"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList files = pages_;
    files << QStringLiteral("help.hhc") << QStringLiteral("help.hhk");
    QStringList tocEntries;
    for (const QString& name : files) {
        QFile file(sources_.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (const auto& match : reference.globalMatch(text)) {
            const QString target = match.captured(1);
            QVERIFY2(sources_.exists(target), qPrintable(name + " refers to missing " + target));
            if (name == QLatin1String("help.hhc"))
                tocEntries << target;
        }
    }
    // Every page can be reached from the contents.
    for (const QString& page : pages_)
        QVERIFY2(tocEntries.contains(page), qPrintable(page + " is not in the contents"));
}

QTEST_MAIN(TestHelpFile)
#include "test_helpfile.moc"

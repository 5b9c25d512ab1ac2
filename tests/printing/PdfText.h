#pragma once

// Reads back a printed PDF with poppler's command-line tools: the page count from pdfinfo, the
// fonts from pdffonts and every word with its box in points (origin top-left of the page) from
// pdftotext -bbox.

#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>

struct PdfWord {
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

namespace PdfText {

inline QByteArray Run(const QString& program, const QStringList& arguments, bool* ok) {
    QProcess process;
    process.start(program, arguments);
    *ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    return process.readAllStandardOutput();
}

// -1 when pdfinfo fails or reports no page count.
inline int PageCount(const QString& pdf) {
    bool ok = false;
    const QString info = QString::fromUtf8(Run(QStringLiteral("pdfinfo"), {pdf}, &ok));
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)\\s*$"),
                           QRegularExpression::MultilineOption)
            .match(info);
    return ok && match.hasMatch() ? match.captured(1).toInt() : -1;
}

inline QString Unescape(QString text) {
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&#39;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

// pdffonts' listing of the fonts the document uses; empty on failure.
inline QString Fonts(const QString& pdf) {
    bool ok = false;
    const QString listing = QString::fromUtf8(Run(QStringLiteral("pdffonts"), {pdf}, &ok));
    return ok ? listing : QString();
}

// Words of the first page in the order pdftotext reports them; empty on failure.
inline QList<PdfWord> Words(const QString& pdf) {
    bool ok = false;
    const QString html =
        QString::fromUtf8(Run(QStringLiteral("pdftotext"),
                              {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                               QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")},
                              &ok));
    QList<PdfWord> words;
    if (!ok)
        return words;
    static const QRegularExpression wordPattern(QStringLiteral(
        "<word xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\" xMax=\"([-0-9.]+)\" yMax=\"([-0-9.]+)\">"
        "(.*?)</word>"));
    auto it = wordPattern.globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        words.append({Unescape(m.captured(5)), m.captured(1).toDouble(), m.captured(2).toDouble(),
                      m.captured(3).toDouble(), m.captured(4).toDouble()});
    }
    return words;
}

} // namespace PdfText

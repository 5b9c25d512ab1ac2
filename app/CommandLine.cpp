#include "CommandLine.h"

#include "AddressBook.h"
#include "ContactExporter.h"
#include "ContactImporter.h"
#include "unitBuildData.h"
#include "unitFilePath.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

TCommandLine::TCommandLine()
    : helpOption_({QStringLiteral("h"), QStringLiteral("help")},
                  QStringLiteral("Show this help and exit.")),
      versionOption_({QStringLiteral("v"), QStringLiteral("version")},
                     QStringLiteral("Show the version and exit.")),
      importOption_(QStringLiteral("import"),
                    QStringLiteral("Add the contacts of a vCard (.vcf) or CSV file to the address "
                                   "book and exit."),
                    QStringLiteral("FILE")),
      exportOption_(QStringLiteral("export"),
                    QStringLiteral("Write every contact to FILE, as CSV when its name ends in "
                                   ".csv, else as vCards, and exit."),
                    QStringLiteral("FILE")) {
    parser_.setApplicationDescription(
        QStringLiteral("Keeps the contacts of a small business in one address book."));
    // Qt's own options are single-dash words (-platform, -style); read as compacted letters they
    // would be refused.
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser_.addOption(helpOption_);
    parser_.addOption(versionOption_);
    parser_.addOption(importOption_);
    parser_.addOption(exportOption_);
    addToolkitOptions();
}

void TCommandLine::addToolkitOptions() {
    // The GUI application object takes these from the command line when it starts, after this
    // parser has run; they are accepted here so that they keep working, and not shown in --help.
    static const char* const withValue[] = {"platform",        "platformpluginpath",
                                            "platformtheme",   "plugin",
                                            "qwindowgeometry", "geometry",
                                            "qwindowtitle",    "title",
                                            "qwindowicon",     "icon",
                                            "display",         "name",
                                            "session",         "style",
                                            "stylesheet",      "qmljsdebugger"};
    static const char* const flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
    for (const char* name : withValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser_.addOption(option);
    }
    for (const char* name : flags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser_.addOption(option);
    }
}

void TCommandLine::stop(int status) {
    run_ = false;
    status_ = status;
}

void TCommandLine::process(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    QString program = arguments.isEmpty() ? QString() : QFileInfo(arguments.first()).fileName();
    if (program.isEmpty())
        program = QStringLiteral("vellicard");
    QString mistake;
    if (!parser_.parse(arguments))
        mistake = parser_.errorText();
    else if (!parser_.positionalArguments().isEmpty())
        mistake =
            QStringLiteral("Unexpected argument '%1'.").arg(parser_.positionalArguments().first());
    else if (parser_.values(importOption_).size() + parser_.values(exportOption_).size() > 1)
        mistake = QStringLiteral("Give one --import or one --export at a time.");

    if (!mistake.isEmpty()) {
        err << program << ": " << mistake << '\n'
            << "Try '" << program << " --help' for more information.\n";
        err.flush();
        stop(UsageError);
    } else if (parser_.isSet(helpOption_)) {
        out << parser_.helpText();
        out.flush();
        stop(0);
    } else if (parser_.isSet(versionOption_)) {
        out << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion()
            << '\n';
        out.flush();
        stop(0);
    } else if (parser_.isSet(importOption_) || parser_.isSet(exportOption_)) {
        transfer(program, out, err);
    }
}

void TCommandLine::transfer(const QString& program, QTextStream& out, QTextStream& err) {
    const bool importing = parser_.isSet(importOption_);
    const std::string file =
        QFile::encodeName(parser_.value(importing ? importOption_ : exportOption_)).toStdString();
    try {
        // A first use builds the address book, as the window's first start does.
        PrepareDataFiles();
        TAddressBook book(ContactDbPath());
        const std::string summary = importing ? book.Import(file).Text() : book.Export(file).Text();
        out << QString::fromLocal8Bit(summary) << '\n';
        out.flush();
        stop(0);
    } catch (const std::exception& e) {
        err << program << ": " << QString::fromLocal8Bit(e.what()) << '\n';
        err.flush();
        stop(Failed);
    }
}

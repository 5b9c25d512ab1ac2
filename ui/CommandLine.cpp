#include "CommandLine.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

TCommandLine::TCommandLine()
    : helpOption_({QStringLiteral("h"), QStringLiteral("help")},
                  QStringLiteral("Show this help and exit.")),
      versionOption_({QStringLiteral("v"), QStringLiteral("version")},
                     QStringLiteral("Show the version and exit.")) {
    parser_.setApplicationDescription(
        QStringLiteral("Keeps the contacts of a small business in one address book."));
    // Qt's own options are single-dash words (-platform, -style); read as compacted letters they
    // would be refused.
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser_.addOption(helpOption_);
    parser_.addOption(versionOption_);
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
    }
}

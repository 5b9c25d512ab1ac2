#include "app/CommandLine.h"

#include "interchange/ContactExporter.h"
#include "storage/AddressBook.h"
#include "storage/ContactImporter.h"
#include "storage/DuplicateFinder.h"
#include "storage/SQLiteTable3.h"
#include "storage/unitBuildData.h"
#include "storage/unitFilePath.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <iostream>
#include <string>

#ifdef Q_OS_WIN
#include <windows.h>
#elif defined(Q_OS_UNIX)
#include <termios.h>
#include <unistd.h>
#endif

namespace {
// Keeps what is typed off the screen while it lives, when standard input is a terminal.
class TerminalEchoOff {
public:
    TerminalEchoOff() {
#ifdef Q_OS_WIN
        input_ = GetStdHandle(STD_INPUT_HANDLE);
        active_ = GetConsoleMode(input_, &saved_) &&
                  SetConsoleMode(input_, saved_ & ~DWORD(ENABLE_ECHO_INPUT));
#elif defined(Q_OS_UNIX)
        if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_) == 0) {
            termios quiet = saved_;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            active_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
#endif
    }
    ~TerminalEchoOff() {
#ifdef Q_OS_WIN
        if (active_)
            SetConsoleMode(input_, saved_);
#elif defined(Q_OS_UNIX)
        if (active_)
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
#endif
    }
    TerminalEchoOff(const TerminalEchoOff&) = delete;
    TerminalEchoOff& operator=(const TerminalEchoOff&) = delete;
    bool active() const {
        return active_;
    }

private:
    bool active_ = false;
#ifdef Q_OS_WIN
    HANDLE input_;
    DWORD saved_;
#elif defined(Q_OS_UNIX)
    termios saved_;
#endif
};

// One line of standard input, without its line end; none at its end. A terminal is asked with
// the prompt and does not show what is typed.
std::optional<QString> ReadSecretLine(const QString& prompt, QTextStream& err) {
    std::string line;
    bool read = false;
    {
        TerminalEchoOff echoOff;
        if (echoOff.active()) {
            err << prompt;
            err.flush();
        }
        read = bool(std::getline(std::cin, line));
        if (echoOff.active()) {
            err << '\n';
            err.flush();
        }
    }
    if (!read)
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromLocal8Bit(line);
}

// Why the keyring did not do what was asked, for a message that goes on after a colon.
QString KeyringProblem(const KeyringAnswer& answer) {
    const QString reason = answer.reason.isEmpty() ? QString() : " (" + answer.reason + ")";
    return answer.outcome == KeyringAnswer::Refused
               ? QStringLiteral("The desktop keyring refused the request%1").arg(reason)
               : QStringLiteral("No desktop keyring is reachable%1").arg(reason);
}

SyncCheckResult NoChecker(const QUrl&, const QString&, const QString&) {
    return {false, QString(),
            QStringLiteral("Cannot check the server: sync is not available in this build.")};
}

SyncRunResult NoRunner(const SyncAccount&, const QString&, const QString&) {
    return {false, QString(), QStringLiteral("Cannot sync: sync is not available in this build.")};
}
} // namespace

TCommandLine::TCommandLine(SyncChecker checker, SyncRunner runner)
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
                    QStringLiteral("FILE")),
      findDuplicatesOption_(QStringLiteral("find-duplicates"),
                            QStringLiteral("List the groups of contacts that are likely one "
                                           "person or company, one line a group, and exit. "
                                           "Nothing is changed.")),
      // The option takes one value, the address; the user name follows it as the one
      // positional argument. The value's name shows both in --help.
      syncSetupOption_(QStringLiteral("sync-setup"),
                       QStringLiteral("Set up the sync of the address book with the CardDAV "
                                      "server at URL as USER, the password read as one line from "
                                      "standard input, and exit."),
                       QStringLiteral("URL> <USER")),
      // Not --sync: Qt's X11 toolkit option -sync has that name.
      syncNowOption_(QStringLiteral("sync-now"),
                     QStringLiteral("Sync the address book with the server set up by --sync-setup "
                                    "and exit. The password is VELLICARD_SYNC_PASSWORD when it is "
                                    "set, else the one in the desktop keyring.")),
      checker_(checker ? std::move(checker) : NoChecker),
      runner_(runner ? std::move(runner) : NoRunner) {
    parser_.setApplicationDescription(
        QStringLiteral("Keeps the contacts of a small business in one address book."));
    // Qt's own options are single-dash words (-platform, -style); read as compacted letters they
    // would be refused.
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser_.addOption(helpOption_);
    parser_.addOption(versionOption_);
    parser_.addOption(importOption_);
    parser_.addOption(exportOption_);
    parser_.addOption(findDuplicatesOption_);
    parser_.addOption(syncSetupOption_);
    parser_.addOption(syncNowOption_);
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

void TCommandLine::fail(const QString& program, QTextStream& err, const QString& reason) {
    err << program << ": " << reason << '\n';
    err.flush();
    stop(Failed);
}

void TCommandLine::process(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    QString program = arguments.isEmpty() ? QString() : QFileInfo(arguments.first()).fileName();
    if (program.isEmpty())
        program = QStringLiteral("vellicard");
    QString mistake;
    const bool parsed = parser_.parse(arguments);
    const QStringList positional = parser_.positionalArguments();
    const qsizetype transfers =
        parser_.values(importOption_).size() + parser_.values(exportOption_).size();
    const qsizetype setups = parser_.values(syncSetupOption_).size();
    // --sync-setup's user name is the one positional argument there may be.
    const qsizetype extra = positional.size() - (setups > 0 ? 1 : 0);
    if (!parsed)
        mistake = parser_.errorText();
    else if (extra > 0)
        mistake = QStringLiteral("Unexpected argument '%1'.").arg(positional.at(setups > 0));
    else if (transfers > 1)
        mistake = QStringLiteral("Give one --import or one --export at a time.");
    else if ((transfers > 0) + setups + parser_.isSet(syncNowOption_) > 1)
        mistake = QStringLiteral("Give --sync-setup or --sync-now on its own, and once.");
    else if (parser_.isSet(findDuplicatesOption_) &&
             (transfers > 0 || setups > 0 || parser_.isSet(syncNowOption_)))
        mistake = QStringLiteral("Give --find-duplicates on its own.");
    else if (extra < 0)
        mistake = QStringLiteral("--sync-setup needs the user name after the address.");

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
    } else if (setups > 0) {
        setUpSync(program, out, err);
    } else if (parser_.isSet(syncNowOption_)) {
        syncNow(program, out, err);
    } else if (parser_.isSet(findDuplicatesOption_)) {
        findDuplicates(program, out, err);
    }
}

void TCommandLine::findDuplicates(const QString& program, QTextStream& out, QTextStream& err) {
    try {
        // A first use builds the address book, as the window's first start does.
        PrepareDataFiles();
        TSQLiteDatabase db(ContactDbPath(), OpenMode::ExistingOnly);
        std::size_t contacts = 0;
        const std::vector<DuplicateGroup> groups = FindDuplicates(db, &contacts);
        for (const DuplicateGroup& group : groups) {
            QStringList ids;
            for (std::int64_t id : group.ids)
                ids << QString::number(id);
            out << ids.join(QLatin1Char(',')) << '\t' << QString::fromUtf8(group.reason) << '\n';
        }
        out << groups.size() << " groups of possible duplicates among " << contacts
            << " contacts\n";
        out.flush();
        stop(0);
    } catch (const std::exception& e) {
        fail(program, err, QString::fromLocal8Bit(e.what()));
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
        fail(program, err, QString::fromLocal8Bit(e.what()));
    }
}

void TCommandLine::setUpSync(const QString& program, QTextStream& out, QTextStream& err) {
    const QString address = parser_.value(syncSetupOption_);
    const QUrl url(address, QUrl::StrictMode);
    const SyncAccount account{url.toString(), parser_.positionalArguments().first()};
    // The address is stored and shown: a password in it would be too. Looked for leniently,
    // before anything repeats the address.
    if (!QUrl(address).userInfo().isEmpty())
        return fail(program, err,
                    QStringLiteral("Give the user name after the address, not in it; the "
                                   "password is read from standard input."));
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return fail(program, err,
                    QStringLiteral("'%1' is not an http or https address.").arg(address));
    if (account.user.isEmpty())
        return fail(program, err, QStringLiteral("The user name is empty."));

    const std::optional<QString> password = ReadSecretLine(
        QStringLiteral("Password for %1 at %2: ").arg(account.user, account.url), err);
    if (!password || password->isEmpty())
        return fail(program, err,
                    QStringLiteral("No password on standard input: give it there as one line."));
    SyncCheckResult check;
    try {
        check = checker_(url, account.user, *password);
    } catch (const std::exception& e) {
        check = {false, QString(), QString::fromLocal8Bit(e.what())};
    }
    if (!check.ok)
        return fail(program, err, check.error);

    const std::optional<SyncAccount> previous = LoadSyncAccount();
    const QString notSaved = SaveSyncAccount(account);
    if (!notSaved.isEmpty())
        return fail(program, err, notSaved);
    const KeyringAnswer stored = StoreSyncPassword(account, *password);
    // A password for an account that is no longer set up has no use left in the keyring.
    if (stored.outcome == KeyringAnswer::Done && previous &&
        SyncKeyringKey(*previous) != SyncKeyringKey(account))
        ForgetSyncPassword(*previous);

    out << "Sync set up with " << check.bookName << " at " << account.url << " as " << account.user
        << ".\n";
    out.flush();
    if (stored.outcome != KeyringAnswer::Done) {
        err << program << ": " << KeyringProblem(stored) << ": the password was not stored. Set "
            << kSyncPasswordVariable << " for each sync.\n";
        err.flush();
    }
    stop(0);
}

void TCommandLine::syncNow(const QString& program, QTextStream& out, QTextStream& err) {
    const std::optional<SyncAccount> account = LoadSyncAccount();
    if (!account)
        return fail(
            program, err,
            QStringLiteral("Sync is not set up: run %1 --sync-setup URL USER first.").arg(program));
    // The window's rule; only what the user is told to do differs here.
    const SyncPassword password = PasswordForSync(*account);
    if (!password.ok && password.keyring.outcome == KeyringAnswer::NotFound)
        return fail(program, err,
                    QStringLiteral("The desktop keyring holds no password for %1 at %2: run "
                                   "%3 --sync-setup again, or set %4.")
                        .arg(account->user, account->url, program,
                             QLatin1String(kSyncPasswordVariable)));
    if (!password.ok)
        return fail(program, err,
                    QStringLiteral("%1: set %2 to give the password.")
                        .arg(KeyringProblem(password.keyring),
                             QLatin1String(kSyncPasswordVariable)));
    try {
        // A first use builds the address book, as the window's first start does.
        PrepareDataFiles();
        const SyncRunResult result = runner_(
            *account, password.password, QFile::decodeName(QByteArray::fromStdString(ContactDbPath())));
        if (!result.ok)
            return fail(program, err, result.error);
        out << result.summary << '\n';
        out.flush();
        stop(0);
    } catch (const std::exception& e) {
        fail(program, err, QString::fromLocal8Bit(e.what()));
    }
}

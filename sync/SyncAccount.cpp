#include "sync/SyncAccount.h"

#include "storage/unitAppInformation.h"
#include "storage/unitFilePath.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QSettings>

#include <qt6keychain/keychain.h>

namespace {
const QString kUrlKey = QStringLiteral("Sync/Url");
const QString kUserKey = QStringLiteral("Sync/User");
const QString kIntervalKey = QStringLiteral("Sync/IntervalMinutes");

// The passwords kept for this run, by keyring key; a sync may run on a thread of its own.
QMutex runPasswordsLock;
QHash<QString, QString>& RunPasswords() {
    static QHash<QString, QString> passwords;
    return passwords;
}

QString FromLocalPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The jobs report only through their finished signal, from the event loop; a job that fails
// at once may do so inside start(), before the loop would run.
KeyringAnswer RunJob(QKeychain::Job& job) {
#ifdef Q_OS_LINUX
    // libsecret answers through GLib's main loop, which Qt runs only with its GLib dispatcher
    // (not under QT_NO_GLIB): without it the job would never finish.
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher || !dispatcher->inherits("QEventDispatcherGlib"))
        return {KeyringAnswer::Unreachable, QString(),
                QStringLiteral("the keyring needs Qt's GLib event loop, which is off")};
#endif
    job.setAutoDelete(false);
    // Never the plain-text copy in a settings file that qtkeychain offers when no keyring
    // answers: that is exactly where the password must not go.
    job.setInsecureFallback(false);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    job.start();
    if (!finished)
        loop.exec();

    KeyringAnswer answer;
    answer.reason = job.errorString();
    switch (job.error()) {
    case QKeychain::NoError:
        answer.outcome = KeyringAnswer::Done;
        answer.reason.clear();
        break;
    case QKeychain::EntryNotFound:
        answer.outcome = KeyringAnswer::NotFound;
        break;
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        answer.outcome = KeyringAnswer::Refused;
        break;
    default:
        // No Secret Service on the bus, no session bus, or the keyring library missing: the
        // backend tells these apart only by its message, which the reason keeps.
        answer.outcome = KeyringAnswer::Unreachable;
        break;
    }
    return answer;
}
} // namespace

QString SyncSettingsPath() {
    return FromLocalPath(DataFolder() + PathSeparator() + AppTitle() + ".ini");
}

std::optional<SyncAccount> LoadSyncAccount() {
    const QSettings settings(SyncSettingsPath(), QSettings::IniFormat);
    SyncAccount account{settings.value(kUrlKey).toString(), settings.value(kUserKey).toString()};
    if (account.url.isEmpty() || account.user.isEmpty())
        return std::nullopt;
    return account;
}

QString SaveSyncAccount(const SyncAccount& account) {
    QSettings settings(SyncSettingsPath(), QSettings::IniFormat);
    settings.setValue(kUrlKey, account.url);
    settings.setValue(kUserKey, account.user);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return QStringLiteral("Cannot write the settings file %1.").arg(SyncSettingsPath());
    return QString();
}

int LoadSyncInterval() {
    const QSettings settings(SyncSettingsPath(), QSettings::IniFormat);
    bool number = false;
    const int minutes = settings.value(kIntervalKey).toInt(&number);
    // A hand-edited file may hold anything: what is not a usable interval means no timed sync.
    return number && minutes > 0 && minutes <= kMaxSyncIntervalMinutes ? minutes : 0;
}

QString SaveSyncInterval(int minutes) {
    if (minutes < 0 || minutes > kMaxSyncIntervalMinutes)
        return QStringLiteral("The sync interval must be 0 (no timed sync) or 1 to %1 minutes.")
            .arg(kMaxSyncIntervalMinutes);
    QSettings settings(SyncSettingsPath(), QSettings::IniFormat);
    settings.setValue(kIntervalKey, minutes);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return QStringLiteral("Cannot write the settings file %1.").arg(SyncSettingsPath());
    return QString();
}

QString SyncKeyringService() {
    return QString::fromLocal8Bit(AppTitle());
}

QString SyncKeyringKey(const SyncAccount& account) {
    return account.user + QLatin1Char('@') + account.url;
}

KeyringAnswer StoreSyncPassword(const SyncAccount& account, const QString& password) {
    QKeychain::WritePasswordJob job(SyncKeyringService());
    job.setKey(SyncKeyringKey(account));
    job.setTextData(password);
    return RunJob(job);
}

KeyringAnswer ReadSyncPassword(const SyncAccount& account) {
    QKeychain::ReadPasswordJob job(SyncKeyringService());
    job.setKey(SyncKeyringKey(account));
    KeyringAnswer answer = RunJob(job);
    if (answer.outcome == KeyringAnswer::Done)
        answer.password = job.textData();
    return answer;
}

KeyringAnswer ForgetSyncPassword(const SyncAccount& account) {
    QKeychain::DeletePasswordJob job(SyncKeyringService());
    job.setKey(SyncKeyringKey(account));
    return RunJob(job);
}

std::optional<QString> SyncPasswordFromEnvironment() {
    // Set but empty reads as not set: that is how a shell clears a variable for one command.
    const QString password = qEnvironmentVariable(kSyncPasswordVariable);
    if (password.isEmpty())
        return std::nullopt;
    return password;
}

void KeepSyncPasswordForThisRun(const SyncAccount& account, const QString& password) {
    const QMutexLocker lock(&runPasswordsLock);
    if (password.isEmpty())
        RunPasswords().remove(SyncKeyringKey(account));
    else
        RunPasswords().insert(SyncKeyringKey(account), password);
}

SyncPassword PasswordForSync(const SyncAccount& account) {
    if (const std::optional<QString> fromEnvironment = SyncPasswordFromEnvironment())
        return {true, *fromEnvironment, QString(), SyncPassword::Environment};
    {
        const QMutexLocker lock(&runPasswordsLock);
        const auto kept = RunPasswords().constFind(SyncKeyringKey(account));
        if (kept != RunPasswords().cend())
            return {true, *kept, QString(), SyncPassword::ThisRun};
    }
    const KeyringAnswer found = ReadSyncPassword(account);
    if (found.outcome == KeyringAnswer::Done)
        return {true, found.password, QString(), SyncPassword::Keyring, found};
    const QString reason = found.reason.isEmpty() ? QString() : " (" + found.reason + ")";
    QString error;
    if (found.outcome == KeyringAnswer::NotFound)
        error = QStringLiteral("The desktop keyring holds no password for %1 at %2: open Sync "
                               "Settings and enter it.")
                    .arg(account.user, account.url);
    else if (found.outcome == KeyringAnswer::Refused)
        error = QStringLiteral("The desktop keyring refused to give the sync password%1: unlock "
                               "it, or open Sync Settings and enter the password.")
                    .arg(reason);
    else
        error = QStringLiteral("No desktop keyring is reachable%1, so the sync has no password: "
                               "open Sync Settings and enter it.")
                    .arg(reason);
    return {false, QString(), error, SyncPassword::None, found};
}

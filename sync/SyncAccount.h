#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

// The one CardDAV account the address book syncs with. Its address and user name are kept in
// the program's settings file, Vellicard.ini in the data folder beside the address book (so it
// moves with HOME as the book does); the password never goes there. It lives in the desktop
// keyring (the Secret Service, through qtkeychain), or comes from VELLICARD_SYNC_PASSWORD.
struct SyncAccount {
    QString url;
    QString user;
};

// The settings file that holds the account.
QString SyncSettingsPath();
// The account last set up, or none when there is none or it lacks its address or user.
std::optional<SyncAccount> LoadSyncAccount();
// Writes the account to the settings file. Returns the reason when it could not be written,
// else an empty text.
QString SaveSyncAccount(const SyncAccount& account);

// The timed sync, in the same settings file: minutes between two syncs while the window is
// open, 0 (the default) for none.
constexpr int kMaxSyncIntervalMinutes = 1440;
int LoadSyncInterval();
// Returns the reason when it could not be written (or minutes is out of 0..1440), else empty.
QString SaveSyncInterval(int minutes);

// The password's entry in the keyring: the program's name as the service, user@url as the key.
QString SyncKeyringService();
QString SyncKeyringKey(const SyncAccount& account);

// What a keyring request came to. Unreachable covers no keyring on the session bus and no bus
// at all; Refused a keyring that is there but denied the request (left locked, say).
struct KeyringAnswer {
    enum Outcome { Done, NotFound, Unreachable, Refused };
    Outcome outcome = Unreachable;
    QString password; // what a read found
    QString reason;   // the keyring's own words when it did not do it
};

// Each runs the keyring's job to its end in an event loop of its own; a QCoreApplication must
// exist.
KeyringAnswer StoreSyncPassword(const SyncAccount& account, const QString& password);
KeyringAnswer ReadSyncPassword(const SyncAccount& account);
KeyringAnswer ForgetSyncPassword(const SyncAccount& account);

// Set, it is the password of every sync, and the keyring is not asked.
constexpr const char* kSyncPasswordVariable = "VELLICARD_SYNC_PASSWORD";
std::optional<QString> SyncPasswordFromEnvironment();

// A password for the account held in this process's memory alone, for when the keyring cannot
// take it; it is gone when the program ends. An empty password forgets the one kept.
void KeepSyncPasswordForThisRun(const SyncAccount& account, const QString& password);

// The password a sync of the account uses: VELLICARD_SYNC_PASSWORD, else the one kept for this
// run, else the keyring's.
struct SyncPassword {
    enum Source { None, Environment, ThisRun, Keyring };
    bool ok = false;
    QString password;
    QString error; // when none was found: one sentence for the user
    Source source = None;
    KeyringAnswer keyring; // what the keyring answered, when it was asked
};
SyncPassword PasswordForSync(const SyncAccount& account);

// Whether the server at url takes user and password, and which address book it offers there:
// what setting up an account checks before it stores anything.
struct SyncCheckResult {
    bool ok = false;
    QString bookName; // when ok
    QString error;    // otherwise, one sentence for the user
};
using SyncChecker =
    std::function<SyncCheckResult(const QUrl& url, const QString& user, const QString& password)>;

// One sync of the address book file at bookPath with the account's server.
struct SyncRunResult {
    bool ok = false;
    QString summary; // when ok: the one line that tells what the sync did
    QString error;   // otherwise, one sentence for the user
};
using SyncRunner = std::function<SyncRunResult(const SyncAccount& account, const QString& password,
                                               const QString& bookPath)>;

#pragma once

#include "SyncAccount.h"

// The command line's two sync actions on the real server: the check of a new account (the
// address book found with the user and password) and one sync of the book file.
SyncCheckResult CheckSyncServer(const QUrl& url, const QString& user, const QString& password);
SyncRunResult RunSyncNow(const SyncAccount& account, const QString& password,
                         const QString& bookPath);

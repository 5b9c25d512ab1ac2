#pragma once

#include "sync/SyncAccount.h"

#include <QList>

#include <exception>

// The command line's two sync actions on the real server: the check of a new account (the
// address book found with the user and password) and one sync of the book file.
SyncCheckResult CheckSyncServer(const QUrl& url, const QString& user, const QString& password);
SyncRunResult RunSyncNow(const SyncAccount& account, const QString& password,
                         const QString& bookPath);

// The address books a user reaches from url, for the settings dialog to choose from: the URL's
// own book, or every book the server keeps for the user, sorted by href.
struct SyncBook {
    QString url;
    QString name;
};
struct SyncBooksResult {
    bool ok = false;
    QList<SyncBook> books; // when ok, never empty
    QString error;         // otherwise, one sentence for the user
};
// The reason a sync, a check or a listing failed, in words for the user, for the exception it
// failed with; `stopped` tells whether it failed because it was asked to stop.
QString SyncFailureText(std::exception_ptr failure, bool* stopped = nullptr);

SyncBooksResult ListSyncBooks(const QUrl& url, const QString& user, const QString& password);

#include "SyncRunner.h"

#include "DavClient.h"
#include "Synchronizer.h"

#include <QFile>

SyncCheckResult CheckSyncServer(const QUrl& url, const QString& user, const QString& password) {
    SyncCheckResult result;
    try {
        TDavClient client(url, user, password);
        const TDavClient::Book book = client.Discover();
        result.ok = true;
        result.bookName = book.name.isEmpty() ? book.url.path() : book.name;
    } catch (const EDavError& e) {
        result.error = e.message();
    }
    return result;
}

SyncRunResult RunSyncNow(const SyncAccount& account, const QString& password,
                         const QString& bookPath) {
    SyncRunResult result;
    try {
        TDavClient client(QUrl(account.url), account.user, password);
        result.summary = SyncAddressBook(client, QFile::encodeName(bookPath).toStdString()).Line();
        result.ok = true;
    } catch (const EDavError& e) {
        result.error = e.message();
    } catch (const std::exception& e) {
        result.error = QString::fromLocal8Bit(e.what());
    }
    return result;
}

SyncBooksResult ListSyncBooks(const QUrl& url, const QString& user, const QString& password) {
    SyncBooksResult result;
    try {
        TDavClient client(url, user, password);
        for (const TDavClient::Book& book : client.ListBooks())
            result.books << SyncBook{book.url.toString(), book.name};
        result.ok = true;
    } catch (const EDavError& e) {
        result.error = e.message();
    } catch (const std::exception& e) {
        result.error = QString::fromLocal8Bit(e.what());
    }
    return result;
}

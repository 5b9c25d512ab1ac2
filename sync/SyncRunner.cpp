#include "sync/SyncRunner.h"

#include "sync/DavClient.h"
#include "sync/Synchronizer.h"

#include <QFile>

QString SyncFailureText(std::exception_ptr failure, bool* stopped) {
    if (stopped)
        *stopped = false;
    try {
        std::rethrow_exception(failure);
    } catch (const EDavError& e) {
        if (stopped)
            *stopped = e.Failure() == EDavError::Kind::Stopped;
        return e.Message();
    } catch (const std::exception& e) {
        // A failure always has words, or it would read as success.
        const QString reason = QString::fromLocal8Bit(e.what());
        return reason.isEmpty() ? QStringLiteral("The server's answer could not be used.") : reason;
    } catch (...) {
        return QStringLiteral("The sync failed for a reason it could not tell.");
    }
}

namespace {
// Runs `work`: the reason it failed, in words for the user, or an empty text.
template <typename Work> QString FailureOf(Work&& work) {
    try {
        work();
        return QString();
    } catch (...) {
        return SyncFailureText(std::current_exception());
    }
}
} // namespace

SyncCheckResult CheckSyncServer(const QUrl& url, const QString& user, const QString& password) {
    SyncCheckResult result;
    result.error = FailureOf([&] {
        TDavClient client(url, user, password);
        const TDavClient::Book book = client.Discover();
        result.bookName = book.name.isEmpty() ? book.url.path() : book.name;
    });
    result.ok = result.error.isEmpty();
    return result;
}

SyncRunResult RunSyncNow(const SyncAccount& account, const QString& password,
                         const QString& bookPath) {
    SyncRunResult result;
    result.error = FailureOf([&] {
        TDavClient client(QUrl(account.url), account.user, password);
        result.summary = SyncAddressBook(client, QFile::encodeName(bookPath).toStdString()).Line();
    });
    result.ok = result.error.isEmpty();
    return result;
}

SyncBooksResult ListSyncBooks(const QUrl& url, const QString& user, const QString& password) {
    SyncBooksResult result;
    result.error = FailureOf([&] {
        TDavClient client(url, user, password);
        for (const TDavClient::Book& book : client.ListBooks())
            result.books << SyncBook{book.url.toString(), book.name};
    });
    result.ok = result.error.isEmpty();
    return result;
}

#pragma once

// The calls the sync makes of a CardDAV address book, as an interface: the real client
// (TDavSyncServer over TDavClient) and the tests' in-memory server implement it, so the sync's
// runner is exercised against both.

#include "sync/DavClient.h"

class ISyncServer {
public:
    virtual ~ISyncServer() = default;

    // The address book the account names, found as TDavClient::Discover finds it; afterwards
    // the server works on that book.
    virtual TDavClient::Book Discover() = 0;
    virtual void UseBook(const QUrl& bookUrl) = 0;
    // The address the account was set up with.
    virtual QUrl StartUrl() const = 0;
    virtual std::optional<DavChanges> SyncCollection(const QString& token) = 0;
    virtual QMap<QString, QString> ListEtags() = 0;
    // The cards at the hrefs; a card gone meanwhile is left out, and one too big to take is left
    // out too and named in `skipped`.
    virtual QList<DavCard> Multiget(const QStringList& hrefs, QList<DavSkippedCard>* skipped) = 0;
    virtual QString NewHref(const QString& uid) const = 0;
    virtual QString PutNew(const QString& href, const QByteArray& vcard) = 0;
    virtual QString PutChanged(const QString& href, const QByteArray& vcard,
                               const QString& etag) = 0;
    virtual void Delete(const QString& href, const QString& etag) = 0;
    // Throws EDavError Stopped once the sync was asked to stop.
    virtual void ThrowIfStopped() const = 0;
};

// The real server, through the CardDAV client.
class TDavSyncServer : public ISyncServer {
public:
    explicit TDavSyncServer(TDavClient& client) : client_(client) {}
    TDavClient::Book Discover() override { return client_.Discover(); }
    void UseBook(const QUrl& bookUrl) override { client_.UseBook(bookUrl); }
    QUrl StartUrl() const override { return client_.StartUrl(); }
    std::optional<DavChanges> SyncCollection(const QString& token) override {
        return client_.SyncCollection(token);
    }
    QMap<QString, QString> ListEtags() override { return client_.ListEtags(); }
    QList<DavCard> Multiget(const QStringList& hrefs, QList<DavSkippedCard>* skipped) override {
        return client_.Multiget(hrefs, skipped);
    }
    QString NewHref(const QString& uid) const override { return client_.NewHref(uid); }
    QString PutNew(const QString& href, const QByteArray& vcard) override {
        return client_.PutNew(href, vcard);
    }
    QString PutChanged(const QString& href, const QByteArray& vcard,
                       const QString& etag) override {
        return client_.PutChanged(href, vcard, etag);
    }
    void Delete(const QString& href, const QString& etag) override { client_.Delete(href, etag); }
    void ThrowIfStopped() const override { client_.ThrowIfStopped(); }

private:
    TDavClient& client_;
};

#pragma once

// An address book server in memory, for the sync's model test: cards by href with strong
// ETags, sync tokens over a log of changes, the preconditions of PUT and DELETE, and faults on
// request: another client's change just before a write arrives (a 412), an answer lost after
// the server stored the write, and a stop.

#include "sync/SyncServer.h"

#include <functional>
#include <map>
#include <vector>

class FakeDavServer : public ISyncServer {
public:
    explicit FakeDavServer(bool syncCollection = true) : syncCollection_(syncCollection) {}

    // Another client's doing, straight on the book.
    QString Store(const QString& name, const QByteArray& vcard); // returns the href
    void Remove(const QString& href);
    std::map<QString, QByteArray> Cards() const;

    enum class Fault { None, Conflict, LostAnswer, Stop };
    // Asked before each PUT and DELETE: Conflict lets `conflict` change the card first, so the
    // write fails on its ETag; LostAnswer stores the write and then fails as a broken connection.
    std::function<Fault(const QByteArray& verb, const QString& href)> fault;
    std::function<void(const QString& href)> conflict;
    void Stop() { stopped_ = true; }
    void Resume() { stopped_ = false; }
    int writes = 0;

    TDavClient::Book Discover() override;
    void UseBook(const QUrl&) override {}
    QUrl StartUrl() const override { return QUrl("http://fake.invalid/"); }
    std::optional<DavChanges> SyncCollection(const QString& token) override;
    QMap<QString, QString> ListEtags() override;
    QList<DavCard> Multiget(const QStringList& hrefs, QList<DavSkippedCard>* skipped) override;
    QString NewHref(const QString& uid) const override;
    QString PutNew(const QString& href, const QByteArray& vcard) override;
    QString PutChanged(const QString& href, const QByteArray& vcard, const QString& etag) override;
    void Delete(const QString& href, const QString& etag) override;
    void ThrowIfStopped() const override;

    // Cards larger than this are refused by Multiget as a real client refuses them.
    int maxCard = 1 << 20;

private:
    struct Card {
        QByteArray vcard;
        QString etag;
    };
    QString Write(const QString& href, const QByteArray* vcard);
    bool Faulted(const QByteArray& verb, const QString& href, bool* lostAnswer);

    bool syncCollection_;
    bool stopped_ = false;
    int nextEtag_ = 1;
    std::map<QString, Card> cards_;
    std::vector<QString> log_; // the href each change of the book touched, in order
    std::map<QString, std::size_t> made_; // where in the log each card was last made
};

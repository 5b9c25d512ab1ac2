#pragma once

// A CardDAV client (RFC 6352, with sync-collection from RFC 6578) for the sync of the address
// book. Every call blocks until the server has answered: it runs a local event loop until the
// reply has finished, so the client lives in one thread and is used only there.
//
// Credentials go only to the server of the URL the client was made with: redirects to any
// other scheme, host or port are not followed, and certificates are always verified. Hrefs are
// absolute paths on that server with their percent-encoding normalised, so one card always has
// one href string; ETags are kept exactly as the server sends them, quotes included.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>

#include <memory>
#include <optional>
#include <stdexcept>

class QNetworkAccessManager;
class QNetworkReply;
struct DavResponse;
struct Multistatus;

// A failure of a call, with a message a person can act on.
class EDavError : public std::runtime_error {
public:
    enum class Kind {
        Unreachable,        // no connection, the connection broke off, no answer in time
        Unauthorized,       // user name or password refused, or no access
        Certificate,        // the server's certificate is not trusted
        NotAddressBook,     // the URL leads to no CardDAV address book
        PreconditionFailed, // 412: the card changed on the server (or exists already)
        NotFound,
        TooLarge,  // an answer beyond the size the client accepts
        Malformed, // an answer the client cannot read
        Server,    // any other refusal or failure of the server
        Stopped,   // the client was asked to stop
    };
    EDavError(Kind kind, const QString& message);
    Kind Failure() const { return kind_; }
    QString Message() const { return QString::fromUtf8(what()); }

private:
    Kind kind_;
};

struct DavCard {
    QString href;
    QString etag;
    QByteArray vcard;
};

struct DavChanges {
    QList<QPair<QString, QString>> changed; // href, ETag: added or changed since the token
    QStringList removed;                    // hrefs
    QString token;                          // for the next call
};

// A card the client did not take from the server.
struct DavSkippedCard {
    QString href;
    QString name;   // its FN, when the part of the answer read held one
    QString reason; // one sentence for the user, naming the card
};

class TDavClient {
public:
    static constexpr qint64 kMaxAnswerBytes = 32 * 1024 * 1024;
    static constexpr int kTransferTimeoutMs = 30000;
    static constexpr int kMultigetBatch = 100;
    // What the network may hold of an answer before the client has taken it.
    static constexpr qint64 kReadBufferBytes = 1024 * 1024;
    // What is kept of an answer refused for its size, to tell which card it held.
    static constexpr int kRefusedHeadBytes = 16 * 1024;

    TDavClient(const QUrl& url, const QString& user, const QString& password);
    ~TDavClient();
    TDavClient(const TDavClient&) = delete;
    TDavClient& operator=(const TDavClient&) = delete;

    struct Book {
        QUrl url;
        QString name;
        bool syncCollection = false; // the server offers sync-collection on it
    };

    // The address book at the URL: the URL itself when it is one; else, through the URL or
    // /.well-known/carddav, the current user's principal, its address book home set, and the
    // first address book there by href. Afterwards the client works on that book.
    Book Discover();
    // Every address book found the way Discover() finds its one: the URL's own book, or all
    // the books of the user's address book home set, sorted by href. The client's book stays
    // as it was.
    QList<Book> ListBooks();
    // Works on the book at bookUrl without asking the server first.
    void UseBook(const QUrl& bookUrl);
    QUrl BookUrl() const { return book_; }
    // The URL the client was made with.
    QUrl StartUrl() const { return start_; }

    // Changes since token (empty: every card in the book). std::nullopt when the server does not
    // offer sync-collection or no longer knows the token; the caller then lists the ETags.
    std::optional<DavChanges> SyncCollection(const QString& token);
    // href -> ETag of every vCard in the book.
    QMap<QString, QString> ListEtags();
    // The cards at the hrefs, fetched in batches; a card gone in the meantime is left out. A
    // batch whose answer is too large is fetched again in halves, down to single cards; a card
    // too large on its own goes into skipped, or, without skipped, fails the call with TooLarge
    // and the card's reason.
    QList<DavCard> Multiget(const QStringList& hrefs, QList<DavSkippedCard>* skipped = nullptr);

    // Each returns the ETag of the card stored. PutNew fails with PreconditionFailed when a card
    // is there already, PutChanged and Delete when the card's ETag on the server is no longer
    // etag. Deleting a card that is not there counts as done.
    QString PutNew(const QString& href, const QByteArray& vcard);
    QString PutChanged(const QString& href, const QByteArray& vcard, const QString& etag);
    void Delete(const QString& href, const QString& etag);

    // Asks the client to stop, from any thread: the call under way breaks off, unless its answer
    // is in already, and every later call fails with Stopped.
    void Stop();
    // Throws Stopped once Stop was called.
    void ThrowIfStopped() const;

    // An href in the book for a new card: the book's path and a file name made from the UID
    // (the UID itself when it is a safe name, else a digest of it) with ".vcf".
    QString NewHref(const QString& uid) const;

private:
    struct Reply {
        QUrl url; // the one that answered, after redirects
        int status = 0;
        QByteArray reason;
        QByteArray etag;
        QByteArray location;
        QByteArray body;
    };
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    Reply Send(const QByteArray& verb, const QUrl& url, const QByteArray& body,
               const Headers& headers = {});
    Reply SendOnce(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                   const Headers& headers);
    [[noreturn]] void Refuse(const QByteArray& verb, const Reply& reply,
                             const QString& preconditionMessage = {}) const;
    Multistatus Read(const QByteArray& verb, const Reply& reply) const;
    // Each sets url to the address that answered, after redirects.
    Multistatus Propfind(QUrl& url, int depth, const QByteArray& props);
    std::optional<Multistatus> PropfindIfDav(QUrl& url, int depth, const QByteArray& props);
    const DavResponse* SelfOf(const Multistatus& answer, const QUrl& url) const;
    Book Describe(const QUrl& at, const DavResponse& book) const;
    Book Choose(const Book& book);
    // The books Discover() and ListBooks() report: all of them, or the first by href alone.
    QList<Book> FindBooks(bool all);
    void MultigetPart(const QStringList& hrefs, QList<DavCard>& cards,
                      QList<DavSkippedCard>* skipped);
    QString Put(const QString& href, const QByteArray& vcard,
                const QPair<QByteArray, QByteArray>& condition, const QString& preconditionMessage);
    void NeedBook() const;
    QString Canonical(const QString& href, const QUrl& base) const;
    QUrl UrlOf(const QString& href) const;
    QString Origin() const;
    QString Shown(const QUrl& url) const;

    QUrl start_;
    QString user_;
    QByteArray authorization_;
    std::unique_ptr<QNetworkAccessManager> network_;
    std::atomic<bool> stopped_{false};
    QNetworkReply* current_ = nullptr; // the call under way, on the client's thread only
    QByteArray refusedHead_;           // the first bytes of the last answer refused for its size
    QUrl book_;
    QString bookPath_;
    enum class Offer { Unknown, Yes, No } syncOffer_ = Offer::Unknown;
};

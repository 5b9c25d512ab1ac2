#include "sync/DavClient.h"

#include "interchange/TextCodec.h"
#include "interchange/VCardParser.h"
#include "sync/Multistatus.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSet>
#if QT_CONFIG(ssl)
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#endif

#include <algorithm>

namespace {

using Kind = EDavError::Kind;

const QByteArray kXmlType = "application/xml; charset=utf-8";
const QByteArray kDiscoveryProps = "<D:resourcetype/><D:displayname/><D:current-user-principal/>"
                                   "<C:addressbook-home-set/><D:supported-report-set/>";

QByteArray XmlBody(const QByteArray& root, const QByteArray& content) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<" + root +
           " xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:carddav\">" + content + "</" +
           root.left(root.indexOf(' ') < 0 ? root.size() : root.indexOf(' ')) + ">";
}

QByteArray XmlText(const QString& text) {
    return text.toHtmlEscaped().toUtf8();
}

// A message ends in exactly one full stop, whatever the text put into it ended with.
QString Sentence(QString text) {
    while (text.endsWith(QLatin1Char('.')) || text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text + QLatin1Char('.');
}

bool SameOrigin(const QUrl& a, const QUrl& b) {
    const auto port = [](const QUrl& u) {
        return u.port(u.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443
                                                                                           : 80);
    };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && port(a) == port(b);
}

// The characters no server reads as anything but themselves (RFC 3986 unreserved). Others that
// a path may hold plainly are encoded all the same: some servers cut a path at ";".
bool StaysLiteral(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}


// One spelling for every path that names the same resource: unreserved characters plain, every
// other byte percent-encoded in upper case, an encoded "/" left encoded.
QString CanonicalPath(const QByteArray& path) {
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(path.size());
    for (int i = 0; i < path.size(); ++i) {
        char c = path[i];
        if (c == '%' && i + 2 < path.size() && HexValue(path[i + 1]) >= 0 &&
            HexValue(path[i + 2]) >= 0) {
            c = char(HexValue(path[i + 1]) * 16 + HexValue(path[i + 2]));
            i += 2;
        } else if (c == '/') {
            out += c;
            continue;
        }
        if (StaysLiteral(c)) {
            out += c;
        } else {
            out += '%';
            out += kHex[(uchar(c) >> 4) & 0xF];
            out += kHex[uchar(c) & 0xF];
        }
    }
    return QString::fromLatin1(out);
}

bool SamePath(const QString& a, const QString& b) {
    const auto bare = [](const QString& p) {
        return p.endsWith(QLatin1Char('/')) ? p.chopped(1) : p;
    };
    return bare(a) == bare(b);
}

#if QT_CONFIG(ssl)
// "AB:CD:...", as openssl and the browsers show a certificate's digest.
QString Fingerprint(const QSslCertificate& certificate) {
    if (certificate.isNull())
        return {};
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}
#endif

// The FN of the card a multistatus begins with, from as much of the body as there is; empty
// when none is there whole.
QString CardName(const QByteArray& head) {
    QByteArray text = LeadingAddressData(head);
    if (!text.toUpper().contains("END:VCARD"))
        text += "\r\nEND:VCARD\r\n";
    try {
        const std::vector<VCard> cards = ParseVCards(text.toStdString());
        const VCardProperty* fn = cards.empty() ? nullptr : cards.front().First("FN");
        if (fn)
            return QString::fromStdString(UnescapeText(fn->value, cards.front().version))
                .simplified();
    } catch (const std::exception&) {
    }
    return {};
}

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

EDavError::EDavError(Kind kind, const QString& message)
    : std::runtime_error(message.toStdString()), kind_(kind) {}

TDavClient::TDavClient(const QUrl& url, const QString& user, const QString& password)
    : start_(url.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveFragment)), user_(user),
      authorization_("Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64()),
      network_(std::make_unique<QNetworkAccessManager>()) {
    if (start_.path().isEmpty())
        start_.setPath(QStringLiteral("/"));
}

TDavClient::~TDavClient() = default;

void TDavClient::ThrowIfStopped() const {
    if (stopped_)
        throw EDavError(Kind::Stopped, QStringLiteral("The sync was stopped."));
}

void TDavClient::Stop() {
    stopped_ = true;
    // The reply lives on the client's thread, so it is broken off there, by the event loop the
    // call waits in; a call not yet sent sees the flag first. With the client gone, the manager
    // has gone too and the request with it.
    QMetaObject::invokeMethod(network_.get(), [this] {
        if (current_)
            current_->abort();
    }, Qt::QueuedConnection);
}

QString TDavClient::Origin() const {
    return start_.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
        .toDisplayString();
}

QString TDavClient::Shown(const QUrl& url) const {
    return url.adjusted(QUrl::RemoveUserInfo).toDisplayString();
}

QString TDavClient::Canonical(const QString& href, const QUrl& base) const {
    const QUrl resolved = base.resolved(QUrl(href.trimmed(), QUrl::TolerantMode));
    if (!resolved.isValid() || !SameOrigin(resolved, start_))
        return {};
    const QString path = resolved.path(QUrl::FullyEncoded);
    return CanonicalPath(path.isEmpty() ? QByteArray("/") : path.toLatin1());
}

QUrl TDavClient::UrlOf(const QString& href) const {
    QUrl url = start_.adjusted(QUrl::RemoveQuery);
    url.setPath(href, QUrl::TolerantMode);
    return url;
}

TDavClient::Reply TDavClient::SendOnce(const QByteArray& verb, const QUrl& url,
                                       const QByteArray& body, const Headers& headers) {
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Authorization", authorization_);
    // Uncompressed, so that the size bound holds for what arrives and a short answer shows.
    request.setRawHeader("Accept-Encoding", "identity");
    for (const auto& header : headers)
        request.setRawHeader(header.first, header.second);
    // HTTP/1.1, where the read buffer below holds the socket back until the client has taken
    // what arrived.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    ThrowIfStopped();
    const std::unique_ptr<QNetworkReply> reply(network_->sendCustomRequest(request, verb, body));
    current_ = reply.get();
    const struct Forget {
        QNetworkReply*& current;
        ~Forget() { current = nullptr; }
    } forget{current_};

    Reply answer;
    bool tooLarge = false;
    bool announcedTooLarge = false;
    QString certificateProblems;
    QString fingerprint;
    refusedHead_.clear();
    const auto refuseSize = [&] {
        tooLarge = true;
        refusedHead_ = answer.body.left(kRefusedHeadBytes);
        answer.body.clear();
        reply->abort();
    };
    // Without a bound of its own the reply's network thread reads the socket as fast as the
    // server sends, and while more of it is queued for this thread the reply holds back
    // readyRead: an answer without a length header was read whole before the check below saw
    // any of it. With the bound, the network thread waits until readyRead has taken what
    // arrived. That thread takes the bound only once it has started the request; a bound given
    // earlier is dropped. A request with a body is started from this thread's event queue, one
    // without at once, so the bound is given both now and as the next queued call, which comes
    // after the start and before the request's body can leave: a server cannot answer the body
    // before the bound is in place. (Given when the request had gone out, it came after the
    // answer often enough to let a fast server flood the reply.)
    reply->setReadBufferSize(kReadBufferBytes);
    QMetaObject::invokeMethod(
        reply.get(), [r = reply.get()] { r->setReadBufferSize(kReadBufferBytes); },
        Qt::QueuedConnection);
    // An answer announced too large is refused once its first bytes are in, which may name
    // what it holds.
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, [&] {
        announcedTooLarge =
            reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > kMaxAnswerBytes;
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, [&] {
        if (tooLarge)
            return;
        answer.body += reply->read(kMaxAnswerBytes + 1 - answer.body.size());
        if (answer.body.size() > kMaxAnswerBytes ||
            (announcedTooLarge && answer.body.size() >= kRefusedHeadBytes))
            refuseSize();
    });
#if QT_CONFIG(ssl)
    QObject::connect(reply.get(), &QNetworkReply::sslErrors, [&](const QList<QSslError>& errors) {
        QStringList texts;
        for (const QSslError& e : errors)
            texts << Sentence(e.errorString()).chopped(1);
        certificateProblems = texts.join(QStringLiteral("; "));
        fingerprint = Fingerprint(reply->sslConfiguration().peerCertificate());
        for (const QSslError& e : errors)
            if (fingerprint.isEmpty())
                fingerprint = Fingerprint(e.certificate());
    });
#endif
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (stopped_ && reply->error() == QNetworkReply::OperationCanceledError)
        throw EDavError(Kind::Stopped, QStringLiteral("The sync was stopped."));
    const QString server = Origin();
    if (!tooLarge) {
        answer.body += reply->read(kMaxAnswerBytes + 1 - answer.body.size());
        if (announcedTooLarge || answer.body.size() > kMaxAnswerBytes)
            refuseSize();
    }
    if (tooLarge)
        throw EDavError(Kind::TooLarge,
                        QStringLiteral("The answer of the server at %1 to %2 %3 is larger than "
                                       "%4 MiB, more than this program accepts.")
                            .arg(server, QString::fromLatin1(verb), url.path())
                            .arg(kMaxAnswerBytes / (1024 * 1024)));
    answer.url = url;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
    answer.etag = reply->rawHeader("ETag");
    answer.location = reply->rawHeader("Location");

    QNetworkReply::NetworkError error = reply->error();
    // A connection closed before the announced length arrived can pass for a complete answer.
    bool lengthKnown = false;
    const qint64 length =
        reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&lengthKnown);
    if (lengthKnown && reply->rawHeader("Content-Encoding").isEmpty() &&
        answer.body.size() < length)
        error = QNetworkReply::RemoteHostClosedError;
    // Errors from 200 on describe an HTTP status, which the callers judge; below are failures of
    // the connection itself.
    if (answer.status != 0 && (error == QNetworkReply::NoError || error >= 200) &&
        error != QNetworkReply::ProtocolFailure)
        return answer;
    switch (error) {
    case QNetworkReply::SslHandshakeFailedError: {
        QString message =
            Sentence(QStringLiteral("The certificate of %1 is not trusted: %2")
                         .arg(server, certificateProblems.isEmpty() ? reply->errorString()
                                                                    : certificateProblems));
        // What a user compares with the fingerprint the server's administrator gives out.
        if (!fingerprint.isEmpty())
            message += QStringLiteral(" Its SHA-256 fingerprint %1 is what to compare with the "
                                      "server's own.")
                           .arg(fingerprint);
        throw EDavError(Kind::Certificate, message);
    }
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError:
        throw EDavError(Kind::Unreachable,
                        QStringLiteral("The server at %1 did not answer within %2 seconds.")
                            .arg(server)
                            .arg(kTransferTimeoutMs / 1000));
    case QNetworkReply::ProtocolFailure:
        throw EDavError(Kind::Malformed,
                        Sentence(QStringLiteral("The server at %1 did not answer in HTTP: %2")
                                     .arg(server, reply->errorString())));
    default:
        if (answer.status != 0)
            throw EDavError(Kind::Unreachable,
                            QStringLiteral("The server at %1 broke off its answer to %2 %3. "
                                           "Try again; if it keeps happening, the server or the "
                                           "network is at fault.")
                                .arg(server, QString::fromLatin1(verb), url.path()));
        throw EDavError(Kind::Unreachable,
                        Sentence(QStringLiteral("The server at %1 cannot be reached: %2")
                                     .arg(server, reply->errorString())));
    }
}

TDavClient::Reply TDavClient::Send(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                                   const Headers& headers) {
    QUrl target = url;
    for (int hop = 0;; ++hop) {
        Reply reply = SendOnce(verb, target, body, headers);
        if (!IsRedirect(reply.status) || reply.location.isEmpty())
            return reply;
        const QUrl next = target.resolved(QUrl::fromEncoded(reply.location));
        // The password goes nowhere but to the server it was given for.
        if (!SameOrigin(next, start_))
            throw EDavError(Kind::Server,
                            QStringLiteral("The server at %1 sends %2 on to %3, another server, "
                                           "where this program does not send your password. If "
                                           "you trust that server, enter its address instead.")
                                .arg(Origin(), Shown(target), Shown(next)));
        if (hop == 5)
            throw EDavError(Kind::Server,
                            QStringLiteral("The server at %1 sends %2 on from one address to "
                                           "another without end.")
                                .arg(Origin(), Shown(url)));
        target = next;
    }
}

void TDavClient::Refuse(const QByteArray& verb, const Reply& reply,
                        const QString& preconditionMessage) const {
    switch (reply.status) {
    case 401:
        throw EDavError(Kind::Unauthorized,
                        QStringLiteral("The server refused the user name or password."));
    case 403:
        throw EDavError(Kind::Unauthorized,
                        QStringLiteral("The server at %1 does not let the user %2 reach %3.")
                            .arg(Origin(), user_, reply.url.path()));
    case 404:
    case 410:
        throw EDavError(
            Kind::NotFound,
            QStringLiteral("There is nothing at %1 on the server.").arg(Shown(reply.url)));
    case 412:
        throw EDavError(Kind::PreconditionFailed,
                        !preconditionMessage.isEmpty()
                            ? preconditionMessage
                            : QStringLiteral("%1 was changed on the server in the meantime.")
                                  .arg(Shown(reply.url)));
    default:
        throw EDavError(Kind::Server,
                        Sentence(QStringLiteral("The server at %1 answered %2 %3 with %4 %5")
                                     .arg(Origin(), QString::fromLatin1(verb), reply.url.path())
                                     .arg(reply.status)
                                     .arg(QString::fromLatin1(reply.reason))));
    }
}

Multistatus TDavClient::Read(const QByteArray& verb, const Reply& reply) const {
    if (reply.status != 207)
        Refuse(verb, reply);
    Multistatus answer = ParseMultistatus(reply.body);
    if (answer.cardTooLarge)
        throw EDavError(Kind::TooLarge,
                        QStringLiteral("The answer of the server at %1 to %2 %3 holds a card "
                                       "larger than %4 MiB, more than this program accepts.")
                            .arg(Origin(), QString::fromLatin1(verb), reply.url.path())
                            .arg(MultistatusLimits().maxAddressData / (1024 * 1024)));
    if (!answer.error.isEmpty())
        throw EDavError(Kind::Malformed,
                        Sentence(QStringLiteral("The server at %1 sent an answer to %2 %3 that "
                                                "cannot be read: %4")
                                     .arg(Origin(), QString::fromLatin1(verb), reply.url.path(),
                                          answer.error)));
    return answer;
}

Multistatus TDavClient::Propfind(QUrl& url, int depth, const QByteArray& props) {
    const Reply reply =
        Send("PROPFIND", url, XmlBody("D:propfind", "<D:prop>" + props + "</D:prop>"),
             {{"Depth", QByteArray::number(depth)}, {"Content-Type", kXmlType}});
    url = reply.url;
    return Read("PROPFIND", reply);
}

std::optional<Multistatus> TDavClient::PropfindIfDav(QUrl& url, int depth,
                                                     const QByteArray& props) {
    const Reply reply =
        Send("PROPFIND", url, XmlBody("D:propfind", "<D:prop>" + props + "</D:prop>"),
             {{"Depth", QByteArray::number(depth)}, {"Content-Type", kXmlType}});
    url = reply.url;
    // A web page, or a server that knows no PROPFIND there.
    static const int kNotDav[] = {200, 204, 400, 404, 405, 410, 501};
    if (std::find(std::begin(kNotDav), std::end(kNotDav), reply.status) != std::end(kNotDav))
        return std::nullopt;
    return Read("PROPFIND", reply);
}

const DavResponse* TDavClient::SelfOf(const Multistatus& answer, const QUrl& url) const {
    const QString path = Canonical(url.path(QUrl::FullyEncoded), url);
    for (const DavResponse& r : answer.responses)
        if (SamePath(Canonical(r.href, url), path))
            return &r;
    return answer.responses.size() == 1 ? &answer.responses.front() : nullptr;
}

TDavClient::Book TDavClient::Describe(const QUrl& at, const DavResponse& book) const {
    QString path = Canonical(book.href, at);
    if (path.isEmpty())
        path = Canonical(at.path(QUrl::FullyEncoded), at);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    QString name = book.displayName;
    if (name.isEmpty())
        name = QUrl::fromPercentEncoding(path.chopped(1).section(QLatin1Char('/'), -1).toLatin1());
    return {UrlOf(path), name, book.offersSyncCollection};
}

TDavClient::Book TDavClient::Choose(const Book& book) {
    UseBook(book.url);
    syncOffer_ = book.syncCollection ? Offer::Yes : Offer::Unknown;
    return book;
}

TDavClient::Book TDavClient::Discover() {
    return Choose(FindBooks(false).front());
}

QList<TDavClient::Book> TDavClient::ListBooks() {
    return FindBooks(true);
}

QList<TDavClient::Book> TDavClient::FindBooks(bool all) {
    QUrl url = start_;
    const std::optional<Multistatus> here = PropfindIfDav(url, 0, kDiscoveryProps);
    const DavResponse* self = here ? SelfOf(*here, url) : nullptr;
    if (self && self->isAddressBook)
        return {Describe(url, *self)};

    QString principal;
    QUrl principalBase = url;
    if (self)
        principal = self->currentUserPrincipal;
    if (principal.isEmpty()) {
        QUrl wellKnown = start_.adjusted(QUrl::RemoveQuery);
        wellKnown.setPath(QStringLiteral("/.well-known/carddav"));
        if (const std::optional<Multistatus> found = PropfindIfDav(wellKnown, 0, kDiscoveryProps)) {
            if (const DavResponse* r = SelfOf(*found, wellKnown)) {
                if (r->isAddressBook)
                    return {Describe(wellKnown, *r)};
                principal = r->currentUserPrincipal;
                principalBase = wellKnown;
            }
        }
    }
    if (principal.isEmpty())
        throw EDavError(Kind::NotAddressBook,
                        QStringLiteral("%1 is not a CardDAV address book, and the server names "
                                       "no address book for %2 there.")
                            .arg(Shown(start_), user_));
    const QString elsewhere = QStringLiteral(
        "The server at %1 keeps the address books of %2 on another server, which this program "
        "does not send your password to.");
    const QString principalPath = Canonical(principal, principalBase);
    if (principalPath.isEmpty())
        throw EDavError(Kind::Server, elsewhere.arg(Origin(), user_));

    QStringList homes;
    if (self && SamePath(Canonical(self->href, url), principalPath))
        homes = self->addressBookHomeSet;
    QUrl principalUrl = UrlOf(principalPath);
    if (homes.isEmpty()) {
        const Multistatus answer = Propfind(principalUrl, 0, "<C:addressbook-home-set/>");
        if (const DavResponse* r = SelfOf(answer, principalUrl))
            homes = r->addressBookHomeSet;
    }
    if (homes.isEmpty())
        throw EDavError(Kind::NotAddressBook,
                        QStringLiteral("The server at %1 names no place for address books of %2.")
                            .arg(Origin(), user_));
    const QString home = Canonical(homes.front(), principalUrl);
    if (home.isEmpty())
        throw EDavError(Kind::Server, elsewhere.arg(Origin(), user_));
    // An address inside the home was meant to be a book itself, not a way to the first one.
    const QString startPath = Canonical(url.path(QUrl::FullyEncoded), url);
    const QString homeDir = home.endsWith(QLatin1Char('/')) ? home : home + QLatin1Char('/');
    if (startPath.startsWith(homeDir) && !SamePath(startPath, home))
        throw EDavError(Kind::NotAddressBook,
                        QStringLiteral("%1 is not a CardDAV address book.").arg(Shown(start_)));

    QUrl homeUrl = UrlOf(home);
    const Multistatus listing =
        Propfind(homeUrl, 1, "<D:resourcetype/><D:displayname/><D:supported-report-set/>");
    QList<QPair<QString, const DavResponse*>> found;
    for (const DavResponse& r : listing.responses) {
        const QString path = Canonical(r.href, homeUrl);
        if (r.isAddressBook && !path.isEmpty() && !SamePath(path, home))
            found << qMakePair(path, &r);
    }
    if (found.isEmpty())
        throw EDavError(
            Kind::NotAddressBook,
            QStringLiteral("The server at %1 has no address book for %2.").arg(Origin(), user_));
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (!all)
        found.erase(found.begin() + 1, found.end());
    QList<Book> books;
    for (const auto& f : found)
        books << Describe(homeUrl, *f.second);
    return books;
}

void TDavClient::UseBook(const QUrl& bookUrl) {
    if (!SameOrigin(bookUrl, start_))
        throw EDavError(
            Kind::Server,
            QStringLiteral("%1 is not on the server at %2.").arg(Shown(bookUrl), Origin()));
    bookPath_ = Canonical(bookUrl.path(QUrl::FullyEncoded), bookUrl);
    if (!bookPath_.endsWith(QLatin1Char('/')))
        bookPath_ += QLatin1Char('/');
    book_ = UrlOf(bookPath_);
    syncOffer_ = Offer::Unknown;
}

void TDavClient::NeedBook() const {
    if (book_.isEmpty())
        throw std::logic_error("TDavClient: no address book chosen");
}

std::optional<DavChanges> TDavClient::SyncCollection(const QString& token) {
    NeedBook();
    if (syncOffer_ == Offer::No)
        return std::nullopt;
    QMap<QString, QString> changed;
    QSet<QString> removed;
    QString current = token;
    // A server may hand the changes out in parts (507 on the book): each part's token asks for
    // the next.
    for (int part = 0; part < 10000; ++part) {
        const QByteArray body =
            XmlBody("D:sync-collection", "<D:sync-token>" + XmlText(current) +
                                             "</D:sync-token><D:sync-level>1</D:sync-level>"
                                             "<D:prop><D:getetag/></D:prop>");
        const Reply reply =
            Send("REPORT", book_, body, {{"Depth", "0"}, {"Content-Type", kXmlType}});
        static const int kNoSync[] = {400, 403, 405, 409, 412, 415, 501};
        if (std::find(std::begin(kNoSync), std::end(kNoSync), reply.status) != std::end(kNoSync)) {
            if (current.isEmpty())
                syncOffer_ = Offer::No;
            return std::nullopt;
        }
        const Multistatus answer = Read("REPORT", reply);
        bool more = false;
        for (const DavResponse& r : answer.responses) {
            const QString href = Canonical(r.href, reply.url);
            if (href.isEmpty()) {
                continue;
            } else if (SamePath(href, bookPath_)) {
                more |= r.status == 507;
            } else if (r.status == 404 || r.status == 410) {
                changed.remove(href);
                removed.insert(href);
            } else if (r.status == 0 && !r.isCollection) {
                removed.remove(href);
                changed.insert(href, r.etag);
            }
        }
        if (answer.syncToken.isEmpty())
            throw EDavError(Kind::Malformed,
                            QStringLiteral("The server at %1 lists changes of %2 without a sync "
                                           "token.")
                                .arg(Origin(), Shown(book_)));
        current = answer.syncToken;
        if (!more) {
            DavChanges changes;
            for (auto it = changed.cbegin(); it != changed.cend(); ++it)
                changes.changed << qMakePair(it.key(), it.value());
            changes.removed = QStringList(removed.cbegin(), removed.cend());
            changes.removed.sort();
            changes.token = current;
            return changes;
        }
    }
    throw EDavError(
        Kind::Server,
        QStringLiteral("The server at %1 never ends its list of changes.").arg(Origin()));
}

QMap<QString, QString> TDavClient::ListEtags() {
    NeedBook();
    QUrl url = book_;
    const Multistatus answer = Propfind(url, 1, "<D:getetag/><D:resourcetype/>");
    QMap<QString, QString> etags;
    for (const DavResponse& r : answer.responses) {
        const QString href = Canonical(r.href, url);
        if (href.isEmpty())
            continue;
        if (SamePath(href, bookPath_)) {
            if (r.status == 0 && !r.isAddressBook)
                throw EDavError(
                    Kind::NotAddressBook,
                    QStringLiteral("%1 is not a CardDAV address book.").arg(Shown(book_)));
        } else if (r.status == 0 && !r.isCollection) {
            etags.insert(href, r.etag);
        }
    }
    return etags;
}

QList<DavCard> TDavClient::Multiget(const QStringList& hrefs, QList<DavSkippedCard>* skipped) {
    NeedBook();
    QList<DavCard> cards;
    for (int from = 0; from < hrefs.size(); from += kMultigetBatch)
        MultigetPart(hrefs.mid(from, kMultigetBatch), cards, skipped);
    return cards;
}

void TDavClient::MultigetPart(const QStringList& hrefs, QList<DavCard>& cards,
                              QList<DavSkippedCard>* skipped) {
    QByteArray content = "<D:prop><D:getetag/><C:address-data/></D:prop>";
    for (const QString& href : hrefs)
        content += "<D:href>" + XmlText(href) + "</D:href>";
    Reply reply;
    try {
        reply = Send("REPORT", book_, XmlBody("C:addressbook-multiget", content),
                     {{"Depth", "1"}, {"Content-Type", kXmlType}});
        for (const DavResponse& r : Read("REPORT", reply).responses) {
            const QString href = Canonical(r.href, reply.url);
            if (!href.isEmpty() && r.status == 0 && r.hasAddressData)
                cards << DavCard{href, r.etag, r.addressData};
        }
        return;
    } catch (const EDavError& e) {
        if (e.Failure() != Kind::TooLarge)
            throw;
    }
    // One card too large would otherwise keep every other card of its batch out.
    if (hrefs.size() > 1) {
        MultigetPart(hrefs.mid(0, hrefs.size() / 2), cards, skipped);
        MultigetPart(hrefs.mid(hrefs.size() / 2), cards, skipped);
        return;
    }
    DavSkippedCard card;
    card.href = hrefs.front();
    card.name = CardName(reply.body.isEmpty() ? refusedHead_ : reply.body.left(kRefusedHeadBytes));
    const QString shown =
        card.name.isEmpty() ? card.href : QStringLiteral("\"%1\" (%2)").arg(card.name, card.href);
    card.reason = QStringLiteral("The card %1 on the server at %2 is larger than %3 MiB, more "
                                 "than this program accepts.")
                      .arg(shown, Origin())
                      .arg(MultistatusLimits().maxAddressData / (1024 * 1024));
    if (!skipped)
        throw EDavError(Kind::TooLarge, card.reason);
    skipped->append(card);
}

QString TDavClient::Put(const QString& href, const QByteArray& vcard,
                        const QPair<QByteArray, QByteArray>& condition,
                        const QString& preconditionMessage) {
    NeedBook();
    const QString path = Canonical(href, book_);
    if (path.isEmpty())
        throw EDavError(Kind::Server,
                        QStringLiteral("%1 is not on the server at %2.").arg(href, Origin()));
    QUrl url = UrlOf(path);
    const Reply reply =
        Send("PUT", url, vcard, {condition, {"Content-Type", "text/vcard; charset=utf-8"}});
    if (reply.status < 200 || reply.status >= 300)
        Refuse("PUT", reply, preconditionMessage);
    // A weak ETag says the server stored something else than was sent: ask for the real one.
    if (!reply.etag.isEmpty() && !reply.etag.startsWith("W/"))
        return QString::fromLatin1(reply.etag);
    const Multistatus answer = Propfind(url, 0, "<D:getetag/>");
    const DavResponse* self = SelfOf(answer, url);
    if (!self || self->etag.isEmpty())
        throw EDavError(
            Kind::Malformed,
            QStringLiteral("The server at %1 gives no ETag for %2.").arg(Origin(), path));
    return self->etag;
}

QString TDavClient::PutNew(const QString& href, const QByteArray& vcard) {
    return Put(href, vcard, {"If-None-Match", "*"},
               QStringLiteral("There is a card at %1 on the server already.").arg(href));
}

QString TDavClient::PutChanged(const QString& href, const QByteArray& vcard, const QString& etag) {
    return Put(href, vcard, {"If-Match", etag.isEmpty() ? QByteArray("*") : etag.toLatin1()},
               QStringLiteral("The card at %1 was changed or removed on the server since it was "
                              "last read.")
                   .arg(href));
}

void TDavClient::Delete(const QString& href, const QString& etag) {
    NeedBook();
    const QString path = Canonical(href, book_);
    if (path.isEmpty())
        throw EDavError(Kind::Server,
                        QStringLiteral("%1 is not on the server at %2.").arg(href, Origin()));
    const Reply reply = Send("DELETE", UrlOf(path), {},
                             {{"If-Match", etag.isEmpty() ? QByteArray("*") : etag.toLatin1()}});
    if (reply.status == 404 || reply.status == 410 || (reply.status >= 200 && reply.status < 300))
        return;
    Refuse("DELETE", reply,
           QStringLiteral("The card at %1 was changed on the server since it was last read.")
               .arg(href));
}

QString TDavClient::NewHref(const QString& uid) const {
    NeedBook();
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]{0,99}$"));
    const QString name = safe.match(uid).hasMatch()
                             ? uid
                             : QStringLiteral("vc-") +
                                   QString::fromLatin1(QCryptographicHash::hash(
                                                           uid.toUtf8(), QCryptographicHash::Sha256)
                                                           .toHex()
                                                           .left(40));
    return bookPath_ + name + QStringLiteral(".vcf");
}

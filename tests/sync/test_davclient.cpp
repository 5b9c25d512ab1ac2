// The CardDAV client against a real radicale, and against a stub for the faults a real server
// does not make on request.

#include "sync/DavClient.h"
#include "sync/Multistatus.h"
#include "tests/common/DavServers.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

using Kind = EDavError::Kind;
Q_DECLARE_METATYPE(EDavError::Kind)

namespace {

QByteArray Card(const QString& uid, const QString& name) {
    return QString("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:%2\r\nN:%2;;;;\r\nEND:VCARD\r\n")
        .arg(uid, name)
        .toUtf8();
}

QString Origin(const QUrl& url) {
    return url.adjusted(QUrl::RemovePath).toString();
}

// The parts of a 207 answer: a response with properties or with a status of its own.
QByteArray Found(const QString& href, const QByteArray& props) {
    return "<D:response><D:href>" + href.toUtf8() + "</D:href><D:propstat><D:prop>" + props +
           "</D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>";
}
QByteArray Status(const QString& href, const QByteArray& status) {
    return "<D:response><D:href>" + href.toUtf8() + "</D:href><D:status>HTTP/1.1 " + status +
           "</D:status></D:response>";
}
QByteArray Multi(const QByteArray& responses, const QByteArray& headers = {}) {
    return StubServer::Answer("207 Multi-Status",
                              "<D:multistatus xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:"
                              "carddav\">" +
                                  responses + "</D:multistatus>",
                              headers);
}
QByteArray Fetched(const QString& href, const QByteArray& card) {
    return Found(href, "<D:getetag>\"1\"</D:getetag><C:address-data>" + card + "</C:address-data>");
}
std::unique_ptr<TDavClient> OnStub(const StubServer& stub) {
    auto client = std::make_unique<TDavClient>(stub.url(), "user", "secret");
    client->UseBook(stub.url("/b/"));
    return client;
}

// A 207 answer of `total` bytes in 1 MiB chunks, made as it goes and sent from a thread of its
// own as fast as the client takes it; `sent` counts what left for the client.
class ChunkedStub {
public:
    explicit ChunkedStub(qint64 total) : thread_([this, total] { Run(total); }) {
        port_ = ready_.get_future().get();
    }
    ~ChunkedStub() { thread_.join(); }
    QUrl url() const { return QUrl(QString("http://127.0.0.1:%1/").arg(port_)); }
    std::atomic<qint64> sent{0};

private:
    void Run(qint64 total) {
        QTcpServer server;
        ready_.set_value(server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0);
        if (!server.waitForNewConnection(30000))
            return;
        const std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
        socket->waitForReadyRead(30000);
        socket->write("HTTP/1.1 207 Multi-Status\r\nTransfer-Encoding: chunked\r\n\r\n");
        const QByteArray chunk = "100000\r\n" + QByteArray(1 << 20, 'x') + "\r\n";
        for (; sent < total; sent += 1 << 20) {
            socket->write(chunk);
            while (socket->bytesToWrite() > 0)
                if (!socket->waitForBytesWritten(30000))
                    return;
        }
        socket->write("0\r\n\r\n");
        socket->waitForBytesWritten(30000);
    }
    std::promise<quint16> ready_;
    quint16 port_ = 0;
    std::thread thread_;
};

} // namespace

class TestDavClient : public QObject {
    Q_OBJECT
    std::unique_ptr<RadicaleServer> server_;

    std::unique_ptr<TDavClient> OnBook(const QString& path) {
        auto client = std::make_unique<TDavClient>(server_->url(), "user", "secret");
        client->UseBook(server_->url(path));
        return client;
    }

private slots:
    void initTestCase() {
        server_ = std::make_unique<RadicaleServer>();
        QVERIFY2(server_->error().isEmpty(), qPrintable(server_->error()));
        // Beside the book: a calendar that sorts before it, a second book after it.
        QVERIFY(server_->makeCollection("/user/a-calendar/", false));
        QVERIFY(server_->makeCollection("/user/work/"));
    }

    void discovers_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("book");
        QTest::newRow("server root") << "/"
                                     << "/user/contacts/";
        QTest::newRow("principal") << "/user/"
                                   << "/user/contacts/";
        QTest::newRow("book") << "/user/contacts/"
                              << "/user/contacts/";
        QTest::newRow("book without the slash") << "/user/work"
                                                << "/user/work/";
    }
    void discovers() {
        QFETCH(QString, path);
        QFETCH(QString, book);
        TDavClient client(server_->url(path), "user", "secret");
        const TDavClient::Book found = client.Discover();
        QCOMPARE(found.url, server_->url(book));
        QCOMPARE(client.BookUrl(), server_->url(book));
        QVERIFY(found.syncCollection);
        QVERIFY(client.NewHref("x").startsWith(book));
    }

    // Each write with the card as another client left it: there, changed, or removed.
    void writesOnlyOverWhatItRead_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("meanwhile"); // "", "absent", "changed", "removed"
        QTest::addColumn<bool>("refused");
        QTest::newRow("new") << "new"
                             << "absent" << false;
        QTest::newRow("new over a card") << "new"
                                         << "" << true;
        QTest::newRow("changed") << "changed"
                                 << "" << false;
        QTest::newRow("changed, changed meanwhile") << "changed"
                                                    << "changed" << true;
        QTest::newRow("changed, removed meanwhile") << "changed"
                                                    << "removed" << true;
        QTest::newRow("deleted") << "delete"
                                 << "" << false;
        QTest::newRow("deleted, changed meanwhile") << "delete"
                                                    << "changed" << true;
        QTest::newRow("deleted, removed meanwhile") << "delete"
                                                    << "removed" << false;
    }
    void writesOnlyOverWhatItRead() {
        QFETCH(QString, op);
        QFETCH(QString, meanwhile);
        QFETCH(bool, refused);
        const auto client = OnBook("/user/contacts/"), other = OnBook("/user/contacts/");
        // A comma would make the UID a list.
        const QString uid = QString(QTest::currentDataTag()).remove(','),
                      href = client->NewHref(uid);
        QString etag;
        if (meanwhile != "absent") {
            etag = other->PutNew(href, Card(uid, "First"));
            if (meanwhile == "changed")
                other->PutChanged(href, Card(uid, "Other"), etag);
            if (meanwhile == "removed")
                other->Delete(href, etag);
        }
        const QMap<QString, QString> before = client->ListEtags();
        const QByteArray mine = Card(uid, "Mine");
        QString written;
        try {
            if (op == "new")
                written = client->PutNew(href, mine);
            else if (op == "changed")
                written = client->PutChanged(href, mine, etag);
            else
                client->Delete(href, etag);
            QVERIFY(!refused);
        } catch (const EDavError& e) {
            QVERIFY2(refused, e.what());
            QCOMPARE(e.Failure(), Kind::PreconditionFailed);
        }
        const QMap<QString, QString> after = client->ListEtags();
        if (refused || op == "delete") {
            QCOMPARE(after.value(href), refused ? before.value(href) : QString());
        } else {
            QVERIFY(written.startsWith('"') && written != etag);
            QCOMPARE(after.value(href), written);
            const QList<DavCard> cards = client->Multiget({href});
            QCOMPARE(cards.size(), 1);
            QCOMPARE(cards[0].etag, written);
            QVERIFY(cards[0].vcard.contains("FN:Mine"));
        }
    }

    // A card another client stored under an href spelled in any of the ways HTTP allows has one
    // href here, whichever call names it, and that href reaches the card.
    void oddHrefsStayOneString_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("space") << "a%20b.vcf";
        QTest::newRow("at and plus") << "a@b+c.vcf";
        QTest::newRow("at and plus, encoded") << "d%40e%2bf.vcf";
        QTest::newRow("non-ASCII") << "%C3%BC.vcf";
        QTest::newRow("quote and semicolon") << "g'h%3Bi.vcf";
    }
    void oddHrefsStayOneString() {
        QFETCH(QString, name);
        const auto client = OnBook("/user/contacts/");
        const QString token = client->SyncCollection("").value().token;
        QCOMPARE(server_->request("PUT", "/user/contacts/" + name, Card(name, "Odd"), "text/vcard"),
                 201);
        const auto changes = client->SyncCollection(token).value().changed;
        QCOMPARE(changes.size(), 1);
        const QString href = changes[0].first;
        QVERIFY(client->ListEtags().contains(href));
        const QList<DavCard> cards = client->Multiget({href});
        QCOMPARE(cards.size(), 1);
        QCOMPARE(cards[0].href, href);
        client->Delete(href, client->PutChanged(href, Card(name, "Changed"), cards[0].etag));
        QVERIFY(!client->ListEtags().contains(href));
    }

    void syncCollectionFollowsChanges() {
        QVERIFY(server_->makeCollection("/user/sync/"));
        const auto client = OnBook("/user/sync/");
        const QString b = client->NewHref("b"), c = client->NewHref("c"), a = client->NewHref("a");
        const QString bTag = client->PutNew(b, Card("b", "B")),
                      cTag = client->PutNew(c, Card("c", "C"));
        const std::optional<DavChanges> all = client->SyncCollection("");
        QVERIFY(all);
        QCOMPARE(all->changed, (QList<QPair<QString, QString>>{{b, bTag}, {c, cTag}}));
        QVERIFY(all->removed.isEmpty());
        const QString aTag = client->PutNew(a, Card("a", "A"));
        const QString bTag2 = client->PutChanged(b, Card("b", "B2"), bTag);
        client->Delete(c, cTag);
        const std::optional<DavChanges> since = client->SyncCollection(all->token);
        QVERIFY(since);
        QCOMPARE(since->changed, (QList<QPair<QString, QString>>{{a, aTag}, {b, bTag2}}));
        QCOMPARE(since->removed, QStringList{c});
        const std::optional<DavChanges> none = client->SyncCollection(since->token);
        QVERIFY(none && none->changed.isEmpty() && none->removed.isEmpty());
        QVERIFY(!client->SyncCollection("http://radicale.org/ns/sync/" + QString(64, 'f')));
        QVERIFY(!client->SyncCollection("not a token"));
    }

    void listsAndFetchesManyCards() {
        QByteArray all;
        for (int i = 0; i < TDavClient::kMultigetBatch + 1; ++i)
            all += Card(QString("many-%1").arg(i), QString("Card %1").arg(i));
        // radicale makes an address book of a PUT of the whole collection.
        QCOMPARE(server_->request("PUT", "/user/many/", all, "text/vcard"), 201);
        const auto client = OnBook("/user/many/");
        const QMap<QString, QString> etags = client->ListEtags();
        QCOMPARE(etags.size(), TDavClient::kMultigetBatch + 1);
        const QList<DavCard> cards = client->Multiget(etags.keys() << "/user/many/gone.vcf");
        QMap<QString, QString> fetched;
        QSet<QByteArray> uids;
        for (const DavCard& card : cards) {
            fetched.insert(card.href, card.etag);
            uids << card.vcard.mid(card.vcard.indexOf("UID:")).split('\r').front();
        }
        QCOMPARE(fetched, etags);
        QCOMPARE(uids.size(), etags.size());
    }

    // Refused as it arrives, not read to its end (the kernel's buffers on both sides hold
    // less than the 60 MiB above the bound).
    void boundsAStreamedAnswer() {
        const qint64 total = 100 * 1000 * 1000;
        ChunkedStub stub(total);
        try {
            TDavClient(stub.url(), "user", "secret").Discover();
            QFAIL("no error");
        } catch (const EDavError& e) {
            QCOMPARE(e.Failure(), Kind::TooLarge);
        }
        QVERIFY2(stub.sent < total, qPrintable(QString("%1 bytes sent").arg(stub.sent)));
    }

    // A card too large for the client costs the sync that card alone.
    void skipsACardTooLarge_data() {
        QTest::addColumn<QByteArray>("big"); // the answer to a request that names it
        QTest::addColumn<QString>("name");
        const QByteArray card = Card("big", "Big\\, Card");
        const QByteArray announced = "Content-Length: 40000000\r\n";
        QTest::newRow("announced, named early")
            << Multi(Fetched("/b/big.vcf", card), announced) << "Big, Card";
        QTest::newRow("announced, named late")
            << Multi(Fetched("/b/big.vcf",
                             QByteArray(card).replace("FN:", "NOTE:" + QByteArray(20000, 'n') +
                                                                 "\r\nFN:")),
                     announced)
            << "";
        QTest::newRow("beyond the reader's bound")
            << Multi(Fetched("/b/big.vcf",
                             QByteArray(card).replace("END:", "NOTE:" + QByteArray(17 << 20, 'n') +
                                                                  "\r\nEND:")))
            << "Big, Card";
    }
    void skipsACardTooLarge() {
        QFETCH(QByteArray, big);
        QFETCH(QString, name);
        StubServer stub({});
        stub.respond = [&](const QByteArray& request) {
            if (request.contains("big.vcf"))
                return big;
            QByteArray found;
            static const QRegularExpression href("<D:href>([^<]*)</D:href>");
            for (auto m = href.globalMatch(request); m.hasNext();) {
                const QString each = m.next().captured(1);
                found += Fetched(each, Card(each, each));
            }
            return Multi(found);
        };
        const auto client = OnStub(stub);
        QList<DavSkippedCard> skipped;
        QStringList hrefs;
        for (const DavCard& card :
             client->Multiget({"/b/a.vcf", "/b/big.vcf", "/b/c.vcf", "/b/d.vcf"}, &skipped))
            hrefs << card.href;
        QCOMPARE(hrefs, (QStringList{"/b/a.vcf", "/b/c.vcf", "/b/d.vcf"}));
        QCOMPARE(skipped.size(), 1);
        QCOMPARE(skipped[0].href, "/b/big.vcf");
        QCOMPARE(skipped[0].name, name);
        const QString shown = name.isEmpty() ? "/b/big.vcf" : '"' + name + "\" (/b/big.vcf)";
        QCOMPARE(skipped[0].reason, "The card " + shown + " on the server at " +
                                        Origin(stub.url()) +
                                        " is larger than 16 MiB, more than this program accepts.");
        try {
            client->Multiget({"/b/big.vcf"});
            QFAIL("no error");
        } catch (const EDavError& e) {
            QCOMPARE(e.Message(), skipped[0].reason);
        }
    }

    void takesTheStrongEtagAfterAPut() {
        StubServer stub({});
        stub.respond = [](const QByteArray& request) {
            return request.startsWith("PUT")
                       ? StubServer::Answer("201 Created", "", "ETag: W/\"weak\"\r\n")
                       : Multi(Found("/b/x.vcf", "<D:getetag>\"strong\"</D:getetag>"));
        };
        QCOMPARE(OnStub(stub)->PutNew("/b/x.vcf", Card("x", "X")), "\"strong\"");
    }

    // The second part is asked for with the first part's token.
    void followsChangesInParts() {
        StubServer stub({});
        stub.respond = [](const QByteArray& request) {
            return request.contains("<D:sync-token>1</D:sync-token>")
                       ? Multi(Found("/b/b.vcf", "<D:getetag>\"b\"</D:getetag>") +
                               Status("/b/a.vcf", "404 Gone") + "<D:sync-token>2</D:sync-token>")
                       : Multi(Status("/b/", "507 More") +
                               Found("/b/a.vcf", "<D:getetag>\"a\"</D:getetag>") +
                               Found("/b/c.vcf", "<D:getetag>\"c\"</D:getetag>") +
                               "<D:sync-token>1</D:sync-token>");
        };
        const std::optional<DavChanges> changes = OnStub(stub)->SyncCollection("0");
        QVERIFY(changes);
        QCOMPARE(changes->changed,
                 (QList<QPair<QString, QString>>{{"/b/b.vcf", "\"b\""}, {"/b/c.vcf", "\"c\""}}));
        QCOMPARE(changes->removed, QStringList{"/b/a.vcf"});
        QCOMPARE(changes->token, "2");
    }

    void leavesOutCardsOfOtherServers_data() {
        QTest::addColumn<QString>("call");
        QTest::newRow("sync-collection") << "sync";
        QTest::newRow("ETag listing") << "etags";
        QTest::newRow("multiget") << "multiget";
    }
    void leavesOutCardsOfOtherServers() {
        QFETCH(QString, call);
        const StubServer stub(
            Multi(Found("/b/", "<D:resourcetype><D:collection/><C:addressbook/></D:resourcetype>") +
                  Fetched("/b/a.vcf", Card("a", "A")) +
                  Fetched("http://elsewhere.example/b/x.vcf", Card("x", "X")) +
                  "<D:sync-token>1</D:sync-token>"));
        const auto client = OnStub(stub);
        QStringList hrefs = call == "etags" ? client->ListEtags().keys() : QStringList();
        const auto changes = call == "sync" ? client->SyncCollection("0")->changed
                                            : QList<QPair<QString, QString>>();
        const auto cards =
            call == "multiget" ? client->Multiget({"/b/a.vcf", "/b/x.vcf"}) : QList<DavCard>();
        for (const auto& change : changes)
            hrefs << change.first;
        for (const DavCard& card : cards)
            hrefs << card.href;
        QCOMPARE(hrefs, QStringList{"/b/a.vcf"});
    }

    // The bound on a text holds for the whole of it, however many pieces the reader hands out.
    void boundsAWholeText_data() {
        QTest::addColumn<QByteArray>("href");
        QTest::addColumn<bool>("refused");
        QTest::newRow("within") << QByteArray("<![CDATA[/b/aaaaaa]]>").repeated(6) << false;
        QTest::newRow("CDATA pieces") << QByteArray("<![CDATA[/b/aaaaaa]]>").repeated(10) << true;
        QTest::newRow("between comments") << QByteArray("/b/aaaa&amp;<!---->").repeated(10) << true;
    }
    void boundsAWholeText() {
        QFETCH(QByteArray, href);
        QFETCH(bool, refused);
        MultistatusLimits limits;
        limits.maxText = 64;
        const Multistatus answer = ParseMultistatus(
            Multi(Status(href, "404 No")).mid(Multi({}).indexOf("<D:multistatus")), limits);
        QCOMPARE(answer.error.isEmpty(), !refused);
    }

    // In the messages, %1 stands for the server's origin.
    void faultsHaveAKindAndAMessage_data() {
        QTest::addColumn<QByteArray>("answer"); // of the stub; none: radicale
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("password");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("message");
        const QByteArray broken = "<D:multistatus xmlns:D=\"DAV:\"><D:response></D:multistatus>";
        const QByteArray laughs =
            "<?xml version=\"1.0\"?><!DOCTYPE m [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
            "\"&a;&a;&a;&a;&a;&a;&a;&a;\">]><D:multistatus xmlns:D=\"DAV:\">&b;</D:multistatus>";
        const QByteArray huge(TDavClient::kMaxAnswerBytes + 1, ' ');
        QTest::newRow("wrong password")
            << QByteArray() << "/"
            << "wrong" << Kind::Unauthorized << "The server refused the user name or password.";
        QTest::newRow("server stopped")
            << QByteArray("stop") << "/"
            << "secret" << Kind::Unreachable
            << "The server at %1 cannot be reached: Connection refused.";
        QTest::newRow("calendar") << QByteArray() << "/user/a-calendar/"
                                  << "secret" << Kind::NotAddressBook
                                  << "%1/user/a-calendar/ is not a CardDAV address book.";
        QTest::newRow("web page")
            << StubServer::Answer("200 OK", "<html></html>", "Content-Type: text/html\r\n") << "/"
            << "secret" << Kind::NotAddressBook
            << "%1/ is not a CardDAV address book, and the server names no address book for user "
               "there.";
        // An address book only in a 404 propstat, or in elements of other namespaces.
        QTest::newRow("a book it does not have")
            << StubServer::Answer(
                   "207 Multi-Status",
                   "<multistatus xmlns='DAV:' xmlns:C='urn:ietf:params:xml:ns:carddav'"
                   " xmlns:o='urn:o'><response><href>/</href><propstat><prop>"
                   "<resourcetype><o:addressbook/></resourcetype><C:resourcetype>"
                   "<C:addressbook/></C:resourcetype></prop><status>"
                   "HTTP/1.1 200 OK</status></propstat><propstat><prop><resourcetype>"
                   "<C:addressbook/></resourcetype></prop><status>HTTP/1.1 404 No"
                   "</status></propstat></response></multistatus>")
            << "/"
            << "secret" << Kind::NotAddressBook
            << "%1/ is not a CardDAV address book, and the server names no address book for user "
               "there.";
        QTest::newRow("cut off")
            << StubServer::Answer("207 Multi-Status", broken, "Content-Length: 5000\r\n") << "/"
            << "secret" << Kind::Unreachable
            << "The server at %1 broke off its answer to PROPFIND /. Try again; if it keeps "
               "happening, the server or the network is at fault.";
        QTest::newRow("malformed XML")
            << StubServer::Answer("207 Multi-Status", broken) << "/"
            << "secret" << Kind::Malformed
            << "The server at %1 sent an answer to PROPFIND / that cannot be read: Opening and "
               "ending tag mismatch (line 1, column 58).";
        QTest::newRow("entities") << StubServer::Answer("207 Multi-Status", laughs) << "/"
                                  << "secret" << Kind::Malformed
                                  << "The server at %1 sent an answer to PROPFIND / that cannot be "
                                     "read: it declares a document type, which is not accepted "
                                     "(line 1, column 98).";
        const QString tooLarge = "The answer of the server at %1 to PROPFIND / is larger than 32 "
                                 "MiB, more than this program accepts.";
        QTest::newRow("too large, announced")
            << StubServer::Answer("207 Multi-Status", "<", "Content-Length: 40000000\r\n") << "/"
            << "secret" << Kind::TooLarge << tooLarge;
        QTest::newRow("too large, streamed")
            << StubServer::Answer("207 Multi-Status",
                                  QByteArray::number(huge.size(), 16) + "\r\n" + huge +
                                      "\r\n0\r\n\r\n",
                                  "Transfer-Encoding: chunked\r\n")
            << "/"
            << "secret" << Kind::TooLarge << tooLarge;
        QTest::newRow("redirect to another server")
            << StubServer::Answer("301 Moved", "", "Location: %2/book/\r\n") << "/"
            << "secret" << Kind::Server
            << "The server at %1 sends %1/ on to %2/book/, another server, where this program "
               "does not send your password. If you trust that server, enter its address instead.";
        QTest::newRow("server error")
            << StubServer::Answer("500 Internal Server Error", "") << "/"
            << "secret" << Kind::Server
            << "The server at %1 answered PROPFIND / with 500 Internal Server Error.";
    }
    void faultsHaveAKindAndAMessage() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, path);
        QFETCH(QString, password);
        QFETCH(Kind, kind);
        QFETCH(QString, message);
        StubServer other({}), stub({});
        std::unique_ptr<RadicaleServer> stopped;
        QUrl url = server_->url(path);
        if (answer == "stop") {
            stopped = std::make_unique<RadicaleServer>();
            stopped->stop();
            url = stopped->url(path);
        } else if (!answer.isEmpty()) {
            stub.answer = answer.replace("%2", Origin(other.url()).toUtf8());
            url = stub.url(path);
        }
        TDavClient client(url, "user", password);
        try {
            client.Discover();
            QFAIL("no error");
        } catch (const EDavError& e) {
            QCOMPARE(e.Message(),
                     message.replace("%1", Origin(url)).replace("%2", Origin(other.url())));
            QCOMPARE(e.Failure(), kind);
        }
        QVERIFY(other.requests.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDavClient)
#include "test_davclient.moc"

#include "bench/SyncBench.h"

#include "interchange/ContactCards.h"
#include "interchange/SyncCards.h"
#include "storage/SQLiteTable3.h"
#include "storage/SyncStore.h"
#include "sync/DavClient.h"
#include "sync/Synchronizer.h"
#include "tests/common/DavServers.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <chrono>
#include <cstdio>

namespace fs = std::filesystem;

namespace {

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The least a client can do: one request after another through Qt's HTTP client, which keeps
// one connection while the server does (radicale closes it after each answer), and the status
// of each answer checked; no parsing, no book.
class MinimalClient {
public:
    MinimalClient(QUrl origin, const QString& user, const QString& password)
        : origin_(std::move(origin)),
          auth_("Basic " + (user + ":" + password).toUtf8().toBase64()) {}
    bool Send(const QByteArray& verb, const QByteArray& path, const QByteArray& body,
              const QList<QPair<QByteArray, QByteArray>>& headers, int wantedStatus) {
        QUrl url = origin_;
        url.setPath(QString::fromUtf8(path));
        QNetworkRequest request(url);
        request.setRawHeader("Authorization", auth_);
        for (const auto& [name, value] : headers)
            request.setRawHeader(name, value);
        QNetworkReply* reply = network_.sendCustomRequest(request, verb, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        reply->readAll();
        delete reply;
        return status == wantedStatus;
    }

private:
    QUrl origin_;
    QByteArray auth_;
    QNetworkAccessManager network_;
};

struct Figure {
    double ms = 0;
    double floorMs = 0;
    bool ok = true;
};

// An empty book beside the given one: its table without a row.
void EmptyCopy(const fs::path& from, const fs::path& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    TSQLiteDatabase db(to.string());
    db.RunStatement("DELETE FROM Customers;");
}

} // namespace

int RunSyncBench(const fs::path& booksDir, const std::vector<int>& sizes) {
    int argc = 1;
    char name[] = "vellicard_bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    bool ok = true;
    std::printf("\n==== Sync with a local server: milliseconds, ratio to the floor (the same "
                "requests from a\n     minimal client over one connection) ====\n");
    for (const char* serverName : {"radicale", "xandikos"})
    for (int size : sizes) {
        const fs::path book = booksDir / std::to_string(size) / "QuorvaSoftWare" / "Vellicard2" /
                              "Vellicard.db";
        const fs::path work = fs::temp_directory_path() / ("vellicard-syncbench-" + std::to_string(size));
        fs::remove_all(work);
        fs::create_directories(work);
        const fs::path full = work / "full.db", empty = work / "empty.db";
        fs::copy_file(book, full);
        EmptyCopy(book, empty);

        Figure up, down, one;
        const std::unique_ptr<DavTestServer> started = StartDavServer(serverName);
        DavTestServer& server = *started;
        if (!server.error().isEmpty()) {
            std::printf("%s did not start: %s\n", serverName, qPrintable(server.error()));
            return 1;
        }
        // The program: the full book into the empty address book, then from there into an
        // empty book, then one change.
        try {
            auto start = std::chrono::steady_clock::now();
            {
                TDavClient client(server.url("/"), server.user(), server.password());
                SyncAddressBook(client, full.string());
            }
            up.ms = MsSince(start);
            start = std::chrono::steady_clock::now();
            {
                TDavClient client(server.url("/"), server.user(), server.password());
                SyncAddressBook(client, empty.string());
            }
            down.ms = MsSince(start);
            {
                TSQLiteDatabase db(full.string());
                db.RunStatement("UPDATE Customers SET dbCustNotes='changed' WHERE rowid=(SELECT "
                                "max(rowid) FROM Customers);");
            }
            start = std::chrono::steady_clock::now();
            {
                TDavClient client(server.url("/"), server.user(), server.password());
                const SyncSummary s = SyncAddressBook(client, full.string());
                one.ok = s.sent == 1;
            }
            one.ms = MsSince(start);
        } catch (const std::exception& e) {
            std::printf("sync failed: %s\n", e.what());
            return 1;
        }

        // The floor: the same cards PUT into a second address book, then the same reads.
        // Beside the program's book, where each server keeps its books.
        QString collection = server.bookPath().section('/', 0, -3) + "/floor/";
        server.makeCollection(collection);
        std::vector<QByteArray> paths, bodies;
        for (const LocalContact& c : TSyncStore(full.string()).LocalContacts())
            for (const PersonCard& card : CardsOfContact(c.values, {})) {
                paths.push_back((collection + QString::fromStdString(card.uid).mid(9) + ".vcf").toUtf8());
                bodies.push_back(QByteArray::fromStdString(card.content));
            }
        {
            MinimalClient client(server.url("/"), server.user(), server.password());
            auto start = std::chrono::steady_clock::now();
            for (std::size_t i = 0; i < paths.size(); ++i)
                up.ok = client.Send("PUT", paths[i], bodies[i],
                                    {{"Content-Type", "text/vcard"}, {"If-None-Match", "*"}},
                                    201) &&
                        up.ok;
            up.floorMs = MsSince(start);
            start = std::chrono::steady_clock::now();
            const QByteArray report =
                "<?xml version=\"1.0\"?><D:sync-collection xmlns:D=\"DAV:\"><D:sync-token/>"
                "<D:sync-level>1</D:sync-level><D:prop><D:getetag/></D:prop></D:sync-collection>";
            down.ok = client.Send("REPORT", collection.toUtf8(), report,
                                  {{"Content-Type", "application/xml"}}, 207);
            for (std::size_t i = 0; i < paths.size(); i += 100) {
                QByteArray multiget =
                    "<?xml version=\"1.0\"?><C:addressbook-multiget xmlns:D=\"DAV:\" "
                    "xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><D:prop><D:getetag/>"
                    "<C:address-data/></D:prop>";
                for (std::size_t k = i; k < paths.size() && k < i + 100; ++k)
                    multiget += "<D:href>" + paths[k] + "</D:href>";
                multiget += "</C:addressbook-multiget>";
                down.ok = client.Send("REPORT", collection.toUtf8(), multiget,
                                      {{"Content-Type", "application/xml"}, {"Depth", "1"}},
                                      207) &&
                          down.ok;
            }
            down.floorMs = MsSince(start);
        }
        std::printf("\n%s, %d contacts, %zu cards\n", serverName, size, paths.size());
        std::printf("  %-52s %10s %10s %7s   goal\n", "figure", "ms", "floor ms", "ratio");
        const auto row = [&](const char* label, const Figure& f, const char* goal, bool met) {
            std::printf("  %-52s %10.0f %10.0f %7.2f   %s %s%s\n", label, f.ms, f.floorMs,
                        f.floorMs > 0 ? f.ms / f.floorMs : 0.0, goal, met ? "met" : "NOT met",
                        f.ok ? "" : " (requests failed)");
            ok = ok && f.ok;
        };
        row("first sync of the full book, empty address book", up, "<= 1.5 x floor",
            up.ms <= 1.5 * up.floorMs);
        row("first sync of an empty book, full address book", down, "<= 1.5 x floor",
            down.ms <= 1.5 * down.floorMs);
        std::printf("  %-52s %10.0f %10s %7s   < 500 ms %s%s\n", "a sync with one change", one.ms,
                    "", "", one.ms < 500 ? "met" : "NOT met", one.ok ? "" : " (not sent)");
        ok = ok && one.ok;
        std::fflush(stdout);
        fs::remove_all(work);
    }
    return ok ? 0 : 1;
}

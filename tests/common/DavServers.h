#pragma once

// Servers for the CardDAV client's tests, on loopback ports of their own: Debian's radicale with
// a temporary storage folder and one htpasswd user, and a stub that answers as the test says,
// for the faults a real server does not make on request.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>

class RadicaleServer {
public:
    // Starts radicale for the user, with an empty address book at /<user>/contacts/. error()
    // tells why when it did not start.
    explicit RadicaleServer(const QString& user = "user", const QString& password = "secret",
                            bool tls = false);
    ~RadicaleServer(); // stops it
    RadicaleServer(const RadicaleServer&) = delete;
    RadicaleServer& operator=(const RadicaleServer&) = delete;

    QString error() const { return error_; }
    QUrl url(const QString& path = "/") const;
    QString user() const { return user_; }
    QString password() const { return password_; }
    QString certificatePath() const { return dir_.filePath("cert.pem"); }
    // One request as the user, to set up what a test needs: the status, or 0 without answer.
    int request(const QByteArray& verb, const QString& path, const QByteArray& body = {},
                const QByteArray& contentType = {});
    // The folder of the collection at path (as "/user/contacts/") in radicale's storage, where a
    // test may put many cards as files at once instead of one request each.
    QString collectionFolder(const QString& path) const {
        return dir_.filePath("collections/collection-root" + path);
    }
    // Makes an address book (or a calendar) at path.
    bool makeCollection(const QString& path, bool addressBook = true);
    // Ends the process (by its pid) and waits for its end.
    void stop();
    QByteArray log();

private:
    bool start(int port);

    QString user_, password_;
    QTemporaryDir dir_;
    QProcess process_;
    QByteArray log_;
    int port_ = 0;
    QString error_;
    bool tls_ = false;
};

class StubServer {
public:
    // Answers every request with answer (or what respond makes of the request, when set), then
    // closes the connection.
    explicit StubServer(const QByteArray& answer);
    QUrl url(const QString& path = "/") const;
    QByteArray answer;
    std::function<QByteArray(const QByteArray& request)> respond;
    QList<QByteArray> requests; // head and body of each, as received

    // A whole HTTP answer: status line, headers, Content-Length (unless given), body.
    static QByteArray Answer(const QByteArray& status, const QByteArray& body,
                             const QByteArray& headers = {});

private:
    QTcpServer server_;
};

// A loopback port nobody listens on at the moment.
int FreePort();

#pragma once

// Servers for the CardDAV client's tests, on loopback ports of their own: Debian's radicale with
// a temporary storage folder and one htpasswd user, Debian's xandikos (which checks no password)
// with a temporary folder of its own, and a stub that answers as the test says, for the faults a
// real server does not make on request.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>
#include <memory>

// A CardDAV server a test starts: what a test may do with it whichever server it is.
class DavTestServer {
public:
    virtual ~DavTestServer(); // stops it
    DavTestServer(const DavTestServer&) = delete;
    DavTestServer& operator=(const DavTestServer&) = delete;

    // "radicale" or "xandikos".
    virtual QString name() const = 0;
    // Why it did not start; empty when it runs.
    QString error() const { return error_; }
    virtual QUrl url(const QString& path = "/") const;
    QString user() const { return user_; }
    QString password() const { return password_; }
    // Whether a wrong password is refused (xandikos takes any).
    virtual bool checksPasswords() const = 0;
    // The empty address book it starts with, as "/user/contacts/".
    virtual QString bookPath() const = 0;
    // One request as the user, to set up what a test needs: the status, or 0 without answer.
    int request(const QByteArray& verb, const QString& path, const QByteArray& body = {},
                const QByteArray& contentType = {});
    // Makes an address book (or a calendar) at path.
    bool makeCollection(const QString& path, bool addressBook = true);
    // The folder of the collection at path in the server's storage, where a test may put many
    // cards as files at once instead of one request each; then publishFolder(path).
    virtual QString collectionFolder(const QString& path) const = 0;
    // Lets the server see the files put into the collection's folder.
    virtual bool publishFolder(const QString& path);
    // Ends the process (by its pid) and waits for its end.
    void stop();
    QByteArray log();

protected:
    DavTestServer(const QString& user, const QString& password);
    // Starts the program on port_ and waits until its log holds ready. False (and error_ set)
    // when it ended or fell silent first.
    bool startProcess(const QString& program, const QStringList& arguments,
                      const QByteArray& ready);

    QString user_, password_;
    QTemporaryDir dir_;
    QProcess process_;
    QByteArray log_;
    int port_ = 0;
    QString error_;
};

class RadicaleServer : public DavTestServer {
public:
    // Starts radicale for the user, with an empty address book at /<user>/contacts/. error()
    // tells why when it did not start.
    explicit RadicaleServer(const QString& user = "user", const QString& password = "secret",
                            bool tls = false);

    QString name() const override { return "radicale"; }
    QUrl url(const QString& path = "/") const override;
    bool checksPasswords() const override { return true; }
    QString bookPath() const override { return "/" + user_ + "/contacts/"; }
    QString certificatePath() const { return dir_.filePath("cert.pem"); }
    QString collectionFolder(const QString& path) const override {
        return dir_.filePath("collections/collection-root" + path);
    }

private:
    bool start(int port);

    bool tls_ = false;
};

// xandikos keeps each collection in a git repository: the user's principal at /<user>/, its
// address book home at /<user>/contacts/ and an empty address book in it.
class XandikosServer : public DavTestServer {
public:
    explicit XandikosServer(const QString& user = "user", const QString& password = "secret");

    QString name() const override { return "xandikos"; }
    bool checksPasswords() const override { return false; }
    QString bookPath() const override { return "/" + user_ + "/contacts/addressbook/"; }
    QString collectionFolder(const QString& path) const override {
        return dir_.filePath("data" + path);
    }
    // Commits the folder's files: xandikos lists what its git index holds.
    bool publishFolder(const QString& path) override;

private:
    bool start(int port);
};

// The server of that name ("radicale" or "xandikos") for the default user.
std::unique_ptr<DavTestServer> StartDavServer(const QString& name);

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

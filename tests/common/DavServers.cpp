#include "tests/common/DavServers.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>

#include <memory>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

int FreePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

DavTestServer::DavTestServer(const QString& user, const QString& password)
    : user_(user), password_(password) {}

DavTestServer::~DavTestServer() {
    stop();
}

bool DavTestServer::startProcess(const QString& program, const QStringList& arguments,
                                 const QByteArray& ready) {
    log_.clear();
    process_.setProcessChannelMode(QProcess::MergedChannels);
#ifdef Q_OS_LINUX
    // A test that aborts runs no destructor: the server then ends with it instead of staying.
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    process_.start(program, arguments);
    // Ready once it says so in its log; a process that ends first failed to start.
    const QDeadlineTimer deadline(30000);
    while (!log_.contains(ready)) {
        if (process_.state() == QProcess::NotRunning || deadline.hasExpired() ||
            !process_.waitForReadyRead(int(deadline.remainingTime()))) {
            error_ = program + " did not start: " + process_.errorString() + "\n" + log();
            stop();
            return false;
        }
        log_ += process_.readAll();
    }
    error_.clear();
    return true;
}

void DavTestServer::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate(); // SIGTERM to its pid
    if (!process_.waitForFinished(20000)) {
        process_.kill();
        process_.waitForFinished(20000);
    }
    log();
}

QByteArray DavTestServer::log() {
    log_ += process_.readAll();
    return log_;
}

QUrl DavTestServer::url(const QString& path) const {
    return QUrl(QString("http://127.0.0.1:%1%2").arg(port_).arg(path));
}

int DavTestServer::request(const QByteArray& verb, const QString& path, const QByteArray& body,
                           const QByteArray& contentType) {
    QNetworkAccessManager network;
    QNetworkRequest request(url(path));
    request.setRawHeader("Authorization", "Basic " + (user_ + ":" + password_).toUtf8().toBase64());
    if (!contentType.isEmpty())
        request.setRawHeader("Content-Type", contentType);
    QNetworkReply* reply = network.sendCustomRequest(request, verb, body);
    // The test's own set-up trusts its own server; the program never does that.
    QObject::connect(reply, &QNetworkReply::sslErrors, reply,
                     [reply] { reply->ignoreSslErrors(); });
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    delete reply;
    return status;
}

bool DavTestServer::makeCollection(const QString& path, bool addressBook) {
    const QByteArray type = addressBook ? "<A:addressbook/>" : "<C:calendar/>";
    const QByteArray body = "<?xml version=\"1.0\"?><D:mkcol xmlns:D=\"DAV:\" "
                            "xmlns:A=\"urn:ietf:params:xml:ns:carddav\" "
                            "xmlns:C=\"urn:ietf:params:xml:ns:caldav\"><D:set><D:prop>"
                            "<D:resourcetype><D:collection/>" +
                            type + "</D:resourcetype></D:prop></D:set></D:mkcol>";
    return request("MKCOL", path, body, "application/xml") == 201;
}

bool DavTestServer::publishFolder(const QString&) {
    return true; // radicale reads its folders as they are
}

RadicaleServer::RadicaleServer(const QString& user, const QString& password, bool tls)
    : DavTestServer(user, password), tls_(tls) {
    if (tls_) {
        // A certificate of its own, which nobody trusts.
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                                  "-subj", "/CN=127.0.0.1", "-keyout", dir_.filePath("key.pem"),
                                  "-out", dir_.filePath("cert.pem")});
        if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0) {
            error_ = "openssl failed: " + openssl.readAllStandardError();
            return;
        }
    }
    QProcess htpasswd;
    htpasswd.start("htpasswd", {"-B", "-b", "-c", dir_.filePath("users"), user, password});
    if (!htpasswd.waitForFinished(20000) || htpasswd.exitCode() != 0) {
        error_ = "htpasswd failed: " + htpasswd.errorString() + htpasswd.readAllStandardError();
        return;
    }
    // Our own empty configuration instead of the system's in /etc/radicale.
    QFile(dir_.filePath("config")).open(QFile::WriteOnly);
    // Another program may take the free port before radicale binds it: then on to another.
    for (int attempt = 0; attempt < 5 && !start(FreePort()); ++attempt) {
    }
    if (error_.isEmpty() && !makeCollection(bookPath()))
        error_ = "MKCOL of the address book failed:\n" + log();
}

bool RadicaleServer::start(int port) {
    port_ = port;
    QStringList arguments{"--config",
                                dir_.filePath("config"),
                                "--server-hosts",
                                QString("127.0.0.1:%1").arg(port),
                                "--storage-filesystem-folder",
                                dir_.filePath("collections"),
                                "--auth-type",
                                "htpasswd",
                                "--auth-htpasswd-filename",
                                dir_.filePath("users"),
                                "--auth-htpasswd-encryption",
                                "bcrypt",
                                "--auth-delay",
                                "0",
                                "--rights-type",
                                "owner_only",
                                "--web-type",
                                "none",
                                "--logging-level",
                                "info"};
    if (tls_)
        arguments << "--server-ssl" << "True" << "--server-certificate" << dir_.filePath("cert.pem")
                  << "--server-key" << dir_.filePath("key.pem");
    return startProcess("radicale", arguments, "Radicale server ready");
}

QUrl RadicaleServer::url(const QString& path) const {
    return QUrl(QString("%1://127.0.0.1:%2%3").arg(tls_ ? "https" : "http").arg(port_).arg(path));
}

XandikosServer::XandikosServer(const QString& user, const QString& password)
    : DavTestServer(user, password) {
    // Its log of the requests goes to stderr; aiohttp's line that it listens goes to stdout,
    // which Python holds back in a pipe unless told not to.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PYTHONUNBUFFERED", "1");
    process_.setProcessEnvironment(env);
    for (int attempt = 0; attempt < 5 && !start(FreePort()); ++attempt) {
    }
    if (error_.isEmpty() && request("PROPFIND", bookPath()) != 207)
        error_ = "xandikos made no address book at " + bookPath() + ":\n" + log();
}

bool XandikosServer::start(int port) {
    port_ = port;
    // --defaults makes the principal, its calendar and inbox, and the address book.
    return startProcess("xandikos",
                        {"--directory", dir_.filePath("data"), "--defaults",
                         "--current-user-principal", "/" + user_ + "/", "--listen-address",
                         "127.0.0.1", "--port", QString::number(port)},
                        QString("Running on http://127.0.0.1:%1").arg(port).toUtf8());
}

bool XandikosServer::publishFolder(const QString& path) {
    const QString folder = collectionFolder(path);
    const auto git = [&](const QStringList& arguments) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start("git", QStringList{"-C", folder, "-c", "user.name=test", "-c",
                                   "user.email=test@localhost"} +
                           arguments);
        const bool done = p.waitForFinished(60000) && p.exitCode() == 0;
        if (!done)
            qWarning().noquote() << "git" << arguments.join(' ') << "failed:" << p.readAll();
        return done;
    };
    return git({"add", "--all", "."}) && git({"commit", "--quiet", "--allow-empty", "-m", "cards"});
}

std::unique_ptr<DavTestServer> StartDavServer(const QString& name) {
    if (name == "xandikos")
        return std::make_unique<XandikosServer>();
    return std::make_unique<RadicaleServer>();
}

StubServer::StubServer(const QByteArray& canned) : answer(canned) {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            const auto got = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, got] {
                // One request: its head, then as many bytes as its Content-Length says.
                *got += socket->readAll();
                const int headEnd = got->indexOf("\r\n\r\n");
                if (headEnd < 0)
                    return;
                const int at = got->toLower().indexOf("\r\ncontent-length:");
                const int length = at < 0 || at > headEnd
                                       ? 0
                                       : got->mid(at + 17, got->indexOf("\r\n", at + 2) - at - 17)
                                             .trimmed()
                                             .toInt();
                if (got->size() < headEnd + 4 + length)
                    return;
                requests << *got;
                got->clear();
                socket->write(respond ? respond(requests.back()) : answer);
                socket->disconnectFromHost();
            });
        }
    });
}

QUrl StubServer::url(const QString& path) const {
    return QUrl(QString("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

QByteArray StubServer::Answer(const QByteArray& status, const QByteArray& body,
                              const QByteArray& headers) {
    QByteArray head = "HTTP/1.1 " + status + "\r\n" + headers;
    if (!headers.toLower().contains("content-length:") &&
        !headers.toLower().contains("transfer-encoding:"))
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    return head + "Connection: close\r\n\r\n" + body;
}

#pragma once

// What the end-to-end sync tests share: a desk with a book file of its own, a sync of it with
// a server the test started, and the data rows that run a test on each server.

#include "storage/AddressBook.h"
#include "storage/SyncStore.h"
#include "storage/unitCreateDB.h"
#include "sync/DavClient.h"
#include "sync/Synchronizer.h"
#include "tests/common/DavServers.h"
#include "tests/common/TestHome.h"

#include <QtTest>

// A desk: a book file made by a first start.
struct Desk {
    explicit Desk(const QString& path) : path(path.toStdString()) {
        TestHome home;
        QDir().mkpath(home.dataFolder());
        BuildContactDatabase();
        QFile::copy(home.dbPath(), path);
    }
    std::string path;

    std::vector<LocalContact> Contacts() const { return TSyncStore(path).LocalContacts(); }
    // The contact whose column holds the value.
    LocalContact Find(int column, const std::string& value) const {
        for (const LocalContact& c : Contacts())
            if (c.values[column] == value)
                return c;
        return {};
    }
    void Set(std::int64_t row, int column, const std::string& value) const {
        TAddressBook book(path);
        ContactValues v = book.Load(std::to_string(row)).Values();
        v[column] = value;
        book.Save(v, std::to_string(row));
    }
    void Delete(std::int64_t row) const {
        TAddressBook book(path);
        book.Load(std::to_string(row));
        book.Delete(std::to_string(row), [] { return true; });
    }
};

inline SyncSummary SyncNow(const DavTestServer& server, const Desk& desk) {
    TDavClient client(server.url("/"), server.user(), server.password());
    return SyncAddressBook(client, desk.path);
}

// A test with these rows runs once on each server: its init() starts the one the row names
// (RowServer). radicale's changes come by sync-collection; xandikos names its reports in a
// form the client does not read as an offer of it, so its rows take the way of listing ETags.
inline void AddServerColumn() {
    QTest::addColumn<QString>("server");
}
inline QStringList ServerNames() {
    return {"radicale", "xandikos"};
}
inline void Servers() {
    AddServerColumn();
    for (const QString& name : ServerNames())
        QTest::newRow(qPrintable(name)) << name;
}
inline QString RowServer() {
    QFETCH(QString, server);
    return server;
}

#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

// The database file seen by another program: a plain engine connection that bypasses the
// program's access layer, so a test can set up or inspect the file without trusting the code
// under test.
class RawDb {
public:
    // Waits up to busyMs for another program's lock before a statement gives up.
    // An existing file only, unless create is set.
    explicit RawDb(const QString& path, int busyMs = 0, bool create = false);
    ~RawDb();
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    bool isOpen() const { return db_ != nullptr; }
    // Runs statements; returns the engine's error message, empty on success.
    QString exec(const QString& sql);
    // For set-up that cannot go on after a failure: ends the test executable with the message.
    void mustExec(const QString& sql);
    // The first column of the first row: "<NULL>" for NULL, "<no row>" when there is none,
    // "<error: ...>" when the statement fails.
    QString value(const QString& sql);
    // The first column of the first row as the engine holds its bytes; "<no row>" when none.
    QByteArray bytes(const QString& sql);
    // Every row, each column written with its storage class so that NULL, '' and x'' differ.
    QStringList rows(const QString& sql);

private:
    sqlite3* db_ = nullptr;
};

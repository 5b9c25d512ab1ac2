#include "tests/common/RawDb.h"

#include <sqlite3.h>

namespace {
QString Cell(sqlite3_stmt* st, int column) {
    const int bytes = sqlite3_column_bytes(st, column);
    switch (sqlite3_column_type(st, column)) {
    case SQLITE_NULL:
        return "<NULL>";
    case SQLITE_BLOB:
        return "x'" +
               QString::fromLatin1(
                   QByteArray(static_cast<const char*>(sqlite3_column_blob(st, column)), bytes)
                       .toHex()) +
               "'";
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, column)),
                                 bytes);
    }
}
} // namespace

RawDb::RawDb(const QString& path, int busyMs, bool create) {
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.toLocal8Bit().constData(), &db_, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
        return;
    }
    sqlite3_busy_timeout(db_, busyMs);
}

RawDb::~RawDb() {
    sqlite3_close(db_);
}

QString RawDb::exec(const QString& sql) {
    if (!db_)
        return "not open";
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &error);
    const QString message = rc == SQLITE_OK ? QString() : QString::fromUtf8(error ? error : "?");
    sqlite3_free(error);
    return message;
}

void RawDb::mustExec(const QString& sql) {
    const QString error = exec(sql);
    if (!error.isEmpty())
        qFatal("%s: %s", qPrintable(sql), qPrintable(error));
}

QString RawDb::value(const QString& sql) {
    const QStringList all = rows(sql);
    if (all.isEmpty())
        return "<no row>";
    return all.first().section(QChar('\x1f'), 0, 0);
}

QByteArray RawDb::bytes(const QString& sql) {
    sqlite3_stmt* st = nullptr;
    if (!db_ || sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        return "<error>";
    QByteArray out = "<no row>";
    if (sqlite3_step(st) == SQLITE_ROW)
        out = QByteArray(static_cast<const char*>(sqlite3_column_blob(st, 0)),
                         sqlite3_column_bytes(st, 0));
    sqlite3_finalize(st);
    return out;
}

QStringList RawDb::rows(const QString& sql) {
    if (!db_)
        return {"<error: not open>"};
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        return {"<error: " + QString::fromUtf8(sqlite3_errmsg(db_)) + ">"};
    QStringList out;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        QStringList cells;
        for (int c = 0; c < sqlite3_column_count(st); ++c)
            cells << Cell(st, c);
        out << cells.join(QChar('\x1f'));
    }
    if (rc != SQLITE_DONE)
        out << "<error: " + QString::fromUtf8(sqlite3_errmsg(db_)) + ">";
    sqlite3_finalize(st);
    return out;
}

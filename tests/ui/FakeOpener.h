#pragma once

// Shared by the tests that launch things through the desktop.

#include <QFile>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>

// A stand-in for xdg-open, first on PATH while it lives. Each call appends its argument count and
// arguments, NUL-separated, to "calls"; it exits with the code in "exitcode" (or kills itself when
// that reads "crash"), fails with 2 for an absolute path that does not exist, as xdg-open does, and
// waits for "release" while "hold" exists.
class FakeOpener {
public:
    explicit FakeOpener(bool installed = true) : oldPath_(qgetenv("PATH")) {
        if (installed) {
            QFile script(dir_.filePath("xdg-open"));
            script.open(QIODevice::WriteOnly);
            script.write(R"(#!/bin/sh
here=${0%/*}
printf '%s\0' "$#" "$@" >> "$here/calls"
if [ -e "$here/hold" ]; then
  n=0
  while [ ! -e "$here/release" ] && [ $n -lt 1200 ]; do /bin/sleep 0.05; n=$((n+1)); done
  [ -e "$here/release" ] || exit 7
fi
case "$1" in
  /*) [ -e "$1" ] || exit 2 ;;
esac
code=0
[ -e "$here/exitcode" ] && read code < "$here/exitcode"
[ "$code" = crash ] && kill -KILL $$
exit "$code"
)");
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("PATH", QFile::encodeName(dir_.path()) + ":" + oldPath_);
        } else {
            qputenv("PATH", QFile::encodeName(dir_.path()));
        }
    }
    ~FakeOpener() { qputenv("PATH", oldPath_); }

    void setExit(const QByteArray& code) { touch("exitcode", code + "\n"); }
    void hold() { touch("hold"); }
    void release() { touch("release"); }

    // One entry per call, holding that call's arguments.
    QList<QStringList> calls() const {
        QFile file(dir_.filePath("calls"));
        QList<QStringList> result;
        if (!file.open(QIODevice::ReadOnly))
            return result;
        QList<QByteArray> fields = file.readAll().split('\0');
        fields.removeLast(); // after the final separator
        for (int i = 0; i < fields.size();) {
            const int count = fields[i++].toInt();
            QStringList args;
            for (int k = 0; k < count && i < fields.size(); ++k)
                args << QFile::decodeName(fields[i++]);
            result << args;
        }
        return result;
    }

private:
    void touch(const char* name, const QByteArray& content = QByteArray()) {
        QFile file(dir_.filePath(QString::fromLatin1(name)));
        file.open(QIODevice::WriteOnly);
        file.write(content);
    }

    QTemporaryDir dir_;
    QByteArray oldPath_;
};

#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Points HOME at a fresh temporary folder for the lifetime of the object, so that the
// program's data folder lands somewhere disposable; the previous HOME comes back afterwards.
class TestHome {
public:
    TestHome();
    ~TestHome();
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    QString path() const { return dir_.path(); }
    // HOME/QuorvaSoftWare/Vellicard2/Vellicard.db, as the program computes it.
    QString dbPath() const;
    QString dataFolder() const;

private:
    QTemporaryDir dir_;
    QByteArray oldHome_;
    bool hadHome_;
};

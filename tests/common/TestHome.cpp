#include "tests/common/TestHome.h"

#include <QtGlobal>

TestHome::TestHome() : hadHome_(qEnvironmentVariableIsSet("HOME")) {
    oldHome_ = qgetenv("HOME");
    qputenv("HOME", dir_.path().toLocal8Bit());
}

TestHome::~TestHome() {
    if (hadHome_)
        qputenv("HOME", oldHome_);
    else
        qunsetenv("HOME");
}

QString TestHome::dataFolder() const {
    return dir_.path() + "/QuorvaSoftWare/Vellicard2";
}

QString TestHome::dbPath() const {
    return dataFolder() + "/Vellicard.db";
}

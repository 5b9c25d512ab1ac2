#include "TApplication.h"

#include "ErrorDisplay.h"
#include "unitAppInformation.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLocal8Bit(AppTitle()));
    setApplicationVersion(QString::fromLocal8Bit(AppMajorVersion() + AppMinorVersion()));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleCurrentException();
        return false;
    }
}

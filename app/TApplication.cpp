#include "app/TApplication.h"

#include "storage/unitAppInformation.h"
#include "ui/dialogs/ErrorDisplay.h"

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

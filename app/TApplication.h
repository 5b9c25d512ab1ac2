#pragma once

#include <QApplication>

// The GUI application object. Its notify is the last line of defence: an exception that a
// handler let through is reported instead of unwinding through Qt's event loop.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

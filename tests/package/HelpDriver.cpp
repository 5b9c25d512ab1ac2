// Drives the installed program from inside for the package test, which loads it through
// QT_QPA_GENERIC_PLUGINS: once the contact window is shown it chooses Help > Help, waits until
// the opener on PATH has written down its target (the file named by VC_OPENED_FILE) and closes
// the window, which ends the program.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGenericPlugin>
#include <QTimer>
#include <QWidget>

namespace {
class HelpDriver : public QObject {
public:
    HelpDriver() : opened_(qEnvironmentVariable("VC_OPENED_FILE")) {
        connect(&poll_, &QTimer::timeout, this, &HelpDriver::step);
        poll_.start(20);
    }

private:
    void step() {
        QWidget* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("CustomersForm") && w->isVisible())
                window = w;
        if (!window)
            return;
        if (!asked_) {
            auto* help = window->findChild<QAction*>(QStringLiteral("mnuHelp"));
            if (!help)
                qFatal("HelpDriver: the window has no mnuHelp");
            asked_ = true;
            help->trigger();
        } else if (QFile::exists(opened_)) {
            poll_.stop();
            window->close();
        }
    }

    QString opened_;
    QTimer poll_;
    bool asked_ = false;
};
} // namespace

class HelpDriverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "HelpDriver.json")
public:
    QObject* create(const QString&, const QString&) override { return new HelpDriver; }
};

#include "HelpDriver.moc"

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QProcess;
class QWidget;

// Hands a target (a mailto: address, a web address, a file) to the desktop, which opens it in
// the program the user has chosen for it. The target text is passed on exactly as given: the
// program never checks or repairs an address, it only reports that the desktop could not open it.
//
// A request never blocks the window: it is started and the caller returns at once. When the
// desktop reports failure, the request's fixed message is shown in a plain message box. The
// request object deletes itself once it has reported.
class TShellOpen : public QObject {
    Q_OBJECT
public:
    // The window state asked of the program that opens the target. Only Windows honours it.
    enum ShowCommand { ShowNormal = 1, ShowMaximized = 3 };

    // Starts opening target. messageParent is the window the failure message belongs to; when
    // that window is gone by the time the answer arrives, the message stands on its own.
    static TShellOpen* Open(const QString& target, int showCommand, const QString& failureMessage,
                            QWidget* messageParent = nullptr);

    // Every request reports here as well, once its outcome is known (after a failure message has
    // been put up). Lets code that only triggers a launch indirectly follow its outcome.
    static TShellOpen* monitor();

signals:
    // ok is false when the target could not be handed over, or the opener failed or crashed.
    void finished(bool ok);
    // Emitted by monitor() only.
    void requestFinished(const QString& target, bool ok);

private:
    TShellOpen(const QString& target, const QString& failureMessage, QWidget* messageParent);
    void start(int showCommand);
    void report(bool ok);

    QString target_;
    QString failureMessage_;
    QPointer<QWidget> messageParent_;
    QProcess* process_ = nullptr;
    bool reported_ = false;
};

// help.chm in the given folder: the folder, one separator, then the file name.
QString HelpFilePathIn(const QString& folder);
// help.chm beside the running executable.
QString HelpFilePath();

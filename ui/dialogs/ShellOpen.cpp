#include "ui/dialogs/ShellOpen.h"

#include "storage/unitAppInformation.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#endif

TShellOpen::TShellOpen(const QString& target, const QString& failureMessage, QWidget* messageParent)
    : target_(target), failureMessage_(failureMessage), messageParent_(messageParent) {}

TShellOpen* TShellOpen::monitor() {
    static TShellOpen* const hub = new TShellOpen(QString(), QString(), nullptr);
    return hub;
}

TShellOpen* TShellOpen::Open(const QString& target, int showCommand, const QString& failureMessage,
                             QWidget* messageParent) {
    // No parent: the request must outlive the window that asked for it, or closing that window
    // would kill the opener half-way.
    auto* request = new TShellOpen(target, failureMessage, messageParent);
    request->start(showCommand);
    return request;
}

void TShellOpen::start(int showCommand) {
#ifdef _WIN32
    const QByteArray file = target_.toLocal8Bit();
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", file.constData(), nullptr, nullptr, showCommand));
    const bool ok = result >= 32;
    // Reported from the event loop, so that the caller can connect to finished() first.
    QMetaObject::invokeMethod(
        this, [this, ok] { report(ok); }, Qt::QueuedConnection);
#else
    Q_UNUSED(showCommand);
    // Looked up afresh for every request: the opener may be installed or removed while the
    // program runs.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this] { report(false); }, Qt::QueuedConnection);
        return;
    }
    process_ = new QProcess(this);
    process_->setProgram(opener);
    process_->setArguments({target_});
    // Nothing is read from the opener; its output goes where ours goes, so no pipe can fill up
    // and stall it.
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    process_->setStandardInputFile(QProcess::nullDevice());
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // A crash is followed by finished(), which reports it.
        if (error == QProcess::FailedToStart)
            report(false);
    });
    connect(process_, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        report(status == QProcess::NormalExit && exitCode == 0);
    });
    // Queued, so that a start failure found inside start() still reaches the caller's connections.
    QMetaObject::invokeMethod(
        process_, [p = process_] { p->start(); }, Qt::QueuedConnection);
#endif
}

void TShellOpen::report(bool ok) {
    if (reported_)
        return;
    reported_ = true;
    if (!ok) {
        QWidget* parent = messageParent_;
        if (!parent)
            parent = QApplication::activeModalWidget();
        if (!parent)
            parent = QApplication::activeWindow();
        auto* box = new QMessageBox(QMessageBox::NoIcon, QString::fromLocal8Bit(AppTitle()),
                                    failureMessage_, QMessageBox::Ok, parent);
        box->setAttribute(Qt::WA_DeleteOnClose);
        // Modal for the user, but shown without a nested event loop: the request may answer at
        // any moment, also while another dialog is running its own loop.
        box->setWindowModality(Qt::ApplicationModal);
        box->show();
    }
    emit finished(ok);
    emit monitor()->requestFinished(target_, ok);
    deleteLater();
}

QString HelpFilePathIn(const QString& folder) {
    QString withSeparator = QDir::toNativeSeparators(folder);
    if (!withSeparator.endsWith(QDir::separator()))
        withSeparator += QDir::separator();
    return withSeparator + QStringLiteral("help.chm");
}

QString HelpFilePath() {
    return HelpFilePathIn(QCoreApplication::applicationDirPath());
}

#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QThread;
class QTimer;
class QToolButton;
class QWidget;

// File > Synchronize and Sync Settings..., and the sync they start. The sync runs on a thread of
// its own, so the window goes on painting and taking input; the menu bar's corner shows that it
// runs, with a button that stops it. Both items stand above "Import Contacts..." and, like
// import and export, are enabled only while the window is in list mode (no contact open in the
// editor); Synchronize also needs an account set up and no sync under way.
//
// A sync started by hand ends with a summary box. A timed one says nothing unless it failed or
// kept conflicts, and a failure only once until a sync succeeds again; it waits while a contact
// is open in the editor, and runs when the window is back in list mode.
class TSyncControl : public QObject {
    Q_OBJECT

public:
    struct Window {
        QWidget* window;
        QMenu* fileMenu;
        QAction* before;    // the items go above this one
        QWidget* listPanel; // shown exactly in list mode
        QMenuBar* menuBar;  // where the indicator goes
        std::string bookPath;
        // Refills the list after a sync, keeping the search and the selected contact.
        std::function<void()> refresh;
    };
    explicit TSyncControl(Window window);
    // Stops a sync under way and waits for its end.
    ~TSyncControl() override;

    void syncNow();      // File > Synchronize
    void showSettings(); // File > Sync Settings...
    // The timer's tick: a sync now in list mode, else as soon as the window is back in it.
    void timedSyncDue();
    // Stops the sync under way (the indicator's Stop button). Whatever it had finished stays:
    // each change it makes is complete in itself.
    void stop();
    // Stops the sync under way and waits until it has finished its current step, which is one
    // transaction in the book or one request to the server.
    void stopAndWait();
    bool running() const { return thread_ != nullptr; }
    // An account is set up, so syncs (from here or from the command line) may change the book.
    bool setUp() const { return setUp_; }
    // What the sync's thread and the window share.
    struct Run;
    // Reads the account and the timed sync from the settings again.
    void followSettings();

signals:
    void syncStarted(bool timed);
    // A stop was asked of the sync under way (it ends after the change it is making).
    void stopRequested();
    // The end of a sync: `ok`, and the summary line or the reason it failed.
    void syncFinished(bool ok, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void start(bool timed);
    void finished();
    void followState();
    void tell(bool failure, const QString& text, const char* objectName);

    Window w_;
    QAction* sync_;
    QAction* settings_;
    QWidget* indicator_;
    QLabel* status_;
    QToolButton* stopButton_;
    QTimer* timer_;
    bool setUp_ = false;
    bool pending_ = false;   // a timed sync waits for list mode
    bool preparing_ = false; // reading the password, before the thread starts
    bool quiet_ = false;     // the window is closing
    QString lastTimedFailure_;
    std::shared_ptr<Run> run_;
    QThread* thread_ = nullptr;
};

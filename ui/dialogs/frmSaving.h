#pragma once

#include <QDialog>
#include <QString>

class QProgressBar;
class QTimer;

// The busy indicator: a small topmost window whose bar fills at a fixed pace. It refuses to
// close before the bar is half full, so even a very quick save is seen, and closes itself once
// the bar is full. It owns itself; SavingForm points at it while it is on screen.
class TSavingForm : public QDialog {
    Q_OBJECT
public:
    explicit TSavingForm(QWidget* parent = nullptr);
    ~TSavingForm() override;

    QProgressBar* prgbarSaving() const { return prgbarSaving_; }
    QTimer* tmrFrmSaving() const { return tmrFrmSaving_; }

    // Returns once the window has been painted, handling meanwhile only the events that map and
    // paint it (user input waits), or after timeoutMs on a platform that never shows it. The bar
    // does not move while it waits.
    void WaitUntilPainted(int timeoutMs = 1000);

signals:
    void painted();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void tmrFrmSavingTimer();

private:
    friend class TBusyTicks;
    void FormShow();
    bool FormCloseQuery();
    void FormClose();

    QProgressBar* prgbarSaving_;
    QTimer* tmrFrmSaving_;
    bool painted_ = false;
};

// The pace of the bar, for tests that must not wait for real time: while an object of this class
// lives, indicators made from then on tick every intervalMs (0: whenever the event loop is idle),
// or, with kManual, only when Advance is called. The program never uses it: its indicators tick
// every 10 ms. Scopes nest; each puts back the pace it found.
class TBusyTicks {
public:
    static constexpr int kManual = -1;
    explicit TBusyTicks(int intervalMs);
    ~TBusyTicks();
    TBusyTicks(const TBusyTicks&) = delete;
    TBusyTicks& operator=(const TBusyTicks&) = delete;

    // Moves the indicator on screen, if any, on by that many ticks at once, as its timer would.
    static void Advance(int ticks = 1);

private:
    int previous_;
};

// The indicator on screen, or null.
extern TSavingForm* SavingForm;

// Shows the indicator with the caption unless one is already on screen, and returns once it has
// been painted, so that it is seen before the caller's work holds up the event loop.
void ShowBusy(const QString& caption);
// Asks an indicator on screen to close; it refuses until its bar is half full.
void CloseBusy();

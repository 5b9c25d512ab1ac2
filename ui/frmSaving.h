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

    // The fill counter shared by all instances (there is never more than one).
    static int Counter();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void tmrFrmSavingTimer();

private:
    void FormShow();
    bool FormCloseQuery();
    void FormClose();

    QProgressBar* prgbarSaving_;
    QTimer* tmrFrmSaving_;
};

// The indicator on screen, or null.
extern TSavingForm* SavingForm;

// Shows the indicator with the caption unless one is already on screen, and paints it at once so
// it is seen before the caller's work holds up the event loop.
void ShowBusy(const QString& caption);
// Asks an indicator on screen to close; it refuses until its bar is half full.
void CloseBusy();

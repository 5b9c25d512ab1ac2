#pragma once

#include "sync/SyncAccount.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QWidget;

// File > Sync Settings...: the server's or address book's URL, the user name, the password
// (kept in the desktop keyring, never in a file), a test that lists the address books found,
// and the timed sync. Returns true when the user saved the settings.
bool ShowSyncSettings(QWidget* parent);

class TSyncSettingsForm : public QDialog {
    Q_OBJECT
public:
    explicit TSyncSettingsForm(QWidget* parent = nullptr);

    static constexpr int kDefaultMinutes = 15;

    // Cancel and Escape do nothing while a test or a save talks to the server or the keyring:
    // the dialog's own answer would otherwise come back into a dialog that is gone.
    void reject() override;

private:
    void TestConnection();
    void Save();
    // The account as the fields give it, or none after telling the user what is missing.
    std::optional<SyncAccount> AccountOfFields(QString& problem) const;
    // The password the fields stand for: the one typed, else the one stored for the account
    // last set up. Empty when there is none.
    QString PasswordOfFields() const;
    // Stores the password for account; false when the user chose to go back to the dialog.
    bool StorePassword(const SyncAccount& account, const QString& password);
    void SetBusy(bool busy);

    QLineEdit* txtSyncUrl_;
    QLineEdit* txtSyncUser_;
    QLineEdit* txtSyncPassword_;
    QPushButton* btnSyncTest_;
    QLabel* lblSyncTestResult_;
    QListWidget* lstSyncBooks_;
    QCheckBox* chkSyncTimed_;
    QSpinBox* spnSyncMinutes_;
    QPushButton* btnSyncSave_;
    QPushButton* btnSyncClose_;
    std::optional<SyncAccount> stored_; // as the dialog found it
    bool busy_ = false;
};

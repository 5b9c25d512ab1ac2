#include "ui/sync/SyncSettingsForm.h"

#include "sync/SyncRunner.h"
#include "ui/dialogs/ErrorDisplay.h"
#include "ui/widgets/WindowFont.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>

namespace {
const QString kCaption = QStringLiteral("Sync Settings");

template <typename W, typename... Args>
W* Named(QWidget* parent, const char* name, Args&&... args) {
    auto* widget = new W(std::forward<Args>(args)..., parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    auto* button = Named<QPushButton>(parent, name, caption);
    // Enter in a field must not press a button the user did not choose.
    button->setAutoDefault(false);
    return button;
}

QString KeyringProblem(const KeyringAnswer& answer) {
    const QString reason = answer.reason.isEmpty() ? QString() : " (" + answer.reason + ")";
    return answer.outcome == KeyringAnswer::Refused
               ? QStringLiteral("The desktop keyring refused to store the password%1.").arg(reason)
               : QStringLiteral("No desktop keyring is reachable%1.").arg(reason);
}
} // namespace

bool ShowSyncSettings(QWidget* parent) {
    TSyncSettingsForm form(parent);
    return form.exec() == QDialog::Accepted;
}

TSyncSettingsForm::TSyncSettingsForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SyncSettingsForm"));
    setWindowTitle(kCaption);
    setFont(WindowFont("Tahoma", 8));

    txtSyncUrl_ = Named<QLineEdit>(this, "txtSyncUrl");
    txtSyncUrl_->setPlaceholderText(QStringLiteral("https://dav.example.com/"));
    txtSyncUser_ = Named<QLineEdit>(this, "txtSyncUser");
    txtSyncPassword_ = Named<QLineEdit>(this, "txtSyncPassword");
    txtSyncPassword_->setEchoMode(QLineEdit::Password);
    btnSyncTest_ = Button(this, "btnSyncTest", QStringLiteral("Test Connection"));
    lblSyncTestResult_ = Named<QLabel>(this, "lblSyncTestResult");
    lblSyncTestResult_->setWordWrap(true);
    lblSyncTestResult_->setTextFormat(Qt::PlainText);
    lblSyncTestResult_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblSyncTestResult_->setMinimumWidth(360);
    lstSyncBooks_ = Named<QListWidget>(this, "lstSyncBooks");
    chkSyncTimed_ = Named<QCheckBox>(this, "chkSyncTimed", QStringLiteral("Sync every"));
    spnSyncMinutes_ = Named<QSpinBox>(this, "spnSyncMinutes");
    spnSyncMinutes_->setRange(1, kMaxSyncIntervalMinutes);
    btnSyncSave_ = Button(this, "btnSyncSave", QStringLiteral("Save"));
    btnSyncClose_ = Button(this, "btnSyncClose", QStringLiteral("Cancel"));

    auto* grid = new QGridLayout(this);
    int row = 0;
    const auto labelled = [&](const char* name, const QString& caption, QWidget* field) {
        auto* label = Named<QLabel>(this, name, caption);
        // The label names its field, for a screen reader too.
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row++, 1);
    };
    labelled("lblSyncUrl", QStringLiteral("Server or address book URL:"), txtSyncUrl_);
    labelled("lblSyncUser", QStringLiteral("User name:"), txtSyncUser_);
    labelled("lblSyncPassword", QStringLiteral("Password:"), txtSyncPassword_);
    grid->addWidget(btnSyncTest_, row, 0, Qt::AlignTop);
    grid->addWidget(lblSyncTestResult_, row++, 1);
    labelled("lblSyncBooks", QStringLiteral("Address books:"), lstSyncBooks_);
    auto* timed = new QHBoxLayout;
    timed->addWidget(chkSyncTimed_);
    timed->addWidget(spnSyncMinutes_);
    timed->addWidget(
        Named<QLabel>(this, "lblSyncMinutes", QStringLiteral("minutes while the window is open")));
    timed->addStretch();
    grid->addLayout(timed, row++, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSyncSave_);
    buttons->addWidget(btnSyncClose_);
    grid->addLayout(buttons, row++, 0, 1, 2);

    stored_ = LoadSyncAccount();
    if (stored_) {
        txtSyncUrl_->setText(stored_->url);
        txtSyncUser_->setText(stored_->user);
        // Whether there is a password, never the password itself.
        switch (PasswordForSync(*stored_).source) {
        case SyncPassword::Environment:
            txtSyncPassword_->setPlaceholderText(
                QStringLiteral("given by %1").arg(QLatin1String(kSyncPasswordVariable)));
            break;
        case SyncPassword::ThisRun:
            txtSyncPassword_->setPlaceholderText(QStringLiteral("kept for this run"));
            break;
        case SyncPassword::Keyring:
            txtSyncPassword_->setPlaceholderText(QStringLiteral("stored in the keyring"));
            break;
        case SyncPassword::None:
            txtSyncPassword_->setPlaceholderText(QStringLiteral("none stored: enter it"));
            break;
        }
    }
    const int minutes = LoadSyncInterval();
    chkSyncTimed_->setChecked(minutes > 0);
    spnSyncMinutes_->setValue(minutes > 0 ? minutes : kDefaultMinutes);
    spnSyncMinutes_->setEnabled(minutes > 0);

    connect(chkSyncTimed_, &QCheckBox::toggled, spnSyncMinutes_, &QSpinBox::setEnabled);
    connect(lstSyncBooks_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item)
            txtSyncUrl_->setText(item->data(Qt::UserRole).toString());
    });
    connect(btnSyncTest_, &QPushButton::clicked, this,
            [this] { Guarded([this] { TestConnection(); }); });
    connect(btnSyncSave_, &QPushButton::clicked, this, [this] { Guarded([this] { Save(); }); });
    connect(btnSyncClose_, &QPushButton::clicked, this, &TSyncSettingsForm::reject);
}

void TSyncSettingsForm::reject() {
    if (!busy_)
        QDialog::reject();
}

void TSyncSettingsForm::SetBusy(bool busy) {
    busy_ = busy;
    for (QPushButton* b : {btnSyncTest_, btnSyncSave_, btnSyncClose_})
        b->setEnabled(!busy);
}

std::optional<SyncAccount> TSyncSettingsForm::AccountOfFields(QString& problem) const {
    const QString address = txtSyncUrl_->text().trimmed();
    const QUrl url(address, QUrl::StrictMode);
    const QString user = txtSyncUser_->text().trimmed();
    if (address.isEmpty())
        problem = QStringLiteral("Enter the URL of the CardDAV server or address book.");
    else if (!url.isValid() || url.host().isEmpty() ||
             (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        problem = QStringLiteral("'%1' is not an http or https address.").arg(address);
    else if (!url.userInfo().isEmpty())
        problem = QStringLiteral("Enter the user name and password in their own fields, not in "
                                 "the URL.");
    else if (user.isEmpty())
        problem = QStringLiteral("Enter the user name.");
    else
        return SyncAccount{url.toString(), user};
    return std::nullopt;
}

QString TSyncSettingsForm::PasswordOfFields() const {
    if (!txtSyncPassword_->text().isEmpty() || !stored_)
        return txtSyncPassword_->text();
    const SyncPassword stored = PasswordForSync(*stored_);
    return stored.ok ? stored.password : QString();
}

void TSyncSettingsForm::TestConnection() {
    if (busy_)
        return;
    QString problem;
    const std::optional<SyncAccount> account = AccountOfFields(problem);
    const QString password = account ? PasswordOfFields() : QString();
    if (account && password.isEmpty())
        problem = QStringLiteral("Enter the password.");
    if (!problem.isEmpty()) {
        lblSyncTestResult_->setText(problem);
        return;
    }
    // The client waits for the server in an event loop of its own: the window paints meanwhile,
    // and the disabled buttons keep a second test or a save from starting inside it.
    SetBusy(true);
    const auto done = qScopeGuard([this] { SetBusy(false); });
    lstSyncBooks_->clear();
    lblSyncTestResult_->setText(QStringLiteral("Connecting to %1...").arg(account->url));
    const SyncBooksResult result = ListSyncBooks(QUrl(account->url), account->user, password);
    if (!result.ok) {
        lblSyncTestResult_->setText(result.error);
        return;
    }
    for (const SyncBook& book : result.books) {
        auto* item = new QListWidgetItem(book.name + QStringLiteral(" - ") + book.url);
        item->setData(Qt::UserRole, book.url);
        lstSyncBooks_->addItem(item);
    }
    lstSyncBooks_->setCurrentRow(0);
    lblSyncTestResult_->setText(
        result.books.size() == 1
            ? QStringLiteral("Connected: the sync uses the address book listed.")
            : QStringLiteral("Connected: %1 address books found; the sync uses the one chosen.")
                  .arg(result.books.size()));
}

bool TSyncSettingsForm::StorePassword(const SyncAccount& account, const QString& password) {
    const KeyringAnswer stored = StoreSyncPassword(account, password);
    if (stored.outcome == KeyringAnswer::Done) {
        // The keyring's password from now on, not an older one kept for this run.
        KeepSyncPasswordForThisRun(account, QString());
        return true;
    }
    QMessageBox box(QMessageBox::Warning, kCaption,
                    KeyringProblem(stored) +
                        QStringLiteral(" Keep the password for this run of the program only? It "
                                       "is written to no file; enter it here again after the "
                                       "next start."),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("msgSyncKeyring"));
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Yes"));
    box.button(QMessageBox::No)->setText(QStringLiteral("No"));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes)
        return false;
    KeepSyncPasswordForThisRun(account, password);
    return true;
}

void TSyncSettingsForm::Save() {
    if (busy_)
        return;
    QString problem;
    const std::optional<SyncAccount> account = AccountOfFields(problem);
    if (!account)
        return ShowError(problem);
    const bool moved = stored_ && SyncKeyringKey(*stored_) != SyncKeyringKey(*account);
    QString password = txtSyncPassword_->text();
    if (password.isEmpty() && !stored_)
        return ShowError(QStringLiteral("Enter the password."));
    if (password.isEmpty() && moved) {
        // The stored password goes along to the new URL or user name.
        const SyncPassword old = PasswordForSync(*stored_);
        if (!old.ok)
            return ShowError(old.error);
        if (old.source != SyncPassword::Environment)
            password = old.password;
    }
    SetBusy(true);
    const auto done = qScopeGuard([this] { SetBusy(false); });
    if (!password.isEmpty() && !StorePassword(*account, password))
        return;
    for (const QString& notSaved :
         {SaveSyncAccount(*account),
          SaveSyncInterval(chkSyncTimed_->isChecked() ? spnSyncMinutes_->value() : 0)})
        if (!notSaved.isEmpty())
            return ShowError(notSaved);
    // The old account's password has no use left; a failure to drop it costs nothing.
    if (moved) {
        KeepSyncPasswordForThisRun(*stored_, QString());
        ForgetSyncPassword(*stored_);
    }
    SetBusy(false);
    accept();
}

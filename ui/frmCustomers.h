#pragma once

#include "ContactFields.h"

#include <QMainWindow>
#include <array>
#include <memory>

namespace Ui {
class TCustomersForm;
}
class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;
class TCustomerListModel;
class TNoteMemo;
class ISheetCanvas;
struct ContactSheetData;

// The contact maintenance window: the contact list with its search in list mode, the editor in
// edit mode. The open contact lives in the editor's controls only; lblCustId holds its
// identifier, empty for a new one, and an enabled Save button is the only sign of unsaved
// changes.
class TCustomersForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TCustomersForm(QWidget* parent = nullptr);
    ~TCustomersForm() override;

    // Window-level procedures.
    void pClearCustForm();
    void pQueryCustomers();
    void pEnableSavebtn();
    void SaveChangesToCustomers();

    // Event handlers, callable directly by tests.
    void FormShow();
    void FormClose();
    bool FormCloseQuery();
    void mnuCloseClick();
    void tlbarAddNewCustClick();
    void cmboCustSearchChange();
    void txtCustSearchChange();
    void lstvCustomers1Click();
    void btnSave1Click();
    void btnCancel1Click();
    void btnDelete1Click();
    void txtContNotesChange();
    void txtExtraNotesChange(int n);
    void mnuPrintClick();
    void mnuHelpClick();
    void mnuAboutClick();
    void lblSendCustEmail1Click();
    void lblSendExtraEmailClick(int n);
    void lblCustWebSiteClick();

    TCustomerListModel* listModel() const { return listModel_; }
    // What the contact sheet prints: the editor as it stands, unsaved edits included.
    ContactSheetData SheetData() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateTabCaptions();
    void DrawContactSheet(ISheetCanvas& canvas) const;
    void NoteChanged(TNoteMemo* memo, int lineLimit);
    void SetupToolBar();
    void SetupList();
    void WireEvents();
    QWidget* Control(const QString& name) const;
    QString Text(const QString& control) const;
    ContactValues ValuesInSaveOrder() const;

    std::unique_ptr<Ui::TCustomersForm> ui;
    TCustomerListModel* listModel_;
    QToolButton* tlbarAddNewCust_;
    QLabel* lblCustSearch_;
    QComboBox* cmboCustSearch_;
    QLabel* Label1_;
    QLineEdit* txtCustSearch_;
    std::vector<std::pair<QWidget*, FieldKind>> fields_; // in loading order
    // The extra contacts' e-mail fields and their links, looked up once: the change tracking
    // reads them after every field change.
    std::array<QLineEdit*, kExtraContacts> extraEmails_{};
    std::array<QWidget*, kExtraContacts> extraEmailLinks_{};
    bool shown_ = false;
};

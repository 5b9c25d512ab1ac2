#pragma once

#include "ui/window/ContactFields.h"

#include <QMainWindow>
#include <QMessageBox>
#include <array>
#include <memory>

namespace Ui {
class TCustomersForm;
}
class TCustomerListModel;
struct TCustomerToolBar;
class TEditorFields;
class TExtraContactPage;
class TNoteMemo;
struct ContactSheetData;
class TAddressBook;
class TFileChooser;
class TImportExport;
class TSyncControl;

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
    // Fills the list again after the book changed underneath it, keeping the search and the
    // selected contact.
    void RefreshList();
    // The list's statement for the search kind and text the tool bar shows.
    std::string SearchStatement() const;
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
    TSyncControl* syncControl() const { return sync_; }
    // Where File > Import and Export get their file names: the desktop's file dialogs unless
    // replaced.
    void SetFileChooser(std::unique_ptr<TFileChooser> chooser);
    // What the contact sheet prints: the editor as it stands, unsaved edits included.
    ContactSheetData SheetData() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window's modes; each mode's control states are one row of a table in the source.
    enum class Mode { List, NewContact, StoredContact };
    void EnterMode(Mode mode);
    // Empties the contact's name, address, phone and fax fields; with all, every data field.
    void ClearFields(bool all);
    // "Save changes to this contact?"; saves on Yes and returns the answer.
    QMessageBox::StandardButton AskToSaveChanges(bool offerCancel);
    void UpdateTabCaptions();
    // Tells the user that a save merged their changes into what a sync brought meanwhile.
    void TellMerged(const std::vector<int>& conflicts);
    void NoteChanged(TNoteMemo* memo, int lineLimit);
    void SetupFields();
    void SetKeyboardOrder();
    // Names and descriptions a screen reader gives the controls.
    void SetSpokenNames();
    void WireEvents();

    std::unique_ptr<Ui::TCustomersForm> ui;
    TCustomerListModel* listModel_;
    std::unique_ptr<TCustomerToolBar> tools_;
    std::array<TExtraContactPage*, kExtraContacts> pages_{}; // TabSheet2 ... TabSheet6
    std::unique_ptr<TEditorFields> fields_;
    std::unique_ptr<TAddressBook> book_;
    TImportExport* transfer_ = nullptr;
    TSyncControl* sync_ = nullptr;
    // The open contact's values as the editor would have saved them when it was loaded: what a
    // save compares the stored contact with, to see whether a sync changed it meanwhile.
    ContactValues opened_{};
    bool shown_ = false;
};

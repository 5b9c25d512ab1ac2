#include "ui/window/frmCustomers.h"
#include "ui_frmCustomers.h"

#include "printing/ContactSheet.h"
#include "printing/PrintJob.h"
#include "storage/AddressBook.h"
#include "storage/ContactStatements.h"
#include "storage/SQLiteTable3.h"
#include "storage/unitAppInformation.h"
#include "storage/unitFilePath.h"
#include "ui/dialogs/About.h"
#include "ui/dialogs/ErrorDisplay.h"
#include "ui/dialogs/Question.h"
#include "ui/dialogs/ShellOpen.h"
#include "ui/dialogs/frmSaving.h"
#include "ui/sync/SyncControl.h"
#include "ui/widgets/LinkLabel.h"
#include "ui/widgets/MaskEdit.h"
#include "ui/widgets/MenuBarKeys.h"
#include "ui/widgets/NoteMemo.h"
#include "ui/widgets/WholeCharValidator.h"
#include "ui/widgets/WindowFont.h"
#include "ui/window/CustomerListModel.h"
#include "ui/window/CustomerToolBar.h"
#include "ui/window/EditorFields.h"
#include "ui/window/ExtraContactPage.h"
#include "ui/window/ImportExport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

namespace {
// The most lines the notes of the contact and of an extra contact take.
std::size_t NoteLines(int column) {
    return ContactColumnTable()[column].lines;
}
} // namespace

TCustomersForm::TCustomersForm(QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TCustomersForm>()),
      listModel_(new TCustomerListModel(this)),
      book_(std::make_unique<TAddressBook>(ContactDbPath())) {
    ui->setupUi(this);
    setObjectName("CustomersForm");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(WindowFont("Tahoma", 8));
    ui->Label6->setFont(WindowFont("Tahoma", 8, true));
    setToolTipDuration(-1);

    // Menu objects carry their control names, also on the actions that stand for them.
    ui->mnuFile->menuAction()->setObjectName("mnuFileAction");
    ui->mnuMainHelp->menuAction()->setObjectName("mnuMainHelpAction");

    tools_ = std::make_unique<TCustomerToolBar>(ui->tlbarCustomers);
    listModel_->ShowIn(ui->lstvCustomers);
    ui->lstvCustomers->installEventFilter(this);

    SetupFields();
    SetKeyboardOrder();
    SetSpokenNames();
    WireEvents();
    // F10 or a lone Alt takes the keyboard into the menu bar.
    new TMenuBarKeys(ui->MainMenu1);
    // File > Import/Export Contacts: the items follow list mode by themselves, and an export
    // takes the contacts the list shows.
    transfer_ = new TImportExport(
        this, *book_, ui->mnuFile, ui->mnuClose, ui->pnlLstViewContacts,
        [this] { return SearchStatement(); }, [this] { pQueryCustomers(); });
    // File > Synchronize and Sync Settings..., above the import.
    sync_ = new TSyncControl({this, ui->mnuFile, findChild<QAction*>(QStringLiteral("mnuImport")),
                              ui->pnlLstViewContacts, ui->MainMenu1, book_->Path(),
                              [this] { RefreshList(); }});

    // The client area is fixed: 744 by 493 below the menu, tool bar included.
    ui->centralWidget->setFixedSize(744, 493 - 29);
    ui->tlbarCustomers->setFixedHeight(29);
    adjustSize();
    setFixedSize(744, ui->MainMenu1->sizeHint().height() + 493);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TCustomersForm::~TCustomersForm() {
    // A sync under way ends while the book and the controls it reports to are still there.
    sync_->stopAndWait();
}

void TCustomersForm::SetFileChooser(std::unique_ptr<TFileChooser> chooser) {
    transfer_->SetFileChooser(std::move(chooser));
}

void TCustomersForm::SetupFields() {
    pages_ = {ui->TabSheet2, ui->TabSheet3, ui->TabSheet4, ui->TabSheet5, ui->TabSheet6};
    std::vector<QWidget*> controls = {
        ui->txtCustCmpnyName,  ui->txtCustFrstName, ui->txtCustLstName, ui->txtCustEmail,
        ui->txtCustWebAddress, ui->txtCustAddress,  ui->txtCtyStZip,    ui->txtCustPhone,
        ui->txtCustFax,        ui->txtContNotes};
    for (int n = 1; n <= kExtraContacts; ++n) {
        pages_[n - 1]->SetNumber(n);
        for (QWidget* control : pages_[n - 1]->Fields())
            controls.push_back(control);
    }
    // Each control takes its column's limit and mask.
    fields_ = std::make_unique<TEditorFields>(controls);

    auto* wholeChars = new TWholeCharValidator(this);
    tools_->txtCustSearch->setValidator(wholeChars);
    for (const TFieldControl& control : fields_->Controls())
        if (QLineEdit* edit = control.PlainEdit())
            edit->setValidator(wholeChars);
}

void TCustomersForm::SetKeyboardOrder() {
    // One ring through the editor: the group box's fields and buttons, the tab control with its
    // tab row, then the fields of every page; Tab passes over those of the pages behind. The tab
    // row follows its tab control directly, or Tab would reach the row a second time through the
    // control, which hands its focus to the row.
    QList<QWidget*> ring = {ui->txtCustCmpnyName,  ui->txtCustFrstName,
                            ui->txtCustLstName,    ui->txtCustAddress,
                            ui->txtCtyStZip,       ui->txtCustEmail,
                            ui->txtCustWebAddress, ui->txtCustPhone,
                            ui->txtCustFax,        ui->btnSave,
                            ui->btnCancel,         ui->btnDelete,
                            ui->PageControl1,      ui->PageControl1->tabBar(),
                            ui->txtContNotes};
    for (TExtraContactPage* page : pages_)
        ring += page->KeyboardOrder();
    for (qsizetype i = 1; i < ring.size(); ++i)
        setTabOrder(ring[i - 1], ring[i]);
}

void TCustomersForm::SetSpokenNames() {
    // A screen reader names each field after its caption: the caption labels it (no mnemonic,
    // so no shortcut comes with it). Without one, it would take the group box's title. A combo
    // box and a tab row are named by their current item on Linux; their caption is the label a
    // screen reader reads with them.
    const std::pair<QLabel*, QWidget*> captions[] = {
        {ui->txtCustCmpnyNameLabel, ui->txtCustCmpnyName},
        {ui->txtCustFrstNameLabel, ui->txtCustFrstName},
        {ui->txtCustLstNameLabel, ui->txtCustLstName},
        {ui->txtCustAddressLabel, ui->txtCustAddress},
        {ui->txtCtyStZipLabel, ui->txtCtyStZip},
        {ui->txtCustEmailLabel, ui->txtCustEmail},
        {ui->txtCustWebAddressLabel, ui->txtCustWebAddress},
        {ui->lblCustPhoneNm, ui->txtCustPhone},
        {ui->lblCustFaxNm, ui->txtCustFax},
        {ui->Label6, ui->PageControl1},
        {tools_->lblCustSearch, tools_->cmboCustSearch}};
    for (const auto& [label, field] : captions)
        label->setBuddy(field);
    tools_->txtCustSearch->setAccessibleName(QStringLiteral("Search text"));
    ui->lstvCustomers->setAccessibleName(QStringLiteral("Contact list"));
    ui->lstvCustomers->setAccessibleDescription(
        QStringLiteral("Select a contact; Enter opens the selected contact"));
    ui->txtContNotes->setAccessibleName(QStringLiteral("Notes"));
    ui->txtContNotes->setAccessibleDescription(ui->Label2->text() + QLatin1Char(' ') +
                                               ui->Label3->text());
    ui->lblSendCustEmail->NameAfter(ui->txtCustEmail, QStringLiteral("Send e-mail to %1"));
    ui->lblCustWebSite->NameAfter(ui->txtCustWebAddress, QStringLiteral("Go to the web site %1"));
}

void TCustomersForm::WireEvents() {
    // Every handler runs guarded: no exception may cross the event loop.
    auto on = [this](auto* sender, auto signal, auto handler) {
        connect(sender, signal, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
    };
    on(ui->mnuClose, &QAction::triggered, &TCustomersForm::mnuCloseClick);
    on(ui->mnuHelp, &QAction::triggered, &TCustomersForm::mnuHelpClick);
    on(ui->mnuAbout, &QAction::triggered, &TCustomersForm::mnuAboutClick);
    on(ui->mnuPrint, &QAction::triggered, &TCustomersForm::mnuPrintClick);
    on(tools_->tlbarAddNewCust, &QToolButton::clicked, &TCustomersForm::tlbarAddNewCustClick);
    // activated: only a selection the user makes runs the handler.
    on(tools_->cmboCustSearch, &QComboBox::activated, &TCustomersForm::cmboCustSearchChange);
    on(tools_->txtCustSearch, &QLineEdit::textChanged, &TCustomersForm::txtCustSearchChange);
    on(ui->lstvCustomers, &QTreeView::clicked, &TCustomersForm::lstvCustomers1Click);
    on(ui->btnSave, &QPushButton::clicked, &TCustomersForm::btnSave1Click);
    on(ui->btnCancel, &QPushButton::clicked, &TCustomersForm::btnCancel1Click);
    on(ui->btnDelete, &QPushButton::clicked, &TCustomersForm::btnDelete1Click);
    on(ui->txtContNotes, &TNoteMemo::changed, &TCustomersForm::txtContNotesChange);
    on(ui->lblSendCustEmail, &TLinkLabel::clicked, &TCustomersForm::lblSendCustEmail1Click);
    on(ui->lblCustWebSite, &TLinkLabel::clicked, &TCustomersForm::lblCustWebSiteClick);
    for (const TFieldControl& control : fields_->Controls())
        control.OnChange(this, [this] { Guarded([&] { pEnableSavebtn(); }); });
    for (int n = 1; n <= kExtraContacts; ++n) {
        TExtraContactPage* page = pages_[n - 1];
        connect(page, &TExtraContactPage::notesChanged, this,
                [this, n] { Guarded([&] { txtExtraNotesChange(n); }); });
        connect(page, &TExtraContactPage::emailLinkClicked, this,
                [this, n] { Guarded([&] { lblSendExtraEmailClick(n); }); });
    }
}

// ---- showing and closing -------------------------------------------------------------------

void TCustomersForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous() && !shown_) {
        shown_ = true;
        Guarded([&] { FormShow(); });
    }
}

void TCustomersForm::FormShow() {
    setWindowTitle(QString::fromLocal8Bit(AppFullTitle()));
    CloseBusy();
    pClearCustForm();
}

void TCustomersForm::closeEvent(QCloseEvent* event) {
    bool canClose = false;
    Guarded([&] { canClose = FormCloseQuery(); });
    if (!canClose) {
        event->ignore();
        return;
    }
    event->accept();
    // A sync under way ends with the change it is making: nothing is left half done.
    sync_->stopAndWait();
    Guarded([&] { FormClose(); });
}

void TCustomersForm::FormClose() {
    // The program ends when its last window has gone: at once, or when a busy indicator still
    // on screen has finished.
    CloseBusy();
}

bool TCustomersForm::FormCloseQuery() {
    if (!ui->btnSave->isEnabled())
        return true;
    // A failed save throws: the window stays open with everything the user typed.
    const QMessageBox::StandardButton answer = AskToSaveChanges(true);
    return answer == QMessageBox::Yes || answer == QMessageBox::No;
}

void TCustomersForm::mnuCloseClick() {
    close();
}

// ---- modes -----------------------------------------------------------------------------------

namespace {
enum Tri : char { Off, On, Keep };
// The control states of each mode, in the order of TCustomersForm::Mode. btnSave always starts
// disabled and txtCustSearch disabled; the change tracking and the search enable them later.
struct ModeControls {
    const char* caption; // of gbxCustomer
    bool listing;        // list panel shown, tool bar enabled; else the editor shown
    bool cancel, del;    // btnCancel, btnDelete enabled
    Tri print;           // mnuPrint shown
    Tri custEmailLink;   // lblSendCustEmail enabled
};
const ModeControls kModes[] = {
    {"Contact Information Work Area", true, false, false, Off, Keep}, // List
    {"New Contact Information", false, true, false, Keep, Off},       // NewContact
    {"Edit Contact Information", false, true, true, On, Keep},        // StoredContact
};
} // namespace

void TCustomersForm::EnterMode(Mode mode) {
    const ModeControls& m = kModes[static_cast<int>(mode)];
    ui->gbxCustomer->setTitle(m.caption);
    ui->btnDelete->setEnabled(m.del);
    ui->btnSave->setEnabled(false);
    ui->btnCancel->setEnabled(m.cancel);
    tools_->tlbarAddNewCust->setEnabled(m.listing);
    if (m.listing)
        ui->lstvCustomers->setEnabled(true);
    tools_->cmboCustSearch->setEnabled(m.listing);
    tools_->lblCustSearch->setEnabled(m.listing);
    tools_->txtCustSearch->setEnabled(false);
    if (m.print != Keep)
        ui->mnuPrint->setVisible(m.print == On);
    if (m.custEmailLink != Keep)
        ui->lblSendCustEmail->setEnabled(m.custEmailLink == On);
    ui->pnlContacts->setVisible(!m.listing);
    ui->pnlLstViewContacts->setVisible(m.listing);
    if (!m.listing)
        ui->txtCustCmpnyName->setFocus();
}

void TCustomersForm::ClearFields(bool all) {
    for (QWidget* control : {ui->txtCustFrstName, ui->txtCustLstName, ui->txtCustCmpnyName,
                             ui->txtCustAddress, ui->txtCtyStZip})
        SetFieldText(control, QString());
    SetFieldText(ui->txtCustPhone, QString());
    SetFieldText(ui->txtCustFax, QString());
    if (!all)
        return;
    SetFieldText(ui->txtCustEmail, QString());
    SetFieldText(ui->txtCustWebAddress, QString());
    SetFieldText(ui->txtContNotes, QString());
    for (TExtraContactPage* page : pages_)
        for (QWidget* control : page->Fields())
            SetFieldText(control, QString());
}

void TCustomersForm::pClearCustForm() {
    tools_->cmboCustSearch->setCurrentIndex(0);
    tools_->txtCustSearch->setEnabled(false);
    ClearFields(true);
    tools_->txtCustSearch->setText(QString());
    ui->lblCustId->setText(QString());
    UpdateTabCaptions();
    EnterMode(Mode::List);
    pQueryCustomers();
}

void TCustomersForm::tlbarAddNewCustClick() {
    ClearFields(false);
    ui->lblCustId->setText(QString());
    EnterMode(Mode::NewContact);
}

void TCustomersForm::UpdateTabCaptions() {
    for (int n = 1; n <= kExtraContacts; ++n) {
        const QString title = pages_[n - 1]->Title();
        ui->PageControl1->setTabText(n,
                                     title.isEmpty() ? QString("Extra Contact %1").arg(n) : title);
    }
    // Each page is named after its tab for a screen reader.
    for (int i = 0; i < ui->PageControl1->count(); ++i)
        ui->PageControl1->widget(i)->setAccessibleName(ui->PageControl1->tabText(i));
    ui->PageControl1->setCurrentIndex(0);
}

// ---- list and search -----------------------------------------------------------------------

std::string TCustomersForm::SearchStatement() const {
    const auto kind = static_cast<SearchKind>(tools_->cmboCustSearch->currentIndex());
    return BuildSearchStatement(
        kind, kind != SearchKind::All ? ToLocal(tools_->txtCustSearch->text()) : std::string());
}

void TCustomersForm::pQueryCustomers() {
    listModel_->Fill(*book_->List(SearchStatement()));
    ui->lstvCustomers->clearSelection();
    ui->lstvCustomers->setCurrentIndex(QModelIndex());
    // Lay the new rows out now rather than on the view's own deferred pass: a paint already
    // queued (the list panel just shown by the reset) would otherwise come first, lay out inside
    // itself and ask for a second paint of the whole list.
    ui->lstvCustomers->doItemsLayout();
}

void TCustomersForm::RefreshList() {
    const QModelIndexList selected = ui->lstvCustomers->selectionModel()->selectedRows();
    const std::string id = selected.isEmpty() ? std::string()
                                              : listModel_->CellText(selected.first().row(),
                                                                     TCustomerListModel::CustId);
    pQueryCustomers();
    if (id.empty())
        return;
    for (int row = 0; row < listModel_->rowCount(); ++row)
        if (listModel_->CellText(row, TCustomerListModel::CustId) == id) {
            const QModelIndex index = listModel_->index(row, 0);
            ui->lstvCustomers->setCurrentIndex(index);
            ui->lstvCustomers->selectionModel()->select(
                index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            ui->lstvCustomers->scrollTo(index);
            break;
        }
}

void TCustomersForm::cmboCustSearchChange() {
    if (tools_->cmboCustSearch->currentIndex() == 0) {
        tools_->txtCustSearch->setText(QString());
        tools_->txtCustSearch->setEnabled(false);
        ui->lstvCustomers->setFocus();
        pQueryCustomers();
    } else {
        tools_->txtCustSearch->setText(QString());
        tools_->txtCustSearch->setEnabled(true);
        tools_->txtCustSearch->setFocus();
    }
}

void TCustomersForm::txtCustSearchChange() {
    if (tools_->cmboCustSearch->currentIndex() > 0)
        pQueryCustomers();
}

bool TCustomersForm::eventFilter(QObject* watched, QEvent* event) {
    // Enter on a selected row opens it, as a click does.
    if (watched == ui->lstvCustomers && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Guarded([&] { lstvCustomers1Click(); });
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- loading ---------------------------------------------------------------------------------

void TCustomersForm::lstvCustomers1Click() {
    const QModelIndexList selected = ui->lstvCustomers->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const std::string id = listModel_->CellText(selected.first().row(), TCustomerListModel::CustId);

    const StoredContact contact = book_->Load(id);
    ui->lblCustId->setText(FromLocal(id));
    fields_->Load(contact.Values());
    opened_ = fields_->ValuesInSaveOrder();

    UpdateTabCaptions();
    EnterMode(Mode::StoredContact);
}

// ---- change tracking ---------------------------------------------------------------------------

void TCustomersForm::pEnableSavebtn() {
    ui->btnSave->setEnabled(!ui->txtCustFrstName->text().isEmpty() ||
                            !ui->txtCustLstName->text().isEmpty() ||
                            !ui->txtCustCmpnyName->text().isEmpty());
    ui->lblSendCustEmail->setEnabled(!ui->txtCustEmail->text().isEmpty());
    for (TExtraContactPage* page : pages_)
        page->SetEmailLinkEnabled(!page->Email().isEmpty());
    ui->lblCustWebSite->setEnabled(!ui->txtCustWebAddress->text().isEmpty());
}

void TCustomersForm::NoteChanged(TNoteMemo* memo, int lineLimit) {
    if (memo->displayedLineCount() > lineLimit)
        memo->revertLatestEdit();
    memo->clearUndoHistory();
    pEnableSavebtn();
}

void TCustomersForm::txtContNotesChange() {
    NoteChanged(ui->txtContNotes, NoteLines(col::Notes));
}

void TCustomersForm::txtExtraNotesChange(int n) {
    NoteChanged(pages_[n - 1]->Notes(), NoteLines(col::ExtraColumn(n, col::XNotes)));
}

// ---- saving, deleting, cancelling --------------------------------------------------------------

void TCustomersForm::btnSave1Click() {
    SaveChangesToCustomers();
}

void TCustomersForm::SaveChangesToCustomers() {
    ShowBusy("Saving Contact Information...");
    TAddressBook::SaveMerge merge;
    // Only a book that syncs can have been changed by a sync while the contact was open.
    book_->SaveOpened(fields_->ValuesInSaveOrder(), ToLocal(ui->lblCustId->text()),
                      fields_->Untouched(), opened_, sync_->setUp() ? &merge : nullptr);
    CloseBusy();
    pClearCustForm();
    if (merge.merged)
        TellMerged(merge.conflicts);
}

void TCustomersForm::TellMerged(const std::vector<int>& conflicts) {
    QString text = QStringLiteral("This contact was changed by a sync while it was open. Your "
                                  "changes were saved into the synchronized contact.");
    if (!conflicts.empty()) {
        QStringList captions;
        for (int column : conflicts)
            captions << QString::fromLocal8Bit(ColumnCaption(column));
        text += QStringLiteral(" Where you and the sync changed the same field, the sync's "
                               "value was kept and yours was added to the notes: %1.")
                    .arg(captions.join(QStringLiteral(", ")));
    }
    QMessageBox box(QMessageBox::Information, QString::fromLocal8Bit(AppTitle()), text,
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("msgSaveMerged"));
    box.exec();
}

void TCustomersForm::btnDelete1Click() {
    // The book is opened before the question; the answer decides the rest.
    bool asked = false;
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    try {
        book_->Delete(ToLocal(ui->lblCustId->text()), [&] {
            answer = AskQuestion(this, "Delete this contact from your list?", "Delete Contact?",
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                                 QMessageBox::NoButton);
            asked = true;
            if (answer != QMessageBox::Yes || ui->lblCustId->text().isEmpty())
                return false;
            ShowBusy("Deleting Contact Information...");
            return true;
        });
    } catch (...) {
        // The delete is over either way: back to the list before the error is shown.
        if (asked && answer != QMessageBox::No) {
            try {
                pClearCustForm();
            } catch (...) {
            }
        }
        CloseBusy();
        throw;
    }
    if (answer != QMessageBox::No)
        pClearCustForm();
    CloseBusy();
}

void TCustomersForm::btnCancel1Click() {
    if (!ui->btnSave->isEnabled() || AskToSaveChanges(false) == QMessageBox::No)
        pClearCustForm();
}

QMessageBox::StandardButton TCustomersForm::AskToSaveChanges(bool offerCancel) {
    const QMessageBox::StandardButton escape =
        offerCancel ? QMessageBox::Cancel : QMessageBox::NoButton;
    const QMessageBox::StandardButton answer =
        AskQuestion(this, "Save changes to this contact?", "Save Changes?",
                    QMessageBox::Yes | QMessageBox::No | escape, QMessageBox::Yes, escape);
    if (answer == QMessageBox::Yes)
        SaveChangesToCustomers();
    return answer;
}

// ---- printing, shell launches, About ------------------------------------------------------

ContactSheetData TCustomersForm::SheetData() const {
    ContactSheetData d;
    d.company = ui->txtCustCmpnyName->text();
    d.firstName = ui->txtCustFrstName->text();
    d.lastName = ui->txtCustLstName->text();
    d.address = ui->txtCustAddress->text();
    d.cityStateZip = ui->txtCtyStZip->text();
    d.email = ui->txtCustEmail->text();
    d.webAddress = ui->txtCustWebAddress->text();
    d.phone = ui->txtCustPhone->value();
    d.fax = ui->txtCustFax->value();
    d.notes = ui->txtContNotes->displayedLines();
    for (int i = 0; i < kExtraContacts; ++i)
        d.extras[i] = pages_[i]->SheetData();
    return d;
}

void TCustomersForm::mnuPrintClick() {
    RunSheetPrintJob([this](ISheetCanvas& canvas, const PrintArea& area) {
        DrawContactSheet(canvas, area, SheetData());
    });
}
void TCustomersForm::mnuHelpClick() {
    TShellOpen::Open(HelpFilePath(), TShellOpen::ShowNormal, "Unable to open the Help files!",
                     this);
}

void TCustomersForm::mnuAboutClick() {
    ShowAboutBox();
}

void TCustomersForm::lblSendCustEmail1Click() {
    TShellOpen::Open("mailto:" + ui->txtCustEmail->text(), TShellOpen::ShowNormal,
                     "Unable to open the Email Composer!", this);
}

void TCustomersForm::lblSendExtraEmailClick(int n) {
    TShellOpen::Open("mailto:" + pages_[n - 1]->Email(), TShellOpen::ShowNormal,
                     "Unable to open the Email Composer!", this);
}

void TCustomersForm::lblCustWebSiteClick() {
    // Handed over exactly as typed: the desktop decides what a text without scheme means.
    TShellOpen::Open(ui->txtCustWebAddress->text(), TShellOpen::ShowMaximized,
                     "Unable to open the Web Browser!", this);
}

#include "frmCustomers.h"
#include "ui_frmCustomers.h"

#include "About.h"
#include "ContactSheet.h"
#include "ContactStore.h"
#include "CustomerListModel.h"
#include "ErrorDisplay.h"
#include "ImportExport.h"
#include "LinkLabel.h"
#include "MaskEdit.h"
#include "NoteMemo.h"
#include "PrintJob.h"
#include "Question.h"
#include "SQLiteTable3.h"
#include "ShellOpen.h"
#include "WholeCharValidator.h"
#include "WindowFont.h"
#include "frmSaving.h"
#include "unitAppInformation.h"
#include "unitFilePath.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <limits>

namespace {
constexpr int kContactNoteLines = 7;
constexpr int kExtraNoteLines = 5;
} // namespace

TCustomersForm::TCustomersForm(QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TCustomersForm>()),
      listModel_(new TCustomerListModel(this)) {
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

    SetupToolBar();
    SetupList();

    for (const ContactField& f : LoadOrderFields()) {
        QWidget* control = Control(f.control);
        fields_.emplace_back(control, f.kind);
    }
    for (int n = 1; n <= kExtraContacts; ++n) {
        extraEmails_[n - 1] = static_cast<QLineEdit*>(Control(QString("txtExtraEmail%1").arg(n)));
        extraEmailLinks_[n - 1] = Control(QString("lblSendExtraEmail%1").arg(n));
    }
    const QString phones[] = {"txtCustPhone", "txtCustFax"};
    for (const QString& name : phones)
        static_cast<TMaskEdit*>(Control(name))->setEditMask(TMaskEdit::kPhoneMask);
    for (int n = 1; n <= kExtraContacts; ++n) {
        static_cast<TMaskEdit*>(Control(QString("txtExtraPhone%1").arg(n)))
            ->setEditMask(TMaskEdit::kPhoneMask);
        static_cast<TMaskEdit*>(Control(QString("txtExtraFax%1").arg(n)))
            ->setEditMask(TMaskEdit::kPhoneMask);
        static_cast<TMaskEdit*>(Control(QString("txtExtraPhoneExt%1").arg(n)))
            ->setEditMask(TMaskEdit::kExtensionMask);
        auto* notes = static_cast<TNoteMemo*>(Control(QString("txtExtraNotes%1").arg(n)));
        notes->setMaxLength(200);
        notes->setFixedSize(185, 89);
    }
    ui->txtContNotes->setMaxLength(500);
    // The web address has no limit of its own; left at Qt's default, a long paste would be cut
    // at 32767 characters without a word.
    ui->txtCustWebAddress->setMaxLength(std::numeric_limits<int>::max());
    ui->txtContNotes->setFixedSize(499, 119);

    auto* wholeChars = new TWholeCharValidator(this);
    txtCustSearch_->setValidator(wholeChars);
    for (auto& [control, kind] : fields_)
        if (kind == FieldKind::Edit)
            static_cast<QLineEdit*>(control)->setValidator(wholeChars);

    WireEvents();
    // File > Import/Export Contacts: the items follow list mode by themselves, and an export
    // takes the contacts the list shows.
    new TImportExport(
        this, ui->mnuFile, ui->mnuClose, ui->pnlLstViewContacts,
        [this] {
            const int kind = cmboCustSearch_->currentIndex();
            return BuildSearchStatement(kind,
                                        kind > 0 ? ToLocal(txtCustSearch_->text()) : std::string());
        },
        [this] { pQueryCustomers(); });
    // Nothing to send to or open before a field holds an address.
    ui->lblSendCustEmail->setEnabled(false);
    ui->lblCustWebSite->setEnabled(false);
    for (QWidget* link : extraEmailLinks_)
        link->setEnabled(false);

    // The client area is fixed: 744 by 493 below the menu, tool bar included.
    ui->centralWidget->setFixedSize(744, 493 - 29);
    ui->tlbarCustomers->setFixedHeight(29);
    adjustSize();
    setFixedSize(744, ui->MainMenu1->sizeHint().height() + 493);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TCustomersForm::~TCustomersForm() = default;

QWidget* TCustomersForm::Control(const QString& name) const {
    auto* w = findChild<QWidget*>(name);
    if (!w)
        throw std::logic_error("No control named " + name.toStdString());
    return w;
}

QString TCustomersForm::Text(const QString& control) const {
    return static_cast<QLineEdit*>(Control(control))->text();
}

void TCustomersForm::SetupToolBar() {
    QToolBar* bar = ui->tlbarCustomers;
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->setStyleSheet("QToolBar#tlbarCustomers { border: none; background: qlineargradient(x1:0, "
                       "y1:0, x2:0, y2:1, stop:0 palette(light), stop:1 palette(button)); }");

    tlbarAddNewCust_ = new QToolButton(bar);
    tlbarAddNewCust_->setObjectName("tlbarAddNewCust");
    tlbarAddNewCust_->setText("Add New Contact");
    tlbarAddNewCust_->setToolTip("Add a new contact to your list");
    tlbarAddNewCust_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tlbarAddNewCust_->setFixedWidth(96);
    bar->addWidget(tlbarAddNewCust_);

    lblCustSearch_ = new QLabel("    Search Contacts By:  ", bar);
    lblCustSearch_->setObjectName("lblCustSearch");
    lblCustSearch_->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    bar->addWidget(lblCustSearch_);

    cmboCustSearch_ = new QComboBox(bar);
    cmboCustSearch_->setObjectName("cmboCustSearch");
    cmboCustSearch_->addItems({"All Contacts", "Company Name", "Last Name", "First Name"});
    cmboCustSearch_->setEditable(false);
    cmboCustSearch_->setToolTip("Search contact list by");
    cmboCustSearch_->setFixedWidth(145);
    bar->addWidget(cmboCustSearch_);

    Label1_ = new QLabel("    ", bar);
    Label1_->setObjectName("Label1");
    bar->addWidget(Label1_);

    txtCustSearch_ = new QLineEdit(bar);
    txtCustSearch_->setObjectName("txtCustSearch");
    txtCustSearch_->setMaxLength(25);
    txtCustSearch_->setToolTip("Enter contact information to search by");
    txtCustSearch_->setFixedWidth(121);
    bar->addWidget(txtCustSearch_);

    // The style may give tool bar controls a font of their own; they belong to the window's.
    for (QWidget* w :
         {static_cast<QWidget*>(tlbarAddNewCust_), static_cast<QWidget*>(lblCustSearch_),
          static_cast<QWidget*>(cmboCustSearch_), static_cast<QWidget*>(Label1_),
          static_cast<QWidget*>(txtCustSearch_)})
        w->setFont(font());
}

void TCustomersForm::SetupList() {
    QTreeView* list = ui->lstvCustomers;
    list->setModel(listModel_);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSortingEnabled(false);
    list->setAllColumnsShowFocus(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView* header = list->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    // The identifier column is there for loading, never seen.
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->resizeSection(TCustomerListModel::CustId, 0);
    list->setColumnHidden(TCustomerListModel::CustId, true);
    header->resizeSection(TCustomerListModel::Company, 140);
    header->resizeSection(TCustomerListModel::Name, 140);
    header->resizeSection(TCustomerListModel::Address, 130);
    header->resizeSection(TCustomerListModel::Phone, 90);
    header->resizeSection(TCustomerListModel::Fax, 90);
    // "City, State, Zip Code" takes whatever the list's width leaves.
    header->setSectionResizeMode(TCustomerListModel::CtyStZp, QHeaderView::Stretch);
    list->installEventFilter(this);
}

void TCustomersForm::WireEvents() {
    connect(ui->mnuClose, &QAction::triggered, this, [this] { Guarded([&] { mnuCloseClick(); }); });
    connect(ui->mnuHelp, &QAction::triggered, this, [this] { Guarded([&] { mnuHelpClick(); }); });
    connect(ui->mnuAbout, &QAction::triggered, this, [this] { Guarded([&] { mnuAboutClick(); }); });
    connect(ui->mnuPrint, &QAction::triggered, this, [this] { Guarded([&] { mnuPrintClick(); }); });
    connect(tlbarAddNewCust_, &QToolButton::clicked, this,
            [this] { Guarded([&] { tlbarAddNewCustClick(); }); });
    // activated: only a selection the user makes runs the handler.
    connect(cmboCustSearch_, &QComboBox::activated, this,
            [this] { Guarded([&] { cmboCustSearchChange(); }); });
    connect(txtCustSearch_, &QLineEdit::textChanged, this,
            [this] { Guarded([&] { txtCustSearchChange(); }); });
    connect(ui->lstvCustomers, &QTreeView::clicked, this,
            [this] { Guarded([&] { lstvCustomers1Click(); }); });
    connect(ui->btnSave, &QPushButton::clicked, this,
            [this] { Guarded([&] { btnSave1Click(); }); });
    connect(ui->btnCancel, &QPushButton::clicked, this,
            [this] { Guarded([&] { btnCancel1Click(); }); });
    connect(ui->btnDelete, &QPushButton::clicked, this,
            [this] { Guarded([&] { btnDelete1Click(); }); });

    for (auto& [control, kind] : fields_) {
        if (kind == FieldKind::Edit)
            connect(static_cast<QLineEdit*>(control), &QLineEdit::textChanged, this,
                    [this] { Guarded([&] { pEnableSavebtn(); }); });
        else if (kind == FieldKind::Masked)
            connect(static_cast<TMaskEdit*>(control), &TMaskEdit::valueChanged, this,
                    [this] { Guarded([&] { pEnableSavebtn(); }); });
    }
    connect(ui->txtContNotes, &TNoteMemo::changed, this,
            [this] { Guarded([&] { txtContNotesChange(); }); });
    for (int n = 1; n <= kExtraContacts; ++n) {
        auto* memo = static_cast<TNoteMemo*>(Control(QString("txtExtraNotes%1").arg(n)));
        connect(memo, &TNoteMemo::changed, this,
                [this, n] { Guarded([&] { txtExtraNotesChange(n); }); });
        auto* link = static_cast<TLinkLabel*>(Control(QString("lblSendExtraEmail%1").arg(n)));
        connect(link, &TLinkLabel::clicked, this,
                [this, n] { Guarded([&] { lblSendExtraEmailClick(n); }); });
    }
    connect(ui->lblSendCustEmail, &TLinkLabel::clicked, this,
            [this] { Guarded([&] { lblSendCustEmail1Click(); }); });
    connect(ui->lblCustWebSite, &TLinkLabel::clicked, this,
            [this] { Guarded([&] { lblCustWebSiteClick(); }); });
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
    const QMessageBox::StandardButton answer =
        AskQuestion(this, "Save changes to this contact?", "Save Changes?",
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes,
                    QMessageBox::Cancel);
    if (answer == QMessageBox::Yes) {
        // A failed save leaves the window open with everything the user typed.
        SaveChangesToCustomers();
        return true;
    }
    return answer == QMessageBox::No;
}

void TCustomersForm::mnuCloseClick() {
    close();
}

// ---- modes -----------------------------------------------------------------------------------

void TCustomersForm::pClearCustForm() {
    cmboCustSearch_->setCurrentIndex(0);
    txtCustSearch_->setEnabled(false);
    for (const char* name :
         {"txtCustFrstName", "txtCustLstName", "txtCustCmpnyName", "txtCustAddress", "txtCtyStZip"})
        SetFieldText(Control(name), FieldKind::Edit, QString());
    SetFieldText(ui->txtCustPhone, FieldKind::Masked, QString());
    SetFieldText(ui->txtCustFax, FieldKind::Masked, QString());
    SetFieldText(ui->txtCustEmail, FieldKind::Edit, QString());
    SetFieldText(ui->txtCustWebAddress, FieldKind::Edit, QString());
    SetFieldText(ui->txtContNotes, FieldKind::Note, QString());
    txtCustSearch_->setText(QString());
    ui->lblCustId->setText(QString());
    ui->gbxCustomer->setTitle("Contact Information Work Area");
    // Each extra contact's seven controls, in loading order, follow the contact's own ten.
    for (std::size_t i = 10; i < fields_.size(); ++i)
        SetFieldText(fields_[i].first, fields_[i].second, QString());
    UpdateTabCaptions();
    ui->btnDelete->setEnabled(false);
    ui->btnSave->setEnabled(false);
    ui->btnCancel->setEnabled(false);
    tlbarAddNewCust_->setEnabled(true);
    ui->lstvCustomers->setEnabled(true);
    cmboCustSearch_->setEnabled(true);
    lblCustSearch_->setEnabled(true);
    ui->mnuPrint->setVisible(false);
    ui->pnlContacts->hide();
    ui->pnlLstViewContacts->show();
    pQueryCustomers();
}

void TCustomersForm::tlbarAddNewCustClick() {
    ui->pnlContacts->show();
    ui->pnlLstViewContacts->hide();
    for (const char* name :
         {"txtCustFrstName", "txtCustLstName", "txtCustCmpnyName", "txtCustAddress", "txtCtyStZip"})
        SetFieldText(Control(name), FieldKind::Edit, QString());
    SetFieldText(ui->txtCustPhone, FieldKind::Masked, QString());
    SetFieldText(ui->txtCustFax, FieldKind::Masked, QString());
    ui->lblCustId->setText(QString());
    ui->lblSendCustEmail->setEnabled(false);
    ui->gbxCustomer->setTitle("New Contact Information");
    ui->btnCancel->setEnabled(true);
    ui->btnDelete->setEnabled(false);
    ui->btnSave->setEnabled(false);
    tlbarAddNewCust_->setEnabled(false);
    cmboCustSearch_->setEnabled(false);
    lblCustSearch_->setEnabled(false);
    txtCustSearch_->setEnabled(false);
    ui->txtCustCmpnyName->setFocus();
}

void TCustomersForm::UpdateTabCaptions() {
    for (int n = 1; n <= kExtraContacts; ++n) {
        const QString title = Text(QString("txtExtraTitle%1").arg(n));
        ui->PageControl1->setTabText(n,
                                     title.isEmpty() ? QString("Extra Contact %1").arg(n) : title);
    }
    ui->PageControl1->setCurrentIndex(0);
}

// ---- list and search -----------------------------------------------------------------------

void TCustomersForm::pQueryCustomers() {
    TSQLiteDatabase db(ContactDbPath());
    const int kind = cmboCustSearch_->currentIndex();
    const std::string statement =
        BuildSearchStatement(kind, kind > 0 ? ToLocal(txtCustSearch_->text()) : std::string());
    std::unique_ptr<TSQLiteTable> result = db.OpenResult(statement);
    listModel_->Fill(*result);
    ui->lstvCustomers->clearSelection();
    ui->lstvCustomers->setCurrentIndex(QModelIndex());
    // Lay the new rows out now rather than on the view's own deferred pass: a paint already
    // queued (the list panel just shown by the reset) would otherwise come first, lay out inside
    // itself and ask for a second paint of the whole list.
    ui->lstvCustomers->doItemsLayout();
}

void TCustomersForm::cmboCustSearchChange() {
    if (cmboCustSearch_->currentIndex() == 0) {
        txtCustSearch_->setText(QString());
        txtCustSearch_->setEnabled(false);
        ui->lstvCustomers->setFocus();
        pQueryCustomers();
    } else {
        txtCustSearch_->setText(QString());
        txtCustSearch_->setEnabled(true);
        txtCustSearch_->setFocus();
    }
}

void TCustomersForm::txtCustSearchChange() {
    if (cmboCustSearch_->currentIndex() > 0)
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

    TSQLiteDatabase db(ContactDbPath());
    std::unique_ptr<TSQLiteTable> result = db.OpenResult(BuildSelectByIdStatement(id));
    ui->lblCustId->setText(FromLocal(id));
    const std::vector<ContactField>& table = LoadOrderFields();
    for (std::size_t i = 0; i < table.size(); ++i)
        SetFieldText(fields_[i].first, fields_[i].second,
                     FromLocal(result->TextOrEmptyAt(result->ColumnOf(table[i].column))));

    ui->btnCancel->setEnabled(true);
    ui->btnDelete->setEnabled(true);
    ui->btnSave->setEnabled(false);
    tlbarAddNewCust_->setEnabled(false);
    ui->gbxCustomer->setTitle("Edit Contact Information");
    cmboCustSearch_->setEnabled(false);
    lblCustSearch_->setEnabled(false);
    txtCustSearch_->setEnabled(false);
    ui->mnuPrint->setVisible(true);

    ui->pnlContacts->show();
    ui->pnlLstViewContacts->hide();
    UpdateTabCaptions();
    ui->txtCustCmpnyName->setFocus();
}

// ---- change tracking ---------------------------------------------------------------------------

void TCustomersForm::pEnableSavebtn() {
    ui->btnSave->setEnabled(!ui->txtCustFrstName->text().isEmpty() ||
                            !ui->txtCustLstName->text().isEmpty() ||
                            !ui->txtCustCmpnyName->text().isEmpty());
    ui->lblSendCustEmail->setEnabled(!ui->txtCustEmail->text().isEmpty());
    for (int i = 0; i < kExtraContacts; ++i)
        extraEmailLinks_[i]->setEnabled(!extraEmails_[i]->text().isEmpty());
    ui->lblCustWebSite->setEnabled(!ui->txtCustWebAddress->text().isEmpty());
}

void TCustomersForm::NoteChanged(TNoteMemo* memo, int lineLimit) {
    if (memo->displayedLineCount() > lineLimit)
        memo->revertLatestEdit();
    memo->clearUndoHistory();
    pEnableSavebtn();
}

void TCustomersForm::txtContNotesChange() {
    NoteChanged(ui->txtContNotes, kContactNoteLines);
}

void TCustomersForm::txtExtraNotesChange(int n) {
    NoteChanged(static_cast<TNoteMemo*>(Control(QString("txtExtraNotes%1").arg(n))),
                kExtraNoteLines);
}

// ---- saving, deleting, cancelling --------------------------------------------------------------

ContactValues TCustomersForm::ValuesInSaveOrder() const {
    ContactValues values;
    const auto& columns = SaveOrderColumns();
    for (int i = 0; i < kDataColumns; ++i) {
        const ContactField& field = FieldOfColumn(columns[i]);
        values[i] = ToLocal(FieldText(Control(field.control), field.kind));
    }
    return values;
}

void TCustomersForm::btnSave1Click() {
    SaveChangesToCustomers();
}

void TCustomersForm::SaveChangesToCustomers() {
    ShowBusy("Saving Contact Information...");
    {
        TSQLiteDatabase db(ContactDbPath());
        WriteContact(db, ValuesInSaveOrder(), ToLocal(ui->lblCustId->text()));
        CloseBusy();
    }
    pClearCustForm();
}

void TCustomersForm::btnDelete1Click() {
    auto db = std::make_unique<TSQLiteDatabase>(ContactDbPath());
    const QMessageBox::StandardButton answer =
        AskQuestion(this, "Delete this contact from your list?", "Delete Contact?",
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::NoButton);
    const std::string id = ToLocal(ui->lblCustId->text());
    try {
        if (answer == QMessageBox::Yes && !id.empty()) {
            ShowBusy("Deleting Contact Information...");
            DeleteContact(*db, id);
        }
    } catch (...) {
        db.reset();
        // The delete is over either way: back to the list before the error is shown.
        if (answer != QMessageBox::No) {
            try {
                pClearCustForm();
            } catch (...) {
            }
        }
        CloseBusy();
        throw;
    }
    db.reset();
    if (answer != QMessageBox::No)
        pClearCustForm();
    CloseBusy();
}

void TCustomersForm::btnCancel1Click() {
    if (!ui->btnSave->isEnabled()) {
        pClearCustForm();
        return;
    }
    const QMessageBox::StandardButton answer =
        AskQuestion(this, "Save changes to this contact?", "Save Changes?",
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::NoButton);
    if (answer == QMessageBox::Yes)
        SaveChangesToCustomers();
    else if (answer == QMessageBox::No)
        pClearCustForm();
}

// ---- printing, shell launches, About
// -------------------------------------------------------------

ContactSheetData TCustomersForm::SheetData() const {
    auto masked = [this](const QString& name) {
        return static_cast<TMaskEdit*>(Control(name))->value();
    };
    auto lines = [this](const QString& name) {
        return static_cast<TNoteMemo*>(Control(name))->displayedLines();
    };
    ContactSheetData d;
    d.company = Text("txtCustCmpnyName");
    d.firstName = Text("txtCustFrstName");
    d.lastName = Text("txtCustLstName");
    d.address = Text("txtCustAddress");
    d.cityStateZip = Text("txtCtyStZip");
    d.email = Text("txtCustEmail");
    d.webAddress = Text("txtCustWebAddress");
    d.phone = masked("txtCustPhone");
    d.fax = masked("txtCustFax");
    d.notes = lines("txtContNotes");
    for (int n = 1; n <= kExtraContacts; ++n) {
        ExtraContactSheetData& e = d.extras[n - 1];
        e.title = Text(QString("txtExtraTitle%1").arg(n));
        e.name = Text(QString("txtExtraName%1").arg(n));
        e.phone = masked(QString("txtExtraPhone%1").arg(n));
        e.extension = masked(QString("txtExtraPhoneExt%1").arg(n));
        e.fax = masked(QString("txtExtraFax%1").arg(n));
        e.notes = lines(QString("txtExtraNotes%1").arg(n));
    }
    return d;
}

void TCustomersForm::DrawContactSheet(ISheetCanvas& canvas) const {
    ::DrawContactSheet(canvas, SheetData());
}

void TCustomersForm::mnuPrintClick() {
    RunSheetPrintJob([this](ISheetCanvas& canvas) { DrawContactSheet(canvas); });
}
void TCustomersForm::mnuHelpClick() {
    TShellOpen::Open(HelpFilePath(), TShellOpen::ShowNormal, "Unable to open the Help files!",
                     this);
}

void TCustomersForm::mnuAboutClick() {
    ShowAboutBox();
}

void TCustomersForm::lblSendCustEmail1Click() {
    TShellOpen::Open("mailto:" + Text("txtCustEmail"), TShellOpen::ShowNormal,
                     "Unable to open the Email Composer!", this);
}

void TCustomersForm::lblSendExtraEmailClick(int n) {
    TShellOpen::Open("mailto:" + Text(QString("txtExtraEmail%1").arg(n)), TShellOpen::ShowNormal,
                     "Unable to open the Email Composer!", this);
}

void TCustomersForm::lblCustWebSiteClick() {
    // Handed over exactly as typed: the desktop decides what a text without scheme means.
    TShellOpen::Open(Text("txtCustWebAddress"), TShellOpen::ShowMaximized,
                     "Unable to open the Web Browser!", this);
}

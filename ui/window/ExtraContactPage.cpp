#include "ExtraContactPage.h"
#include "ui_ExtraContactPage.h"

#include "ContactSheet.h"

TExtraContactPage::TExtraContactPage(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TExtraContactPage>()) {
    ui->setupUi(this);
    connect(ui->txtExtraNotes, &TNoteMemo::changed, this, &TExtraContactPage::notesChanged);
    connect(ui->lblSendExtraEmail, &TLinkLabel::clicked, this,
            &TExtraContactPage::emailLinkClicked);
}

TExtraContactPage::~TExtraContactPage() = default;

void TExtraContactPage::SetNumber(int n) {
    const QString digits = QString::number(n);
    static const QLatin1String caption("Label");
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QString name = control->objectName();
        name.insert(name.endsWith(caption) ? name.size() - caption.size() : name.size(), digits);
        control->setObjectName(name);
    }
}

QString TExtraContactPage::Title() const {
    return ui->txtExtraTitle->text();
}

QString TExtraContactPage::Email() const {
    return ui->txtExtraEmail->text();
}

void TExtraContactPage::SetEmailLinkEnabled(bool enabled) {
    ui->lblSendExtraEmail->setEnabled(enabled);
}

TNoteMemo* TExtraContactPage::Notes() const {
    return ui->txtExtraNotes;
}

std::vector<QWidget*> TExtraContactPage::Fields() const {
    return {ui->txtExtraName, ui->txtExtraTitle, ui->txtExtraPhone, ui->txtExtraPhoneExt,
            ui->txtExtraFax,  ui->txtExtraEmail, ui->txtExtraNotes};
}

QList<QWidget*> TExtraContactPage::KeyboardOrder() const {
    return {ui->txtExtraName, ui->txtExtraTitle, ui->txtExtraPhone, ui->txtExtraPhoneExt,
            ui->txtExtraFax,  ui->txtExtraNotes, ui->txtExtraEmail};
}

ExtraContactSheetData TExtraContactPage::SheetData() const {
    ExtraContactSheetData e;
    e.title = ui->txtExtraTitle->text();
    e.name = ui->txtExtraName->text();
    e.phone = ui->txtExtraPhone->value();
    e.extension = ui->txtExtraPhoneExt->value();
    e.fax = ui->txtExtraFax->value();
    e.notes = ui->txtExtraNotes->displayedLines();
    return e;
}

#include "ui/window/ExtraContactPage.h"
#include "ui_ExtraContactPage.h"

#include "printing/ContactSheet.h"

#include <QLabel>

namespace {
// A field with its caption and what a screen reader calls it after "Extra contact n": the
// captions read alike on all five pages, so the page's number goes in front.
struct SpokenField {
    QWidget* field;
    QLabel* label;
    const char* name;
};
std::vector<SpokenField> SpokenFields(const Ui::TExtraContactPage& ui) {
    return {{ui.txtExtraName, ui.txtExtraNameLabel, "name"},
            {ui.txtExtraTitle, ui.txtExtraTitleLabel, "title"},
            {ui.txtExtraPhone, ui.lblExtraPhoneNm, "phone number"},
            {ui.txtExtraPhoneExt, ui.lblExtraPhoneExtNm, "phone extension"},
            {ui.txtExtraFax, ui.lblExtraFaxNm, "fax number"},
            {ui.txtExtraEmail, ui.txtExtraEmailLabel, "e-mail address"},
            {ui.txtExtraNotes, ui.lblExtraNotesNm, "notes"}};
}
} // namespace

TExtraContactPage::TExtraContactPage(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TExtraContactPage>()) {
    ui->setupUi(this);
    connect(ui->txtExtraNotes, &TNoteMemo::changed, this, &TExtraContactPage::notesChanged);
    connect(ui->lblSendExtraEmail, &TLinkLabel::clicked, this,
            &TExtraContactPage::emailLinkClicked);
    // Each caption labels its field, for a screen reader's "labelled by".
    for (const SpokenField& f : SpokenFields(*ui))
        f.label->setBuddy(f.field);
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
    const QString who = QStringLiteral("Extra contact %1 ").arg(n);
    for (const SpokenField& f : SpokenFields(*ui))
        f.field->setAccessibleName(who + QLatin1String(f.name));
    ui->lblSendExtraEmail->NameAfter(ui->txtExtraEmail, QStringLiteral("Send e-mail to %1"));
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

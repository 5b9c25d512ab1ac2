#include "ExtraContactPage.h"
#include "ui_ExtraContactPage.h"

#include "ContactSheet.h"

TExtraContactPage::TExtraContactPage(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TExtraContactPage>()) {
    ui->setupUi(this);
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

std::array<std::pair<QWidget*, FieldKind>, kColumnsPerExtra> TExtraContactPage::Fields() const {
    return {{{ui->txtExtraName, FieldKind::Edit},
             {ui->txtExtraTitle, FieldKind::Edit},
             {ui->txtExtraPhone, FieldKind::Masked},
             {ui->txtExtraPhoneExt, FieldKind::Masked},
             {ui->txtExtraFax, FieldKind::Masked},
             {ui->txtExtraEmail, FieldKind::Edit},
             {ui->txtExtraNotes, FieldKind::Note}}};
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

#include "ContactFields.h"

#include "MaskEdit.h"
#include "NoteMemo.h"

#include <QLineEdit>
#include <QVariant>
#include <stdexcept>

const std::vector<ContactField>& LoadOrderFields() {
    static const std::vector<ContactField> fields = [] {
        std::vector<ContactField> f = {
            {"txtCustCmpnyName", "dbCustCompany", FieldKind::Edit},
            {"txtCustFrstName", "dbCustFirstName", FieldKind::Edit},
            {"txtCustLstName", "dbCustLastName", FieldKind::Edit},
            {"txtCustEmail", "dbCustEmail", FieldKind::Edit},
            {"txtCustWebAddress", "dbCustWebSite", FieldKind::Edit},
            {"txtCustAddress", "dbCustAddress", FieldKind::Edit},
            {"txtCtyStZip", "dbCustCtyStZp", FieldKind::Edit},
            {"txtCustPhone", "dbCustPhone", FieldKind::Masked},
            {"txtCustFax", "dbCustFax", FieldKind::Masked},
            {"txtContNotes", "dbCustNotes", FieldKind::Note},
        };
        struct Extra {
            const char* control;
            const char* column;
            FieldKind kind;
        };
        const Extra extras[] = {{"txtExtraName", "dbExtraName", FieldKind::Edit},
                                {"txtExtraTitle", "dbExtraTitle", FieldKind::Edit},
                                {"txtExtraPhone", "dbExtraPhone", FieldKind::Masked},
                                {"txtExtraPhoneExt", "dbExtraPhoneExt", FieldKind::Masked},
                                {"txtExtraFax", "dbExtraFax", FieldKind::Masked},
                                {"txtExtraEmail", "dbExtraEmail", FieldKind::Edit},
                                {"txtExtraNotes", "dbExtraNotes", FieldKind::Note}};
        for (int n = 1; n <= kExtraContacts; ++n)
            for (const Extra& e : extras)
                f.push_back({QString(e.control) + QString::number(n), e.column + std::to_string(n),
                             e.kind});
        return f;
    }();
    return fields;
}

const ContactField& FieldOfColumn(const std::string& column) {
    for (const ContactField& f : LoadOrderFields())
        if (f.column == column)
            return f;
    throw std::logic_error("No control holds column " + column);
}

QString FieldText(const QWidget* control, FieldKind kind) {
    switch (kind) {
    case FieldKind::Masked:
        return static_cast<const TMaskEdit*>(control)->value();
    case FieldKind::Note:
        return static_cast<const TNoteMemo*>(control)->text();
    case FieldKind::Edit:
        break;
    }
    return static_cast<const QLineEdit*>(control)->text();
}

void SetFieldText(QWidget* control, FieldKind kind, const QString& text) {
    switch (kind) {
    case FieldKind::Masked:
        static_cast<TMaskEdit*>(control)->setValue(text);
        return;
    case FieldKind::Note:
        static_cast<TNoteMemo*>(control)->setText(text);
        return;
    case FieldKind::Edit:
        break;
    }
    // An edit's limit is for typing only: a longer stored text must show whole, or a save would
    // cut it. The limit is raised for such a text and drops back for the next one.
    auto* edit = static_cast<QLineEdit*>(control);
    QVariant nominal = edit->property("nominalMaxLength");
    if (!nominal.isValid()) {
        nominal = edit->maxLength();
        edit->setProperty("nominalMaxLength", nominal);
    }
    const int limit = qMax(nominal.toInt(), static_cast<int>(text.length()));
    if (limit > edit->maxLength()) {
        edit->setMaxLength(limit);
        edit->setText(text);
    } else {
        edit->setText(text);
        edit->setMaxLength(limit);
    }
}

std::string ToLocal(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

QString FromLocal(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

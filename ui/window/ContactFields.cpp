#include "ui/window/ContactFields.h"

#include "ui/widgets/MaskEdit.h"
#include "ui/widgets/NoteMemo.h"

#include <QLineEdit>
#include <QVariant>
#include <limits>
#include <stdexcept>

FieldKind KindOf(FieldType type) {
    switch (type) {
    case FieldType::Phone:
    case FieldType::Fax:
    case FieldType::Extension:
        return FieldKind::Masked;
    case FieldType::Notes:
        return FieldKind::Note;
    default:
        return FieldKind::Edit;
    }
}

const std::vector<ContactField>& LoadOrderFields() {
    static const std::vector<ContactField> fields = [] {
        std::vector<ContactField> f;
        for (int i : LoadOrder()) {
            const ContactColumn& c = ContactColumnTable()[i];
            f.push_back({QString::fromStdString(c.control), c.name, i, KindOf(c.type)});
        }
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

TFieldControl::TFieldControl(QWidget* control)
    : masked_(qobject_cast<TMaskEdit*>(control)), note_(qobject_cast<TNoteMemo*>(control)) {
    if (!masked_ && !note_)
        edit_ = qobject_cast<QLineEdit*>(control);
    if (!masked_ && !note_ && !edit_)
        throw std::logic_error("Not a data control: " + control->objectName().toStdString());
}

QWidget* TFieldControl::Widget() const {
    if (masked_)
        return masked_;
    if (note_)
        return note_;
    return edit_;
}

FieldKind TFieldControl::Kind() const {
    return masked_ ? FieldKind::Masked : note_ ? FieldKind::Note : FieldKind::Edit;
}

QString TFieldControl::Text() const {
    if (masked_)
        return masked_->value();
    if (note_)
        return note_->text();
    return edit_->text();
}

void TFieldControl::SetText(const QString& text) {
    if (masked_) {
        masked_->setValue(text);
        return;
    }
    if (note_) {
        note_->setText(text);
        return;
    }
    // An edit's limit is for typing only: a longer stored text must show whole, or a save would
    // cut it. The limit is raised for such a text and drops back for the next one.
    QVariant nominal = edit_->property("nominalMaxLength");
    if (!nominal.isValid()) {
        nominal = edit_->maxLength();
        edit_->setProperty("nominalMaxLength", nominal);
    }
    const int limit = qMax(nominal.toInt(), static_cast<int>(text.length()));
    if (limit > edit_->maxLength()) {
        edit_->setMaxLength(limit);
        edit_->setText(text);
    } else {
        edit_->setText(text);
        edit_->setMaxLength(limit);
    }
}

void TFieldControl::Apply(const ContactColumn& column) {
    if (masked_) {
        masked_->setEditMask(QLatin1String(column.type == FieldType::Extension
                                               ? TMaskEdit::kExtensionMask
                                               : TMaskEdit::kPhoneMask));
        return;
    }
    // Without a limit of its own a long paste would be cut at Qt's 32767 characters unsaid.
    const int limit =
        column.limit > 0 ? static_cast<int>(column.limit) : std::numeric_limits<int>::max();
    if (note_)
        note_->setMaxLength(limit);
    else
        edit_->setMaxLength(limit);
}

void TFieldControl::OnChange(QObject* context, std::function<void()> handler) const {
    if (masked_)
        QObject::connect(masked_, &TMaskEdit::valueChanged, context, [handler] { handler(); });
    else if (edit_)
        QObject::connect(edit_, &QLineEdit::textChanged, context, [handler] { handler(); });
}

QString FieldText(const QWidget* control) {
    return TFieldControl(const_cast<QWidget*>(control)).Text();
}

void SetFieldText(QWidget* control, const QString& text) {
    TFieldControl(control).SetText(text);
}

std::string ToLocal(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

QString FromLocal(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

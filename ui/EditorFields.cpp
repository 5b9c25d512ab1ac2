#include "EditorFields.h"

#include "SQLiteTable3.h"

#include <QWidget>
#include <stdexcept>

TEditorFields::TEditorFields(std::vector<Control> controls) : controls_(std::move(controls)) {
    const std::vector<ContactField>& table = LoadOrderFields();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (i >= controls_.size() || controls_[i].first->objectName() != table[i].control ||
            controls_[i].second != table[i].kind)
            throw std::logic_error("The editor has no control " + table[i].control.toStdString() +
                                   " in its place");
}

void TEditorFields::Load(TSQLiteTable& result) const {
    const std::vector<ContactField>& table = LoadOrderFields();
    for (std::size_t i = 0; i < table.size(); ++i)
        SetFieldText(controls_[i].first, controls_[i].second,
                     FromLocal(result.TextOrEmptyAt(result.ColumnOf(table[i].column))));
}

ContactValues TEditorFields::ValuesInSaveOrder() const {
    ContactValues values;
    const ContactField* table = LoadOrderFields().data();
    for (int i = 0; i < kDataColumns; ++i) {
        const auto& [control, kind] = controls_[&FieldOfColumn(SaveOrderColumns()[i]) - table];
        values[i] = ToLocal(FieldText(control, kind));
    }
    return values;
}

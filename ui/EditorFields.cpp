#include "EditorFields.h"

#include "SQLiteTable3.h"
#include "StoredText.h"

#include <QWidget>
#include <algorithm>
#include <stdexcept>

TEditorFields::TEditorFields(std::vector<Control> controls) : controls_(std::move(controls)) {
    const std::vector<ContactField>& table = LoadOrderFields();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (i >= controls_.size() || controls_[i].first->objectName() != table[i].control ||
            controls_[i].second != table[i].kind)
            throw std::logic_error("The editor has no control " + table[i].control.toStdString() +
                                   " in its place");
}

void TEditorFields::Load(TSQLiteTable& result, const KeptColumns& cutShort) {
    const std::vector<ContactField>& table = LoadOrderFields();
    approximations_.clear();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& [control, kind] = controls_[i];
        const std::string stored = result.TextOrEmptyAt(result.ColumnOf(table[i].column));
        SetFieldText(control, kind, FromStored(stored));
        if (!ShowsExactly(stored) || cutShort[SaveIndexOf(i)])
            approximations_.emplace_back(i, FieldText(control, kind));
    }
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

KeptColumns TEditorFields::UnchangedApproximations() const {
    KeptColumns kept;
    for (const auto& [i, shown] : approximations_) {
        const auto& [control, kind] = controls_[i];
        if (FieldText(control, kind) == shown)
            kept.set(SaveIndexOf(i));
    }
    return kept;
}

std::size_t TEditorFields::SaveIndexOf(std::size_t loadIndex) {
    const auto& columns = SaveOrderColumns();
    return static_cast<std::size_t>(
        std::find(columns.begin(), columns.end(), LoadOrderFields()[loadIndex].column) -
        columns.begin());
}

#include "ui/window/EditorFields.h"

#include "ui/window/StoredText.h"

#include <QWidget>
#include <stdexcept>

TEditorFields::TEditorFields(const std::vector<QWidget*>& controls) {
    const std::vector<ContactField>& table = LoadOrderFields();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (i >= controls.size() || controls[i]->objectName() != table[i].control)
            throw std::logic_error("The editor has no control " + table[i].control.toStdString() +
                                   " in its place");
        TFieldControl control(controls[i]);
        if (control.Kind() != table[i].kind)
            throw std::logic_error("The control " + table[i].control.toStdString() +
                                   " is of another kind than its column");
        control.Apply(ContactColumnTable()[table[i].saveIndex]);
        controls_.push_back(control);
    }
}

void TEditorFields::Load(const ContactValues& stored) {
    const std::vector<ContactField>& table = LoadOrderFields();
    loaded_.clear();
    for (std::size_t i = 0; i < table.size(); ++i) {
        controls_[i].SetText(FromStored(stored[table[i].saveIndex]));
        loaded_.push_back(controls_[i].Text());
    }
}

ContactValues TEditorFields::ValuesInSaveOrder() const {
    const std::vector<ContactField>& table = LoadOrderFields();
    ContactValues values;
    for (std::size_t i = 0; i < table.size(); ++i)
        values[table[i].saveIndex] = ToLocal(controls_[i].Text());
    return values;
}

KeptColumns TEditorFields::Untouched() const {
    const std::vector<ContactField>& table = LoadOrderFields();
    KeptColumns untouched;
    for (std::size_t i = 0; i < loaded_.size(); ++i)
        if (controls_[i].Text() == loaded_[i])
            untouched.set(table[i].saveIndex);
    return untouched;
}

#pragma once

#include "ui/window/ContactFields.h"

#include <utility>
#include <vector>

class QWidget;

// The editor's data controls in loading order, each bound to the column the column table gives
// it, with that column's limit and mask; loads a contact into them and reads them back for
// saving.
class TEditorFields {
public:
    // The controls must be those the column table names, in loading order: a mismatch throws.
    explicit TEditorFields(const std::vector<QWidget*>& controls);

    const std::vector<TFieldControl>& Controls() const { return controls_; }
    // Every control takes its column's stored text (given in table order).
    void Load(const ContactValues& stored);
    // The controls' texts, in table order, which the save statements follow.
    ContactValues ValuesInSaveOrder() const;
    // The columns whose control still shows what it showed right after loading.
    KeptColumns Untouched() const;

private:
    std::vector<TFieldControl> controls_;
    std::vector<QString> loaded_; // each control's text right after loading, in loading order
};

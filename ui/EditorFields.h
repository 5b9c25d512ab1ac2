#pragma once

#include "ContactFields.h"

#include <utility>
#include <vector>

class TSQLiteTable;
class QWidget;

// The editor's data controls in loading order, each bound to the column the control table gives
// it; loads a contact into them and reads them back for saving.
class TEditorFields {
public:
    using Control = std::pair<QWidget*, FieldKind>;

    // The controls must be those the control table names, in its order: a mismatch throws.
    explicit TEditorFields(std::vector<Control> controls);

    const std::vector<Control>& Controls() const { return controls_; }
    // Every control takes its column's text from the result's current row.
    void Load(TSQLiteTable& result) const;
    // The controls' texts, in the order the save statements take them.
    ContactValues ValuesInSaveOrder() const;

private:
    std::vector<Control> controls_;
};

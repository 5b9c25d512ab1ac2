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
    // Every control takes its column's text from the result's current row; cutShort names the
    // columns whose text the result could not carry whole.
    void Load(TSQLiteTable& result, const KeptColumns& cutShort);
    // The controls' texts, in the order the save statements take them.
    ContactValues ValuesInSaveOrder() const;
    // The columns whose stored value no control could show exactly (a zero byte inside, a
    // blob, text in another encoding) and whose control still shows what it showed on loading:
    // a save leaves them as they are stored rather than write back an approximation.
    KeptColumns UnchangedApproximations() const;

private:
    static std::size_t SaveIndexOf(std::size_t loadIndex);

    std::vector<Control> controls_;
    // For each column loaded inexactly, in loading order: its control's text right after loading.
    std::vector<std::pair<std::size_t, QString>> approximations_;
};

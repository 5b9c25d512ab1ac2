#pragma once

#include "storage/ContactStatements.h"

#include <QString>
#include <functional>
#include <vector>

class QLineEdit;
class QObject;
class QWidget;
class TMaskEdit;
class TNoteMemo;

// The editor's data controls and the columns they hold, all taken from the storage layer's
// column table.
enum class FieldKind { Edit, Masked, Note };
FieldKind KindOf(FieldType type);

struct ContactField {
    QString control; // the control's objectName
    std::string column;
    int saveIndex; // the column's place in the table, which the save statements follow
    FieldKind kind;
};

// The 45 data controls in loading order: company, first name, last name, e-mail, web site,
// address, city-state-zip, phone, fax, notes, then each extra contact's in table order.
const std::vector<ContactField>& LoadOrderFields();
const ContactField& FieldOfColumn(const std::string& column);

// One data control of the editor, whatever its kind: an edit, a masked edit or a note.
class TFieldControl {
public:
    explicit TFieldControl(QWidget* control);

    QWidget* Widget() const;
    FieldKind Kind() const;
    // The plain edit, or null for a masked edit or a note.
    QLineEdit* PlainEdit() const { return edit_; }
    // A masked control gives its full-length value, a note its text with CR LF line breaks.
    QString Text() const;
    void SetText(const QString& text);
    // Takes the column's limit and, for a masked control, its mask.
    void Apply(const ContactColumn& column);
    // Calls `handler` on every change of an edit's or masked edit's text; the notes have
    // change handlers of their own.
    void OnChange(QObject* context, std::function<void()> handler) const;

private:
    QLineEdit* edit_ = nullptr;
    TMaskEdit* masked_ = nullptr;
    TNoteMemo* note_ = nullptr;
};

QString FieldText(const QWidget* control);
void SetFieldText(QWidget* control, const QString& text);

std::string ToLocal(const QString& text);
QString FromLocal(const std::string& text);

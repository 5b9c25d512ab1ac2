#pragma once

#include "ContactStatements.h"

#include <QString>
#include <vector>

class QWidget;

// The editor's data controls and the columns they hold. The table is in loading order; the
// save statements take their order from the storage layer's column list, so each order is
// written down exactly once.
enum class FieldKind { Edit, Masked, Note };

struct ContactField {
    QString control; // the control's objectName
    std::string column;
    FieldKind kind;
};

const std::vector<ContactField>& LoadOrderFields();
const ContactField& FieldOfColumn(const std::string& column);

// Reading and writing a data control's text whatever its kind: a masked control gives its
// full-length value, a note its text with CR LF line breaks.
QString FieldText(const QWidget* control, FieldKind kind);
void SetFieldText(QWidget* control, FieldKind kind, const QString& text);

std::string ToLocal(const QString& text);
QString FromLocal(const std::string& text);

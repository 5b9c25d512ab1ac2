#pragma once

#include "ContactFields.h"

#include <QList>
#include <QWidget>
#include <array>
#include <memory>
#include <utility>

struct ExtraContactSheetData;

namespace Ui {
class TExtraContactPage;
}

// One extra contact's page of the editor's tab control: name, title, phone, extension, fax,
// e-mail with its link, and notes. The layout lives in ExtraContactPage.ui, whose controls carry
// their base names; SetNumber gives them the names of extra contact n: the number is appended
// ("txtExtraPhone" becomes "txtExtraPhone3"), before a trailing "Label" for the captions of
// labeled edits ("txtExtraNameLabel" becomes "txtExtraName3Label").
class TExtraContactPage : public QWidget {
    Q_OBJECT
public:
    explicit TExtraContactPage(QWidget* parent = nullptr);
    ~TExtraContactPage() override;

    void SetNumber(int n);

    // The page's controls, typed: txtExtraName, txtExtraTitle, txtExtraPhone, txtExtraPhoneExt,
    // txtExtraFax, txtExtraEmail, lblSendExtraEmail, txtExtraNotes and their captions.
    const Ui::TExtraContactPage& Controls() const { return *ui; }

    // The data controls in loading order: name, title, phone, extension, fax, e-mail, notes.
    std::array<std::pair<QWidget*, FieldKind>, kColumnsPerExtra> Fields() const;
    // The keyboard order: name, title, phone, extension, fax, notes, then e-mail.
    QList<QWidget*> KeyboardOrder() const;
    // What the contact sheet prints of this extra contact.
    ExtraContactSheetData SheetData() const;

private:
    std::unique_ptr<Ui::TExtraContactPage> ui;
};

#pragma once

#include <QList>
#include <QWidget>
#include <memory>
#include <vector>

struct ExtraContactSheetData;
class TNoteMemo;

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

    QString Title() const;
    QString Email() const;
    void SetEmailLinkEnabled(bool enabled);
    TNoteMemo* Notes() const;

    // The data controls in loading order: name, title, phone, extension, fax, e-mail, notes.
    std::vector<QWidget*> Fields() const;
    // The keyboard order: name, title, phone, extension, fax, notes, then e-mail.
    QList<QWidget*> KeyboardOrder() const;
    // What the contact sheet prints of this extra contact.
    ExtraContactSheetData SheetData() const;

signals:
    void notesChanged();
    void emailLinkClicked();

private:
    std::unique_ptr<Ui::TExtraContactPage> ui;
};

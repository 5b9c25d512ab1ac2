#pragma once

#include "ui/dialogs/FileChooser.h"

#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QAction;
class TAddressBook;
class QMenu;
class QWidget;

// The File menu's "Import Contacts..." and "Export Contacts..." with their file dialogs, the
// progress of a big import and the summary. The two items stand above "Exit" and are enabled
// exactly while the window is in list mode, that is while the list panel is shown: no contact
// is open in the editor, so nothing the user typed can be lost or overwritten.
class TImportExport : public QObject {
    Q_OBJECT

public:
    // `listStatement` gives the query of the contacts the list shows now; `refill` refills the
    // list after an import.
    TImportExport(QWidget* window, TAddressBook& book, QMenu* fileMenu, QAction* before,
                  QWidget* listPanel, std::function<std::string()> listStatement,
                  std::function<void()> refill);

    void importContacts();
    void exportContacts();
    void findDuplicates();

    // Where the file names come from; the desktop's file dialogs unless replaced.
    void SetFileChooser(std::unique_ptr<TFileChooser> chooser) { chooser_ = std::move(chooser); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followListPanel();

    QWidget* window_;
    TAddressBook& book_;
    QWidget* listPanel_;
    QAction* import_;
    QAction* export_;
    QAction* duplicates_;
    std::function<std::string()> listStatement_;
    std::function<void()> refill_;
    std::unique_ptr<TFileChooser> chooser_ = std::make_unique<TFileChooser>();
};

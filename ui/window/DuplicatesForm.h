#pragma once

#include "model/ContactValues.h"
#include "storage/DuplicateFinder.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QThread>

#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class TAddressBook;

// File > Find Duplicates...: the groups of likely duplicates with their reasons, and for the
// chosen group its contacts side by side (the first five of a bigger one), each field whose
// values differ with the value to keep checked (a filled value over an empty one, else the
// earliest contact's). Merge makes them one; Undo Merge takes back the last merge of this dialog
// not yet undone, for as long as the merged contact is unchanged; Not Duplicates keeps the group
// from coming back.
//
// The groups are found on a thread of their own, so that a big book keeps the dialog answering;
// meanwhile the list says so and the buttons wait.
class TDuplicatesForm : public QDialog {
    Q_OBJECT
    Q_PROPERTY(bool finding READ Finding NOTIFY refilled)

public:
    TDuplicatesForm(QWidget* parent, TAddressBook& book);
    ~TDuplicatesForm() override;

    bool Finding() const { return thread_ != nullptr; }

    // Whether the book changed while the dialog was open, so the list must be refilled.
    bool Changed() const { return changed_; }

signals:
    // The list shows the groups as the book holds them now.
    void refilled();

private:
    struct Found {
        std::vector<DuplicateGroup> groups;
        QStringList names; // each group's contacts' names
        std::string error;
    };
    void refill();
    void showFound(const Found& found);
    void showGroup();
    void choose(int row, int column);
    void merge();
    void undoMerge();
    void notDuplicates();
    template <typename F> void guarded(F&& work);

    TAddressBook& book_;
    QTreeWidget* groupsList_;
    QTableWidget* fields_;
    QPushButton* merge_;
    QPushButton* undo_;
    QPushButton* notDuplicates_;
    std::vector<DuplicateGroup> groups_;
    std::vector<ContactValues> shown_; // the chosen group's contacts side by side
    std::vector<int> kept_;            // for each field, the contact whose value is kept
    // This dialog's merges not undone, the last at the back: each the merges of one click, one
    // for each contact merged into the first.
    std::vector<std::vector<std::int64_t>> merges_;
    QPointer<QThread> thread_;
    bool changed_ = false;
    bool filling_ = false;
};

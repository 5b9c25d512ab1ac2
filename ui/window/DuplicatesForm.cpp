#include "ui/window/DuplicatesForm.h"

#include "interchange/ContactCards.h"
#include "interchange/ContactMerge.h"
#include "model/ContactColumns.h"
#include "storage/AddressBook.h"
#include "storage/CustomerRows.h"
#include "storage/DuplicateMerge.h"
#include "storage/SQLiteTable3.h"
#include "storage/unitAppInformation.h"
#include "ui/dialogs/ErrorDisplay.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString Text(const std::string& value) {
    return QString::fromUtf8(value.c_str(), static_cast<qsizetype>(value.size()));
}

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

TDuplicatesForm::TDuplicatesForm(QWidget* parent, TAddressBook& book)
    : QDialog(parent), book_(book) {
    setObjectName(QStringLiteral("DuplicatesForm"));
    setWindowTitle(QStringLiteral("Find Duplicates"));
    setModal(true);
    groupsList_ = new QTreeWidget(this);
    groupsList_->setObjectName(QStringLiteral("lstvDuplicates"));
    groupsList_->setAccessibleName(QStringLiteral("Possible duplicates"));
    groupsList_->setHeaderLabels({QStringLiteral("Contacts"), QStringLiteral("Reason")});
    groupsList_->setRootIsDecorated(false);
    fields_ = new QTableWidget(0, 3, this);
    fields_->setObjectName(QStringLiteral("tblMergeFields"));
    fields_->setAccessibleName(QStringLiteral("Values to keep"));
    fields_->setHorizontalHeaderLabels(
        {QStringLiteral("Field"), QStringLiteral("First contact"), QStringLiteral("Second contact")});
    fields_->verticalHeader()->hide();
    fields_->horizontalHeader()->setStretchLastSection(true);
    fields_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    merge_ = Button("btnMerge", QStringLiteral("Merge"), this);
    undo_ = Button("btnUndoMerge", QStringLiteral("Undo Merge"), this);
    notDuplicates_ = Button("btnNotDuplicates", QStringLiteral("Not Duplicates"), this);
    QPushButton* close = Button("btnCloseDuplicates", QStringLiteral("Close"), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {merge_, undo_, notDuplicates_})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(groupsList_, 2);
    layout->addWidget(fields_, 3);
    layout->addLayout(buttons);
    resize(640, 480);

    connect(groupsList_, &QTreeWidget::currentItemChanged, this, [this] { guarded([&] { showGroup(); }); });
    connect(fields_, &QTableWidget::cellChanged, this, [this](int row, int column) { choose(row, column); });
    connect(merge_, &QPushButton::clicked, this, [this] { guarded([&] { merge(); }); });
    connect(undo_, &QPushButton::clicked, this, [this] { guarded([&] { undoMerge(); }); });
    connect(notDuplicates_, &QPushButton::clicked, this, [this] { guarded([&] { notDuplicates(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    guarded([&] { refill(); });
}

template <typename F> void TDuplicatesForm::guarded(F&& work) {
    try {
        work();
    } catch (const std::exception& e) {
        QMessageBox box(QMessageBox::Warning, QString::fromLocal8Bit(AppTitle()),
                        QString::fromLocal8Bit(e.what()), QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("msgDuplicatesFailed"));
        box.exec();
    }
}

void TDuplicatesForm::refill() {
    TSQLiteDatabase db(book_.Path(), OpenMode::ExistingOnly);
    groups_ = FindDuplicates(db);
    groupsList_->clear();
    for (const DuplicateGroup& group : groups_) {
        QStringList names;
        std::string list;
        for (std::int64_t id : group.ids)
            list += (list.empty() ? "" : ",") + std::to_string(id);
        for (const ContactValues& v :
             ReadSavedContacts(db, "SELECT * FROM Customers WHERE rowid IN (" + list + ") ORDER BY rowid"))
            names << Text(DisplayName(v));
        groupsList_->addTopLevelItem(
            new QTreeWidgetItem({names.join(QStringLiteral(" / ")), Text(group.reason)}));
    }
    undo_->setEnabled(!merges_.empty());
    if (!groups_.empty())
        groupsList_->setCurrentItem(groupsList_->topLevelItem(0));
    else
        showGroup();
}

void TDuplicatesForm::showGroup() {
    const int at = groupsList_->indexOfTopLevelItem(groupsList_->currentItem());
    const bool chosen = at >= 0 && at < static_cast<int>(groups_.size());
    merge_->setEnabled(chosen);
    notDuplicates_->setEnabled(chosen);
    filling_ = true;
    fields_->setRowCount(0);
    if (chosen) {
        TSQLiteDatabase db(book_.Path(), OpenMode::ExistingOnly);
        const DuplicateGroup& group = groups_[static_cast<std::size_t>(at)];
        auto read = [&](std::int64_t id) {
            const std::vector<ContactValues> v = ReadSavedContacts(
                db, "SELECT * FROM Customers WHERE rowid=" + std::to_string(id));
            return v.empty() ? ContactValues() : v.front();
        };
        first_ = read(group.ids[0]);
        second_ = read(group.ids[1]);
        takeSecond_ = PreselectedForMerge(first_, second_);
        for (int i = 0; i < kContactColumns; ++i) {
            const int row = fields_->rowCount();
            fields_->insertRow(row);
            fields_->setItem(row, 0, new QTableWidgetItem(Text(ContactColumnTable()[i].caption)));
            for (int side = 0; side < 2; ++side) {
                auto* item = new QTableWidgetItem(Text((side ? second_ : first_)[i]));
                if (first_[i] != second_[i]) {
                    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                    item->setCheckState(takeSecond_[i] == (side == 1) ? Qt::Checked : Qt::Unchecked);
                }
                fields_->setItem(row, side + 1, item);
            }
        }
    }
    filling_ = false;
}

void TDuplicatesForm::choose(int row, int column) {
    if (filling_ || column < 1 || row < 0 || row >= kContactColumns)
        return;
    QTableWidgetItem* item = fields_->item(row, column);
    if (!item || !(item->flags() & Qt::ItemIsUserCheckable))
        return;
    // One of the two is kept: checking one unchecks the other, and neither can be unchecked.
    const bool second = (column == 2) == (item->checkState() == Qt::Checked);
    takeSecond_[row] = second;
    filling_ = true;
    fields_->item(row, 1)->setCheckState(second ? Qt::Unchecked : Qt::Checked);
    fields_->item(row, 2)->setCheckState(second ? Qt::Checked : Qt::Unchecked);
    filling_ = false;
}

void TDuplicatesForm::merge() {
    const int at = groupsList_->indexOfTopLevelItem(groupsList_->currentItem());
    if (at < 0)
        return;
    const DuplicateGroup& group = groups_[static_cast<std::size_t>(at)];
    merges_.push_back(book_.MergeDuplicates(group.ids[0], group.ids[1],
                                            MergeDuplicates(first_, second_, takeSecond_)));
    changed_ = true;
    refill();
}

void TDuplicatesForm::undoMerge() {
    if (merges_.empty())
        return;
    book_.UndoMerge(merges_.back());
    merges_.pop_back();
    changed_ = true;
    refill();
}

void TDuplicatesForm::notDuplicates() {
    const int at = groupsList_->indexOfTopLevelItem(groupsList_->currentItem());
    if (at < 0)
        return;
    TSQLiteDatabase db(book_.Path(), OpenMode::ExistingOnly);
    MarkNotDuplicates(db, groups_[static_cast<std::size_t>(at)].ids);
    refill();
}

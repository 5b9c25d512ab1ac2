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
#include <QScopeGuard>
#include <QTableWidget>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

constexpr std::size_t kShown = 5; // contacts of a group side by side

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
    groupsList_->setColumnWidth(0, 380); // the names, before the reason
    fields_ = new QTableWidget(0, 3, this);
    fields_->setObjectName(QStringLiteral("tblMergeFields"));
    fields_->setAccessibleName(QStringLiteral("Values to keep"));
    fields_->verticalHeader()->hide();
    fields_->horizontalHeader()->setStretchLastSection(true);
    fields_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab goes on to the buttons, as everywhere in the window; arrows move between the values
    // and Space keeps one.
    fields_->setTabKeyNavigation(false);
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
    resize(760, 520);

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

TDuplicatesForm::~TDuplicatesForm() {
    if (thread_)
        thread_->wait(); // it reads the book: not left running when the dialog has gone
    // Only the dialog can undo its merges: what it kept for that goes with it.
    std::vector<std::int64_t> merges;
    for (const std::vector<std::int64_t>& click : merges_)
        merges.insert(merges.end(), click.begin(), click.end());
    try {
        TSQLiteDatabase db(book_.Path(), OpenMode::ExistingOnly);
        ForgetContactMerges(db, merges);
    } catch (const std::exception&) {
        // Left in the book, where they do no harm; the next merges number on after them.
    }
}

void TDuplicatesForm::refill() {
    groups_.clear();
    groupsList_->clear();
    auto* finding = new QTreeWidgetItem({QStringLiteral("Finding duplicates..."), QString()});
    finding->setFlags(Qt::NoItemFlags);
    groupsList_->addTopLevelItem(finding);
    showGroup();
    undo_->setEnabled(false);
    auto found = std::make_shared<Found>();
    const std::string path = book_.Path();
    thread_ = QThread::create([found, path] {
        try {
            TSQLiteDatabase db(path, OpenMode::ExistingOnly);
            found->groups = FindDuplicates(db);
            // The names of every group's contacts, read a few hundred contacts at a time.
            std::vector<std::int64_t> ids;
            for (const DuplicateGroup& group : found->groups)
                ids.insert(ids.end(), group.ids.begin(), group.ids.end());
            std::map<std::int64_t, QString> names;
            for (std::size_t at = 0; at < ids.size(); at += 500) {
                std::string list;
                for (std::size_t i = at; i < ids.size() && i < at + 500; ++i)
                    list += (list.empty() ? "" : ",") + std::to_string(ids[i]);
                ForEachSavedRow(db, "rowid IN (" + list + ")", kFromFirstRow,
                                [&](std::int64_t row, const ContactValues& v) {
                                    names[row] = Text(DisplayName(v));
                                });
            }
            for (const DuplicateGroup& group : found->groups) {
                QStringList line;
                for (std::int64_t id : group.ids)
                    line << names[id];
                found->names << line.join(QStringLiteral(" / "));
            }
        } catch (const std::exception& e) {
            found->error = e.what();
        }
    });
    QThread* thread = thread_;
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, found] {
        thread_ = nullptr;
        showFound(*found);
        emit refilled();
    });
    thread->start();
}

void TDuplicatesForm::showFound(const Found& found) {
    groupsList_->clear();
    groups_ = found.groups;
    for (std::size_t g = 0; g < groups_.size(); ++g)
        groupsList_->addTopLevelItem(new QTreeWidgetItem({found.names.value(static_cast<int>(g)),
                                                          Text(groups_[g].reason)}));
    undo_->setEnabled(!merges_.empty());
    if (!groups_.empty())
        groupsList_->setCurrentItem(groupsList_->topLevelItem(0));
    else
        showGroup();
    if (!found.error.empty())
        guarded([&] { throw std::runtime_error(found.error); });
}

void TDuplicatesForm::showGroup() {
    const int at = groupsList_->indexOfTopLevelItem(groupsList_->currentItem());
    const bool chosen = at >= 0 && at < static_cast<int>(groups_.size());
    merge_->setEnabled(chosen);
    notDuplicates_->setEnabled(chosen);
    filling_ = true;
    fields_->setRowCount(0);
    shown_.clear();
    if (chosen) {
        TSQLiteDatabase db(book_.Path(), OpenMode::ExistingOnly);
        const DuplicateGroup& group = groups_[static_cast<std::size_t>(at)];
        for (std::size_t k = 0; k < group.ids.size() && k < kShown; ++k) {
            const std::vector<ContactValues> v = ReadSavedContacts(
                db, "SELECT * FROM Customers WHERE rowid=" + std::to_string(group.ids[k]));
            shown_.push_back(v.empty() ? ContactValues() : v.front());
        }
    }
    static const char* const kOrdinals[kShown] = {"First", "Second", "Third", "Fourth", "Fifth"};
    QStringList headers{QStringLiteral("Field")};
    for (std::size_t k = 0; k < std::max<std::size_t>(shown_.size(), 2); ++k)
        headers << QStringLiteral("%1 contact").arg(QLatin1String(kOrdinals[k]));
    fields_->setColumnCount(static_cast<int>(headers.size()));
    fields_->setHorizontalHeaderLabels(headers);
    kept_.assign(kContactColumns, 0);
    for (int i = 0; i < kContactColumns && !shown_.empty(); ++i) {
        // Of each two, the one the merge of two would offer first.
        for (std::size_t k = 1; k < shown_.size(); ++k)
            if (PreselectedForMerge(shown_[kept_[i]], shown_[k])[i])
                kept_[i] = static_cast<int>(k);
        bool differ = false;
        for (const ContactValues& v : shown_)
            differ = differ || v[i] != shown_[0][i];
        fields_->insertRow(i);
        fields_->setItem(i, 0, new QTableWidgetItem(Text(ContactColumnTable()[i].caption)));
        for (std::size_t k = 0; k < shown_.size(); ++k) {
            auto* item = new QTableWidgetItem(Text(shown_[k][i]));
            if (differ) {
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(kept_[i] == static_cast<int>(k) ? Qt::Checked : Qt::Unchecked);
            }
            fields_->setItem(i, static_cast<int>(k) + 1, item);
        }
    }
    // Each value whole where it is short, none wider than a third of the dialog.
    fields_->resizeColumnsToContents();
    for (int c = 0; c < fields_->columnCount(); ++c)
        fields_->setColumnWidth(c, std::min(fields_->columnWidth(c), width() / 3));
    filling_ = false;
}

void TDuplicatesForm::choose(int row, int column) {
    if (filling_ || column < 1 || row < 0 || row >= fields_->rowCount() ||
        column > static_cast<int>(shown_.size()))
        return;
    QTableWidgetItem* item = fields_->item(row, column);
    if (!item || !(item->flags() & Qt::ItemIsUserCheckable))
        return;
    // One value is kept: checking one unchecks the others, and the kept one cannot be unchecked.
    if (item->checkState() == Qt::Checked)
        kept_[row] = column - 1;
    filling_ = true;
    for (int k = 0; k < static_cast<int>(shown_.size()); ++k)
        fields_->item(row, k + 1)->setCheckState(k == kept_[row] ? Qt::Checked : Qt::Unchecked);
    filling_ = false;
}

void TDuplicatesForm::merge() {
    const int at = groupsList_->indexOfTopLevelItem(groupsList_->currentItem());
    if (at < 0 || shown_.size() < 2)
        return;
    const DuplicateGroup& group = groups_[static_cast<std::size_t>(at)];
    // One contact after another into the first: each takes the values chosen of it, and what it
    // does not keep of the others goes into the notes.
    // The click's merges, each kept for undoing as soon as it is made, even when a later one fails.
    merges_.emplace_back();
    const auto done = qScopeGuard([this] {
        if (merges_.back().empty())
            merges_.pop_back();
        changed_ = true;
        refill();
    });
    ContactValues merged = shown_[0];
    for (std::size_t k = 1; k < shown_.size(); ++k) {
        KeptColumns takeNext{};
        for (int i = 0; i < kContactColumns; ++i)
            takeNext[i] = kept_[i] == static_cast<int>(k);
        merged = MergeDuplicates(merged, shown_[k], takeNext);
        merges_.back().push_back(book_.MergeDuplicates(group.ids[0], group.ids[k], merged));
    }
}

void TDuplicatesForm::undoMerge() {
    if (merges_.empty())
        return;
    std::vector<std::int64_t>& last = merges_.back();
    while (!last.empty()) {
        book_.UndoMerge(last.back());
        last.pop_back();
        changed_ = true;
    }
    merges_.pop_back();
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

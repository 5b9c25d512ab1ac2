#include "ui/window/CustomerListModel.h"

#include "storage/SQLiteTable3.h"
#include "ui/window/StoredText.h"

#include <QHeaderView>
#include <QStringList>
#include <algorithm>
#include <QString>
#include <QTreeView>

TCustomerListModel::TCustomerListModel(QObject* parent) : QAbstractTableModel(parent) {}

int TCustomerListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || offsets_.empty())
        return 0;
    return static_cast<int>(offsets_.size() / (ColumnCount + 1));
}

int TCustomerListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

std::string TCustomerListModel::CellText(int row, int column) const {
    const std::size_t at = static_cast<std::size_t>(row) * (ColumnCount + 1) + column;
    return text_.substr(offsets_[at], offsets_[at + 1] - offsets_[at]);
}

QVariant TCustomerListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    if (role == Qt::AccessibleTextRole)
        return SpokenRow(index.row());
    if (role != Qt::DisplayRole)
        return QVariant();
    return Cell(index.row(), index.column());
}

QString TCustomerListModel::Cell(int row, int column) const {
    const std::size_t at = static_cast<std::size_t>(row) * (ColumnCount + 1) + column;
    return FromStored(
        std::string_view(text_).substr(offsets_[at], offsets_[at + 1] - offsets_[at]));
}

QString TCustomerListModel::SpokenRow(int row) const {
    // The whole row with its headings, whichever cell a screen reader is on: the list selects
    // whole rows. A cell without a letter or digit (no name: ", "; no phone: "(   )   -    ")
    // is left out rather than read as punctuation.
    QStringList parts;
    for (int column = CustId + 1; column < ColumnCount; ++column) {
        const QString text = Cell(row, column).trimmed();
        if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); }))
            parts << headerData(column, Qt::Horizontal, Qt::DisplayRole).toString() + ": " + text;
    }
    return parts.join(QStringLiteral("; "));
}

QVariant TCustomerListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const headers[ColumnCount] = {
        "Cust ID",      "Contact Company", "Contact Name", "Address", "City, State, Zip Code",
        "Phone Number", "Fax Number"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return QVariant();
    return QString::fromLatin1(headers[section]);
}

Qt::ItemFlags TCustomerListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void TCustomerListModel::Fill(TSQLiteTable& result) {
    // Read everything first: a failure while reading leaves the list as it was.
    std::string text;
    std::vector<std::uint32_t> offsets;
    if (!result.AtEnd()) {
        const std::size_t id = result.ColumnOf("dbCustomer_ID");
        const std::size_t company = result.ColumnOf("dbCustCompany");
        const std::size_t last = result.ColumnOf("dbCustLastName");
        const std::size_t first = result.ColumnOf("dbCustFirstName");
        const std::size_t address = result.ColumnOf("dbCustAddress");
        const std::size_t ctyStZp = result.ColumnOf("dbCustCtyStZp");
        const std::size_t phone = result.ColumnOf("dbCustPhone");
        const std::size_t fax = result.ColumnOf("dbCustFax");
        offsets.reserve(static_cast<std::size_t>(result.RowCount()) * (ColumnCount + 1));
        text.reserve(static_cast<std::size_t>(result.RowCount()) * 96);
        // Appended straight from the result: no string per cell.
        auto cell = [&](std::size_t column) {
            offsets.push_back(static_cast<std::uint32_t>(text.size()));
            result.AppendTextOrEmptyAt(column, text);
        };
        while (!result.AtEnd()) {
            cell(id);
            cell(company);
            offsets.push_back(static_cast<std::uint32_t>(text.size()));
            result.AppendTextOrEmptyAt(last, text);
            text += ", ";
            result.AppendTextOrEmptyAt(first, text);
            cell(address);
            cell(ctyStZp);
            cell(phone);
            cell(fax);
            offsets.push_back(static_cast<std::uint32_t>(text.size()));
            result.Advance();
        }
    }
    beginResetModel();
    text_.swap(text);
    offsets_.swap(offsets);
    endResetModel();
}

void TCustomerListModel::ShowIn(QTreeView* list) {
    list->setModel(this);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSortingEnabled(false);
    list->setAllColumnsShowFocus(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView* header = list->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    // The identifier column is there for loading, never seen.
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->resizeSection(CustId, 0);
    list->setColumnHidden(CustId, true);
    header->resizeSection(Company, 140);
    header->resizeSection(Name, 140);
    header->resizeSection(Address, 130);
    header->resizeSection(Phone, 90);
    header->resizeSection(Fax, 90);
    // "City, State, Zip Code" takes whatever the list's width leaves.
    header->setSectionResizeMode(CtyStZp, QHeaderView::Stretch);
}

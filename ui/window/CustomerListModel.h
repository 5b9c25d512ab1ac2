#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <string>
#include <vector>

class QTreeView;
class TSQLiteTable;

// The rows of the contact list. All cell texts of a refill sit in one buffer and become
// QStrings only when a row is painted, so that a refill of a very large book stays one pass
// over the query result.
class TCustomerListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { CustId, Company, Name, Address, CtyStZp, Phone, Fax, ColumnCount };

    explicit TCustomerListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Shows the rows in the list view: whole rows selected, read-only, the identifier column
    // hidden and the others at their fixed widths.
    void ShowIn(QTreeView* list);
    // Replaces every row with the rows of the result, in the engine's order.
    void Fill(TSQLiteTable& result);
    // The cell text as stored (8-bit).
    std::string CellText(int row, int column) const;

private:
    QString Cell(int row, int column) const;
    // What a screen reader reads for a row: "Contact Company: Janes Place; Contact Name: ...".
    QString SpokenRow(int row) const;

    std::string text_;
    std::vector<std::uint32_t> offsets_; // ColumnCount + 1 per row: where each cell starts
};

#include "storage/CustomerRows.h"

#include "interchange/ContactFitting.h"
#include "model/ContactColumns.h"
#include "storage/ContactStatements.h"
#include "storage/SQLiteTable3.h"

const char* const kCompactStatement = "VACUUM;";

std::string WriteContact(TSQLiteDatabase& db, const ContactValues& values, const std::string& id,
                         const KeptColumns& kept, bool* inserted) {
    if (inserted)
        *inserted = false;
    if (!id.empty()) {
        db.RunStatement(BuildUpdateStatement(values, id, kept));
        if (db.Changes() > 0)
            return id;
    }
    db.RunStatement(BuildInsertStatement(values));
    if (inserted)
        *inserted = true;
    return std::to_string(db.LastInsertRowId());
}

KeptColumns UnchangedColumns(TSQLiteDatabase& db, const std::string& id,
                             const ContactValues& values) {
    const std::vector<ContactValues> stored = ReadSavedContacts(db, BuildSelectByIdStatement(id));
    KeptColumns kept;
    for (int i = 0; i < kDataColumns && !stored.empty(); ++i)
        kept[i] = values[i] == stored.front()[i];
    return kept;
}

void DeleteContact(TSQLiteDatabase& db, const std::string& id,
                   const std::function<void()>& deleted) {
    db.RunStatement(BuildDeleteStatement(id));
    if (deleted)
        deleted();
    db.RunStatement(kCompactStatement);
}

namespace {

// Hands each row of the result to `use` as the editor would save it, with its row when the
// result carries one as vcPageRow.
void UseSavedRows(TSQLiteTable& rows,
                  const std::function<void(std::int64_t, const ContactValues&)>& use,
                  bool withRow) {
    // Columns are looked up only in a result that has rows.
    if (rows.AtEnd())
        return;
    std::size_t at[kDataColumns] = {};
    for (int i = 0; i < kDataColumns; ++i)
        at[i] = rows.ColumnOf(SaveOrderColumns()[i]);
    const std::size_t rowIdAt = withRow ? rows.ColumnOf("vcPageRow") : 0;
    for (; !rows.AtEnd(); rows.Advance()) {
        ContactValues stored;
        for (int i = 0; i < kDataColumns; ++i)
            stored[i] = rows.TextOrEmptyAt(at[i]);
        use(withRow ? rows.IntegerAt(rowIdAt) : 0, AsSaved(stored));
    }
}

} // namespace

std::vector<ContactValues> ReadSavedContacts(TSQLiteDatabase& db, const std::string& query) {
    auto rows = db.OpenResult(query);
    std::vector<ContactValues> contacts;
    contacts.reserve(rows->RowCount());
    UseSavedRows(
        *rows, [&](std::int64_t, const ContactValues& saved) { contacts.push_back(saved); },
        false);
    return contacts;
}

void ForEachSavedRow(TSQLiteDatabase& db, const std::string& condition, std::int64_t after,
                     const std::function<void(std::int64_t, const ContactValues&)>& use) {
    constexpr int kPage = 2000;
    const std::string also = condition.empty() ? std::string() : "(" + condition + ")";
    for (bool first = after == kFromFirstRow;; first = false) {
        std::string where = first ? std::string() : "rowid>" + std::to_string(after);
        if (!also.empty())
            where += (where.empty() ? "" : " AND ") + also;
        auto rows = db.OpenResult("SELECT *,rowid AS vcPageRow FROM Customers" +
                                  (where.empty() ? std::string() : " WHERE " + where) +
                                  " ORDER BY rowid LIMIT " + std::to_string(kPage));
        const std::uint32_t count = rows->RowCount();
        UseSavedRows(
            *rows,
            [&](std::int64_t row, const ContactValues& values) {
                after = row;
                use(row, values);
            },
            true);
        if (count < static_cast<std::uint32_t>(kPage))
            return;
    }
}

void ForEachSavedContact(TSQLiteDatabase& db, const std::string& query,
                         const std::function<void(const ContactValues&)>& use) {
    static const std::string kAll = "SELECT * FROM Customers";
    static const std::string kWhere = " WHERE ";
    const bool all = query == kAll;
    const bool some = query.compare(0, kAll.size() + kWhere.size(), kAll + kWhere) == 0;
    if (!all && !some) {
        for (const ContactValues& saved : ReadSavedContacts(db, query))
            use(saved);
        return;
    }
    ForEachSavedRow(db, some ? query.substr(kAll.size() + kWhere.size()) : std::string(),
                    kFromFirstRow,
                    [&](std::int64_t, const ContactValues& saved) { use(saved); });
}

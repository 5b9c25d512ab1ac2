#include "storage/DuplicateMerge.h"

#include "model/ContactColumns.h"
#include "storage/AddressBook.h"
#include "storage/ContactStatements.h"
#include "storage/CustomerRows.h"
#include "storage/SQLiteStatement.h"
#include "storage/SQLiteTable3.h"
#include "storage/SyncStore.h"
#include "storage/WriteTransaction.h"

#include <algorithm>

namespace {

// The roles of the rows a merge keeps: the two contacts before it, and the merged one.
enum Role { First = 1, Second = 2, Merged = 3 };

std::string ColumnList() {
    std::string list = kIdColumn;
    for (const std::string& column : SaveOrderColumns())
        list += "," + column;
    return list;
}

void Keep(TSQLiteDatabase& db, std::int64_t merge, Role role, std::int64_t id) {
    db.RunStatement("INSERT INTO VellicardMergeUndo SELECT " + std::to_string(merge) + "," +
                    std::to_string(role) + "," + ColumnList() + " FROM Customers WHERE " +
                    kIdColumn + "=" + std::to_string(id) + ";");
    if (db.Changes() != 1)
        throw EAddressBookError("The contact " + std::to_string(id) +
                                " has gone meanwhile, so nothing was merged.");
}

} // namespace

std::int64_t MergeContactRows(TSQLiteDatabase& db, std::int64_t firstId, std::int64_t secondId,
                              const ContactValues& merged) {
    TWriteTransaction transaction(db);
    db.RunStatement("CREATE TABLE IF NOT EXISTS VellicardMergeUndo AS SELECT 0 AS vcMerge,"
                    "0 AS vcRole," + ColumnList() + " FROM Customers WHERE 0;");
    // Numbered after every merge kept for undoing, and every one whose cards a sync still has to
    // carry: an undo takes back what its number names, and nothing of another merge.
    std::int64_t merge =
        db.OpenResult("SELECT coalesce(max(vcMerge),0)+1 FROM VellicardMergeUndo;")->IntegerAt(0);
    if (HasTable(db, "VellicardSyncCarried"))
        merge = std::max(merge, db.OpenResult("SELECT coalesce(max(merge),0)+1 FROM "
                                              "VellicardSyncCarried;")->IntegerAt(0));
    Keep(db, merge, First, firstId);
    Keep(db, merge, Second, secondId);
    // What the merge leaves as the first contact had it stays as stored.
    const std::string first = std::to_string(firstId);
    db.RunStatement(BuildUpdateStatement(merged, first, UnchangedColumns(db, first, merged)));
    KeepSyncStateOfMerge(db, merge, firstId, secondId);
    db.RunStatement(BuildDeleteStatement(std::to_string(secondId)));
    Keep(db, merge, Merged, firstId);
    transaction.Commit();
    return merge;
}

namespace {

// The merged contacts kept for undoing that their rows still are.
std::string UnchangedMerged() {
    std::string same;
    for (const std::string& column : SaveOrderColumns())
        same += " AND c." + column + " IS u." + column;
    return "FROM Customers c JOIN VellicardMergeUndo u ON u.vcRole=3 AND c." +
           std::string(kIdColumn) + "=u." + kIdColumn + same;
}

bool MergesKept(TSQLiteDatabase& db) {
    return HasTable(db, "VellicardMergeUndo");
}

} // namespace

std::int64_t UndoableMergeInto(TSQLiteDatabase& db, std::int64_t row) {
    if (!MergesKept(db))
        return 0;
    return db.OpenResult("SELECT coalesce(max(u.vcMerge),0) " + UnchangedMerged() + " WHERE c." +
                         kIdColumn + "=" + std::to_string(row) + ";")->IntegerAt(0);
}

void RetakeMergedContact(TSQLiteDatabase& db, std::int64_t merge) {
    const std::string m = std::to_string(merge);
    const std::string id = db.OpenResult("SELECT " + std::string(kIdColumn) +
                                         " FROM VellicardMergeUndo WHERE vcMerge=" + m +
                                         " AND vcRole=3;")->TextOrEmptyAt(0);
    db.RunStatement("DELETE FROM VellicardMergeUndo WHERE vcMerge=" + m + " AND vcRole=3;");
    Keep(db, merge, Merged, std::stoll(id));
}

void UndoContactMerge(TSQLiteDatabase& db, std::int64_t merge) {
    TWriteTransaction transaction(db);
    const std::string m = std::to_string(merge);
    auto unchanged = db.OpenResult(
        "SELECT (SELECT count(*) " + UnchangedMerged() + " WHERE u.vcMerge=" + m +
        "),(SELECT count(*) FROM Customers c JOIN VellicardMergeUndo u ON u.vcMerge=" + m +
        " AND u.vcRole=2 AND c." + kIdColumn + "=u." + kIdColumn + ");");
    if (unchanged->IntegerAt(0) != 1 || unchanged->IntegerAt(1) != 0)
        throw EAddressBookError("The merged contact was changed since the merge, so the merge "
                                "cannot be undone.");
    // The first contact's row is written back, not made again: what its row carries beside the
    // book (its sync state, cards of earlier merges a sync has still to carry) stays with it.
    std::string columns;
    for (const std::string& column : SaveOrderColumns())
        columns += (columns.empty() ? "" : ",") + column;
    db.RunStatement("UPDATE Customers SET (" + columns + ")=(SELECT " + columns +
                    " FROM VellicardMergeUndo WHERE vcMerge=" + m + " AND vcRole=1) WHERE " +
                    kIdColumn + "=(SELECT " + kIdColumn + " FROM VellicardMergeUndo WHERE vcMerge=" +
                    m + " AND vcRole=1);");
    db.RunStatement("INSERT INTO Customers(" + ColumnList() + ") SELECT " + ColumnList() +
                    " FROM VellicardMergeUndo WHERE vcMerge=" + m + " AND vcRole=2;");
    RestoreSyncStateOfMerge(db, merge);
    db.RunStatement("DELETE FROM VellicardMergeUndo WHERE vcMerge=" + m + ";");
    transaction.Commit();
}

void ForgetContactMerges(TSQLiteDatabase& db, const std::vector<std::int64_t>& merges) {
    if (merges.empty() || !MergesKept(db))
        return;
    std::string list;
    for (std::int64_t merge : merges)
        list += (list.empty() ? "" : ",") + std::to_string(merge);
    TWriteTransaction transaction(db);
    db.RunStatement("DELETE FROM VellicardMergeUndo WHERE vcMerge IN (" + list + ");");
    if (HasTable(db, "VellicardMergeSyncRows"))
        db.RunStatement("DELETE FROM VellicardMergeSyncRows WHERE vcMerge IN (" + list + ");");
    transaction.Commit();
}

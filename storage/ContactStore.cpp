#include "ContactStore.h"

#include "SQLiteTable3.h"

const char* const kCompactStatement = "VACUUM;";

void WriteContact(TSQLiteDatabase& db, const ContactValues& values, const std::string& id,
                  const KeptColumns& kept) {
    if (id.empty()) {
        db.RunStatement(BuildInsertStatement(values));
        return;
    }
    db.RunStatement(BuildUpdateStatement(values, id, kept));
    if (db.Changes() == 0)
        db.RunStatement(BuildInsertStatement(values));
}

void DeleteContact(TSQLiteDatabase& db, const std::string& id) {
    db.RunStatement(BuildDeleteStatement(id));
    db.RunStatement(kCompactStatement);
}

KeptColumns ValuesCutShort(TSQLiteDatabase& db, const std::string& id) {
    std::string sql = "SELECT ";
    for (const std::string& column : SaveOrderColumns()) {
        if (sql.size() > 7)
            sql += ',';
        sql += "typeof(" + column + ")='blob' OR instr(CAST(" + column + " AS BLOB),x'00')>0";
    }
    const std::string select = BuildSelectByIdStatement(id);
    sql += select.substr(select.find(" FROM "));
    auto result = db.OpenResult(sql);
    KeptColumns cut;
    for (int i = 0; i < kDataColumns && !result->AtEnd(); ++i)
        cut[i] = result->TextOrEmptyAt(i) == "1";
    return cut;
}

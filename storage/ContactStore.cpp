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

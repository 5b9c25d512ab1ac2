#pragma once

#include "ContactStatements.h"

class TSQLiteDatabase;

// Writes the editor's contact: an UPDATE for a stored contact, an INSERT for a new one (empty
// id). A stored contact whose row has gone meanwhile (deleted by another copy of the program)
// is written as a new row rather than silently dropping what the user typed. An update leaves the
// kept columns as they are stored.
void WriteContact(TSQLiteDatabase& db, const ContactValues& values, const std::string& id,
                  const KeptColumns& kept = {});

// Deletes the contact's row, then compacts the file. A delete that succeeded stays done when
// the compaction fails.
void DeleteContact(TSQLiteDatabase& db, const std::string& id);

// The compaction statement. The engine takes a name after VACUUM as an attached schema, so the
// table name cannot stand there.
extern const char* const kCompactStatement;

// The stored contact's columns whose value a text read cannot carry whole: a blob, or a text
// with a zero byte inside (a read of it stops there).
KeptColumns ValuesCutShort(TSQLiteDatabase& db, const std::string& id);

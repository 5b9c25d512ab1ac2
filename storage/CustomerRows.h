#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/ContactValues.h"

class TSQLiteDatabase;

// The reading and writing of Customers rows on a connection of the caller's: the address book,
// the import, the sync state, and another program on the same file in the tests and the fuzzers
// all write and read contacts through these.

// An UPDATE of a row that has gone meanwhile (deleted by another copy of the program) becomes
// an INSERT rather than silently dropping what the user typed. Returns the identifier, and
// tells through `inserted` whether the contact was added as a new row.
std::string WriteContact(TSQLiteDatabase& db, const ContactValues& values, const std::string& id,
                         const KeptColumns& kept = {}, bool* inserted = nullptr);
// The columns of the contact's row that read as `values` does, to be kept as stored when the row
// takes the values: a value the editor cannot show (a blob, text that is not UTF-8, a NULL) is
// read as something else, and writing that back would change what nobody changed. None for a
// row that is not there.
KeptColumns UnchangedColumns(TSQLiteDatabase& db, const std::string& id,
                             const ContactValues& values);
// Deletes the contact, tells `deleted` (the contact has gone even when what follows fails),
// then compacts the file.
void DeleteContact(TSQLiteDatabase& db, const std::string& id,
                   const std::function<void()>& deleted = {});

// Every contact the query lists, each as the editor would save it.
std::vector<ContactValues> ReadSavedContacts(TSQLiteDatabase& db, const std::string& query);
// The same one contact at a time. The list of all contacts and the searches are read a page at
// a time, each page a short read of its own, so that neither memory nor the time others wait
// for the book grows with its size.
void ForEachSavedContact(TSQLiteDatabase& db, const std::string& query,
                         const std::function<void(const ContactValues&)>& use);
// The one paging read of the book: every contact after the row `after` (from the first row,
// whatever its number, for kFromFirstRow) that the condition selects (every one for an empty
// condition), with its row, a page at a time in the order of the rows. A row added meanwhile
// past the last page read comes with a later page.
constexpr std::int64_t kFromFirstRow = INT64_MIN;
void ForEachSavedRow(TSQLiteDatabase& db, const std::string& condition, std::int64_t after,
                     const std::function<void(std::int64_t, const ContactValues&)>& use);

// The compaction statement. The engine takes a name after VACUUM as an attached schema, so the
// table name cannot stand there.
extern const char* const kCompactStatement;

#pragma once

#include "model/ContactValues.h"

#include <cstdint>
#include <string>

class TSQLiteDatabase;

// A merge of two contacts on that connection, in one transaction: the first contact's row takes
// the merged values (see MergeDuplicates), each column the merge leaves as it was kept exactly as
// stored, and the second's row goes. Both rows as they were, and the
// merged row, are kept beside the book (VellicardMergeUndo) so that the merge can be undone.
// Returns the merge's number. Throws EAddressBookError when either contact has gone meanwhile.
std::int64_t MergeContactRows(TSQLiteDatabase& db, std::int64_t firstId, std::int64_t secondId,
                              const ContactValues& merged);
// Puts both contacts back exactly as they were, under their ids, in one transaction. Refused
// (EAddressBookError, nothing changed) when the merged contact was changed since or the second
// contact's id was taken meanwhile.
void UndoContactMerge(TSQLiteDatabase& db, std::int64_t merge);
// Forgets every merge kept for undoing.
void ForgetContactMerges(TSQLiteDatabase& db);

#pragma once

#include "model/ContactValues.h"

#include <cstdint>
#include <string>
#include <vector>

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
// Forgets those merges kept for undoing (what a sync still has to carry stays).
void ForgetContactMerges(TSQLiteDatabase& db, const std::vector<std::int64_t>& merges);
// The latest merge into the contact in `row` that could be undone now (the row is still the
// merged contact), or 0.
std::int64_t UndoableMergeInto(TSQLiteDatabase& db, std::int64_t row);
// That merge's merged contact becomes the row as it is now, so that a change that is nobody's
// edit (the sync taking the notes in the order a card reads them) leaves it undoable.
void RetakeMergedContact(TSQLiteDatabase& db, std::int64_t merge);

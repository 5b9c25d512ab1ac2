#pragma once

#include "model/ContactValues.h"

#include <vector>

// A three-way merge of one contact's values by field, against the values last synced. A field
// changed on one side takes that side's value; a field changed on both sides to different values
// takes the server's, and this desk's value goes to the contact's notes as
// "Conflict, this desk's value: Caption: value".
struct MergedValues {
    ContactValues values;
    std::vector<int> conflicts; // the columns both sides changed differently
};
MergedValues MergeValues(const ContactValues& base, const ContactValues& here,
                         const ContactValues& server);

// Two contacts that are one, made into one. `takeSecond` tells, for each of the contact's own 10
// columns, whether the second contact's value is kept rather than the first's (see
// PreselectedForMerge). The extra people of both take the five places, the first contact's
// first; two people alike in every field are one. Nothing is lost: every value not kept that
// differs from the kept one, and every person beyond five, goes into the notes as
// "Merged, other value: Caption: value", and the notes are kept whole beyond their limit.
ContactValues MergeDuplicates(const ContactValues& first, const ContactValues& second,
                              const KeptColumns& takeSecond);
// The choice offered first: a filled value over an empty one; of two filled and different
// values, the first contact's.
KeptColumns PreselectedForMerge(const ContactValues& first, const ContactValues& second);

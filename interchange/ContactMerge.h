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

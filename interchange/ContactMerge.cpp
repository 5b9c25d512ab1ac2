#include "interchange/ContactMerge.h"

#include "interchange/ContactFitting.h"
#include "model/ContactColumns.h"

MergedValues MergeValues(const ContactValues& base, const ContactValues& here,
                         const ContactValues& server) {
    MergedValues merged;
    for (int i = 0; i < kDataColumns; ++i) {
        if (here[i] == base[i] || here[i] == server[i]) {
            merged.values[i] = server[i];
        } else if (server[i] == base[i]) {
            merged.values[i] = here[i];
        } else {
            merged.values[i] = server[i];
            merged.conflicts.push_back(i);
        }
    }
    std::string notes = merged.values[col::Notes];
    for (int i : merged.conflicts) {
        notes += (notes.empty() ? "" : "\r\n") + std::string("Conflict, this desk's value: ") +
                 ColumnCaption(i) + ": " + here[i];
    }
    merged.values[col::Notes] = notes;
    merged.values = AsSaved(merged.values);
    return merged;
}

#include "interchange/ContactMerge.h"

#include "interchange/ContactFitting.h"
#include "interchange/TextCodec.h"
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

namespace {

bool PersonIsEmpty(const ContactValues& v, int n) {
    for (int f = col::XName; f <= col::XNotes; ++f)
        if (!IsUnfilled(v[col::ExtraColumn(n, static_cast<col::Extra>(f))]))
            return false;
    return true;
}

bool SamePerson(const ContactValues& a, int n, const ContactValues& b, int m) {
    for (int f = col::XName; f <= col::XNotes; ++f)
        if (a[col::ExtraColumn(n, static_cast<col::Extra>(f))] !=
            b[col::ExtraColumn(m, static_cast<col::Extra>(f))])
            return false;
    return true;
}

} // namespace

KeptColumns PreselectedForMerge(const ContactValues& first, const ContactValues& second) {
    KeptColumns takeSecond;
    for (int i = 0; i < kContactColumns; ++i)
        takeSecond[i] = IsUnfilled(first[i]) && !IsUnfilled(second[i]);
    return takeSecond;
}

ContactValues MergeDuplicates(const ContactValues& first, const ContactValues& second,
                              const KeptColumns& takeSecond) {
    ContactValues merged;
    std::vector<std::string> lost;
    auto note = [&](int column, const std::string& value) {
        lost.push_back("Merged, other value: " + ColumnCaption(column) + ": " + value);
    };
    for (int i = 0; i < kContactColumns; ++i) {
        const bool second_ = takeSecond[i];
        merged[i] = second_ ? second[i] : first[i];
        const std::string& other = second_ ? first[i] : second[i];
        if (other != merged[i] && !IsUnfilled(other))
            note(i, other);
    }
    // The people: the first contact's in their places, then the second's in the places left.
    for (int i = kContactColumns; i < kDataColumns; ++i)
        merged[i] = first[i];
    int free = 1;
    for (int m = 1; m <= kExtraContacts; ++m) {
        if (PersonIsEmpty(second, m))
            continue;
        bool known = false;
        for (int n = 1; n <= kExtraContacts && !known; ++n)
            known = !PersonIsEmpty(first, n) && SamePerson(first, n, second, m);
        if (known)
            continue;
        while (free <= kExtraContacts && !PersonIsEmpty(merged, free))
            ++free;
        if (free > kExtraContacts) {
            for (int f = col::XName; f <= col::XNotes; ++f) {
                const int column = col::ExtraColumn(m, static_cast<col::Extra>(f));
                if (!IsUnfilled(second[column]))
                    note(column, second[column]);
            }
            continue;
        }
        for (int f = col::XName; f <= col::XNotes; ++f)
            merged[col::ExtraColumn(free, static_cast<col::Extra>(f))] =
                second[col::ExtraColumn(m, static_cast<col::Extra>(f))];
    }
    std::string& notes = merged[col::Notes];
    for (const std::string& line : lost)
        notes = JoinedWith(notes, line, "\r\n");
    return merged;
}

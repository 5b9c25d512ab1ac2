#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TSQLiteDatabase;

// Contacts that are likely one person or one company, found by what they share:
//   - an e-mail address (any of the contact's, any case);
//   - a phone or fax number's ten digits (the contact's own or an extra person's), together with
//     the last name or the company;
//   - the name, compared with case, accents, spacing and punctuation folded away, together with
//     the company, the street or the city line.
// A name alone never makes a group. Contacts linked through any of these form one group.
struct DuplicateGroup {
    std::vector<std::int64_t> ids; // ascending
    std::string reason;            // what joined the first two: "same e-mail address ann@lee.example"
};

// The user's word that the contacts are different people: no two of them are grouped again
// (VellicardNotDuplicates, beside the book, keeps each pair).
void MarkNotDuplicates(TSQLiteDatabase& db, const std::vector<std::int64_t>& ids);

// The groups of the book on that connection, each with two contacts or more, in the order of their
// first contact's id. Reads the book once, a page at a time.
std::vector<DuplicateGroup> FindDuplicates(TSQLiteDatabase& db, std::size_t* contacts = nullptr);

#pragma once

#include <cstdint>
#include <string>

// Seeded address books for the benchmark. A book is written where the program looks for it
// (ContactDbPath under the current HOME), through the program's own first-start build and its
// own INSERT statement, so what is measured reads exactly what the program writes.
struct BookStats {
    int contacts = 0;            // rows in the table afterwards, the three sample rows included
    std::uint64_t textBytes = 0; // bytes of all text values written
    int nullRows = 0;            // rows that had some columns set to NULL afterwards
};

// Builds a book of exactly `contacts` rows. The three sample rows of a new database stay; the
// rest are generated from the seed. The inserts run inside one transaction: the program commits
// every statement on its own, which at 100,000 rows would only measure the disk's sync time.
BookStats GenerateBook(int contacts, std::uint32_t seed);

// The generator's own version: books on disk made by another version are rebuilt.
extern const char* const kBookGeneratorVersion;

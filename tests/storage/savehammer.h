#pragma once

// The contact values the save hammer writes for a generation number. Both the hammer and the
// tests that check its work derive them from the number alone, so the log need only carry
// numbers. Every value begins with its generation and column, so no two saves look alike, and
// carries quotes, statement fragments, format directives and a column name among its filler;
// the notes grow large enough to spill onto overflow pages.

#include "storage/ContactStatements.h"

#include <cstdint>
#include <string>

inline ContactValues HammerValues(std::uint64_t generation) {
    static const char* const pieces[] = {
        "'",        "\"", "%s", "%n",  "'); DROP TABLE Customers; --", "dbCustLastName", "\\",
        "\xc3\xa9", " ",  ",",  "\r\n"};
    constexpr std::size_t kPieces = sizeof pieces / sizeof pieces[0];
    std::uint64_t state = generation * 0x9E3779B97F4A7C15ULL + 0x632BE59BD9B4E019ULL;
    auto next = [&state] {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1DULL;
    };
    ContactValues values;
    for (int i = 0; i < kDataColumns; ++i) {
        std::string value = "g" + std::to_string(generation) + "c" + std::to_string(i) + " ";
        const std::size_t length = next() % (i == 9 ? 3000 : 120);
        while (value.size() < length) {
            value += pieces[next() % kPieces];
            value += static_cast<char>('a' + next() % 26);
        }
        values[i] = value;
    }
    return values;
}

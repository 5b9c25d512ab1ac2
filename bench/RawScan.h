#pragma once

#include <cstdint>
#include <string>

struct sqlite3;

// The floor every figure is compared with: the engine alone, prepare and step through the
// statement reading every column of every row as text, with nothing kept.
struct RawScanResult {
    std::uint64_t rows = 0;
    std::uint64_t bytes = 0; // summed so the reads cannot be optimised away
};
RawScanResult RawScan(sqlite3* db, const std::string& statement);

// Prepare and step a statement that yields no rows (the floor of a save's UPDATE).
void RawRun(sqlite3* db, const std::string& statement);

// A plain connection with the same settings the program's connections use.
sqlite3* RawOpen(const std::string& path);
void RawClose(sqlite3* db);

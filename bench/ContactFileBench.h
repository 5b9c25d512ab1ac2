#pragma once

#include <cstdint>
#include <map>
#include <string>

// Export of the whole book to vCard and to CSV, and import of each of those files into an empty
// book, every round on a fresh copy. Each is set against the program's own INSERT path for the
// same rows: BuildInsertStatement and RunStatement per contact inside one transaction, into an
// empty book, measured in the same rounds.
//
// Keeps a copy of the book at `dbPath` as it is now, before any measurement writes to it.
void KeepBookForContactFiles(const std::string& dbPath);

// Prepares the files from the kept book and registers the four measurements; `rows` receives
// the number of contacts under "exchange".
void RegisterContactFileBenchmarks(int size, int repetitions,
                                   std::map<std::string, std::uint64_t>& rows);

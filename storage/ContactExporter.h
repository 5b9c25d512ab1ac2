#pragma once

#include <cstddef>
#include <string>

struct ExportSummary {
    std::size_t exported = 0;
    std::string file;
    std::string Text() const; // "Exported 3 contacts to FILE"
};

// Writes the contacts a query of the Customers table yields (the whole book by default) as
// vCards, or as CSV when the file name ends in ".csv". The file is written beside the target
// under another name and renamed over it only when complete, so a failed export never leaves a
// half-written file where an older good one was (see TAtomicFile). The address book's own
// files are refused as targets.
ExportSummary ExportContacts(const std::string& dbPath, const std::string& filePath,
                             const std::string& query = "SELECT * FROM Customers");

// Whether the name asks for CSV rather than vCard.
bool IsCsvFileName(const std::string& filePath);

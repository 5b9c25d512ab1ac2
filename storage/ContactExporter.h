#pragma once

#include "ContactStatements.h"

#include <cstddef>
#include <string>
#include <vector>

struct ExportSummary {
    std::size_t exported = 0;
    std::string file;
    std::string Text() const; // "Exported 3 contacts to FILE"
};

// Writes the contacts (as the editor saves them) as vCards, or as CSV when the file name ends
// in ".csv". The file is written beside the target under another name and renamed over it only
// when complete, so a failed export never leaves a half-written file where an older good one
// was (see TAtomicFile).
ExportSummary WriteContactFile(const std::string& filePath,
                               const std::vector<ContactValues>& contacts);
// Throws ContactFileError when the target is the address book at dbPath, or a file the engine
// keeps beside it while it works.
void RefuseExportOntoBook(const std::string& dbPath, const std::string& filePath);

// Whether the name asks for CSV rather than vCard.
bool IsCsvFileName(const std::string& filePath);

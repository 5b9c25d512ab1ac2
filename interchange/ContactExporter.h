#pragma once

#include "model/ContactColumns.h"

#include <cstddef>
#include <functional>
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
// The same for contacts handed over one at a time: `source` calls its argument for each. The file
// is written as they come, so the memory it takes does not grow with the book.
using ContactSource =
    std::function<void(const std::function<void(const ContactValues&)>& write)>;
ExportSummary WriteContactFile(const std::string& filePath, const ContactSource& source);
// Throws EContactFileError when the target is the address book at dbPath, or a file the engine
// keeps beside it while it works.
void RefuseExportOntoBook(const std::string& dbPath, const std::string& filePath);

// Whether the name asks for CSV rather than vCard.
bool IsCsvFileName(const std::string& filePath);

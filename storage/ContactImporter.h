#pragma once

#include "ContactCards.h"

#include <cstddef>
#include <string>
#include <vector>

class IImportProgress;
class TSQLiteDatabase;

struct ImportSummary {
    std::size_t imported = 0;
    std::size_t skipped = 0; // equal to a contact already in the book, or earlier in the file
    // One entry per contact with values moved to notes: its name and the kinds moved.
    std::vector<std::string> moved;
    // For the import flow to fill: one entry per contact whose values reading had to change
    // (ImportedContact::fitted.ChangedKinds()), its name and the kinds, as `moved`; and the
    // photos, logos, sounds and keys left out (the sum of ImportedContact::leftOut).
    std::vector<std::string> changed;
    std::size_t leftOut = 0;
    bool cancelled = false;
    std::vector<std::string> addedIds; // of the contacts added, once the import is committed

    // "Imported 412 contacts, 3 skipped as already present, 5 with values moved to notes",
    // then a line for each contact with moved values.
    std::string Text() const;
};

// Larger files are refused before anything is read: no address book of a small business
// comes near it, and a file that size is far more likely a mistake.
constexpr std::size_t kMaxImportBytes = 64u * 1024u * 1024u;

// The contacts in a vCard or CSV file (the format is told by the content, not the name). Throws
// ContactFileError with a message for the user when the file is neither, or broken.
std::vector<ImportedContact> ReadContactFile(const std::string& bytes);

// Reads and checks the whole file: its contacts, or ContactFileError with a message for the user.
std::vector<ImportedContact> ReadContactsFrom(const std::string& filePath);
// Adds the contacts to the book on that connection in one transaction: any failure or a cancel
// leaves the book exactly as it was. A contact equal to one already stored is skipped.
ImportSummary ImportContacts(TSQLiteDatabase& db, const std::vector<ImportedContact>& contacts,
                             IImportProgress* progress = nullptr);

#pragma once

#include "interchange/ContactCards.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

class IImportProgress;
class TContactReader;
class TSQLiteDatabase;

struct ImportSummary {
    std::size_t imported = 0;
    std::size_t skipped = 0; // equal to a contact already in the book, or earlier in the file
    // The names of the contacts with values moved to notes, in the order of the file.
    std::vector<std::string> moved;
    // How many values moved to notes, by why they did.
    std::map<MoveReason, std::size_t> movedBy;
    // For the import flow to fill: one entry per contact whose values reading had to change
    // (ImportedContact::fitted.ChangedKinds()), its name and the kinds, as `moved`; and the
    // photos, logos, sounds and keys left out (the sum of ImportedContact::leftOut).
    std::vector<std::string> changed;
    std::size_t leftOut = 0;
    bool cancelled = false;
    // What became of an earlier import that was cut short, when this one found one.
    std::string interrupted;
    std::vector<std::string> addedIds; // of the contacts added, once the import is committed

    // "Imported 412 contacts, 3 skipped as already present, 5 with values moved to notes", a
    // line for each kind of moved value with their number, then the first 20 of those contacts
    // by name and how many more.
    std::string Text() const;
};

// Adds the contacts to the book on that connection. A contact equal to one already stored, or to
// one earlier in the file, is skipped. The contacts are first gathered in a private staging
// file, outside the book; the book then takes them in short transactions of kInsertRows rows
// each, so that other copies of the program never wait long for it. Any failure or a cancel
// leaves the book as it was: contacts already added are taken out again.
// The file is read as it goes: the progress counts its bytes. A broken file fails before
// anything reaches the book.
ImportSummary ImportContacts(TSQLiteDatabase& db, TContactReader& reader,
                             IImportProgress* progress = nullptr);

// An import the program did not live to finish or take out (killed, or the machine went down)
// left part of its contacts in the book, and a record of them beside it. Takes those contacts
// out again, all but any changed since, and says so; "" when no import was cut short. The
// start of the program and every import call it.
std::string TakeOutInterruptedImport(TSQLiteDatabase& db);

// Rows added to the book in one transaction.
constexpr std::size_t kInsertRows = 4000;

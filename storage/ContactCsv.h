#pragma once

#include "ContactCards.h"
#include "CsvTable.h"

// Contacts as a spreadsheet: one row per contact, 45 columns headed by the editor's captions
// ("Company Name", "Extra Contact 2 Phone Extension"), in the order the editor saves them.
const CsvRow& CsvHeader();
void AppendCsvContact(std::string& out, const ContactValues& saved);

// Rows of a file with that header; its columns are found by their names (the stored column
// names also serve), in any order, and unknown columns are ignored. Throws ContactFileError when
// the first row names none of the columns.
std::vector<ImportedContact> ContactsFromCsv(const std::vector<CsvRow>& rows);
// Whether the first row names at least one of the columns.
bool LooksLikeContactCsv(const std::string& bytes);

#pragma once

#include "interchange/ContactCards.h"
#include "interchange/CsvTable.h"

// Contacts as a spreadsheet: one row per contact, 45 columns headed by the editor's captions
// ("Company Name", "Extra Contact 2 Phone Extension"), in the order the editor saves them.
const CsvRow& CsvHeader();
void AppendCsvContact(std::string& out, const ContactValues& saved);

// Rows of a file with that header, or of the CSV layouts of Google Contacts, Outlook and
// Thunderbird. Columns are found by their names (the stored column names also serve, case does
// not matter), in any order. A field takes the first column of its names with a value; city,
// state and zip code columns make the "City, State, Zip Code" line, street lines join with ", ".
// Every other cell with a value goes to the notes as "Header: value", a cell past the header as
// "Column 12: value". Throws EContactFileError when the first row names none of the columns.
std::vector<ImportedContact> ContactsFromCsv(const std::vector<CsvRow>& rows);
// The message that refuses a file whose text (as UTF-8, read in `encoding`) is no contact CSV.
std::string CsvRefusal(const std::string& text, const std::string& encoding);
// Whether the first row names at least one of the columns.
bool LooksLikeContactCsv(const std::string& bytes);

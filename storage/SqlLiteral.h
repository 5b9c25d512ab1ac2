#pragma once

#include <string>

// Renders a text as an SQL string literal: single quotes around it, embedded single quotes
// doubled. Every field value enters a statement through here. A double-quoted token is read by
// the engine as a column name when one of that name exists, so a value such as
// "dbCustLastName" would silently store another column's content; a single-quoted literal is
// always a string.
//
// Zero bytes are left out. The engine reads a statement text only up to its first zero byte, so
// one inside a value would cut the statement in the middle of its literal and the whole save
// would fail; and a stored text is read back only up to its first zero byte anyway. A zero
// character is invisible in the editor (it can arrive by pasting), so dropping it stores exactly
// what the user sees.
std::string SqlText(const std::string& value);

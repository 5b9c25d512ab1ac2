#pragma once

#include <string>

// Renders a text as an SQL string literal: single quotes around it, embedded single quotes
// doubled. Every field value enters a statement through here. A double-quoted token is read by
// the engine as a column name when one of that name exists, so a value such as
// "dbCustLastName" would silently store another column's content; a single-quoted literal is
// always a string.
std::string SqlText(const std::string& value);

#pragma once

#include <array>
#include <bitset>
#include <string>

#include "ContactColumns.h"

// The statements that write and search contacts. Values always enter as safe literals
// (SqlLiteral.h); the identifier, which only ever comes from the database itself, is checked to
// be a plain integer before it is placed unquoted.
using ContactValues = std::array<std::string, kDataColumns>; // in SaveOrderColumns() order

// Columns an update leaves as they are stored (each is assigned to itself): for a value the editor
// could not show exactly, such as a text holding a zero byte or a blob, that the user did not
// change.
using KeptColumns = std::bitset<kDataColumns>; // in SaveOrderColumns() order

std::string BuildUpdateStatement(const ContactValues& values, const std::string& id,
                                 const KeptColumns& kept = {});
std::string BuildInsertStatement(const ContactValues& values);
std::string BuildDeleteStatement(const std::string& id);
std::string BuildSelectByIdStatement(const std::string& id);

// The contact list's search kinds, numbered as the search combo lists them.
enum class SearchKind { All = 0, Company = 1, LastName = 2, FirstName = 3 };

// All contacts, or those whose column for the kind starts with the text (any case of "a" to "z").
std::string BuildSearchStatement(SearchKind kind, const std::string& searchText);
// Upper-cases "a" to "z" only, as the search does; every other byte stays.
std::string UpperAsciiOnly(const std::string& text);

#pragma once

#include <string>

#include "model/ContactColumns.h"

// The statements that write and search contacts. Values always enter as safe literals
// (SqlLiteral.h); the identifier, which only ever comes from the database itself, is checked to
// be a plain integer before it is placed unquoted.
std::string BuildUpdateStatement(const ContactValues& values, const std::string& id,
                                 const KeptColumns& kept = {});
std::string BuildInsertStatement(const ContactValues& values);
std::string BuildDeleteStatement(const std::string& id);
std::string BuildSelectByIdStatement(const std::string& id);

// The contact list's search kinds, numbered as the search combo lists them.
enum class SearchKind { All = 0, Company = 1, LastName = 2, FirstName = 3 };

// All contacts, or those whose column for the kind starts with the text (any case of "a" to "z").
std::string BuildSearchStatement(SearchKind kind, const std::string& searchText);

#pragma once

#include <array>
#include <string>

// The Customers table: its creating statement and its columns. A contact is 10 columns of its
// own followed by 7 columns for each of five extra people, and the 46th column is the key.
extern const char* const kCreateCustomersSql;
extern const char* const kIdColumn; // "dbCustomer_ID"

constexpr int kExtraContacts = 5;
constexpr int kColumnsPerExtra = 7;
constexpr int kDataColumns = 10 + kExtraContacts * kColumnsPerExtra; // 45

// The 45 data columns in table order, which is also the order the save statements write them.
const std::array<std::string, kDataColumns>& SaveOrderColumns();

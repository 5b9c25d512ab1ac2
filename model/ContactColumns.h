#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "model/ContactValues.h"

// The Customers table: its creating statement and its columns. A contact is 10 columns of its
// own followed by 7 columns for each of five extra people, and the 46th column is the key.
extern const char* const kCreateCustomersSql;
extern const char* const kIdColumn; // "dbCustomer_ID"

// The phone and fax mask "(999)999-9999" and the extension mask "99999": their digit counts,
// and the stored form of an untouched field, literals in place and a blank in every digit
// position.
constexpr std::size_t kPhoneDigits = 10;
constexpr std::size_t kExtensionDigits = 5;
extern const char* const kEmptyPhoneValue;     // "(   )   -    "
extern const char* const kEmptyExtensionValue; // five blanks

// What a column holds, which decides how a value is checked, fitted and shown.
enum class FieldType { Text, Phone, Fax, Extension, Email, Web, Notes };

// Everything the program knows of one data column.
struct ContactColumn {
    std::string name;      // "dbExtraPhone2"
    std::string caption;   // the kind of value, as notes name a moved one: "Phone"
    std::string csvHeader; // "Extra Contact 2 Phone Number"
    FieldType type;
    // The most characters the editor takes (notes: characters; masked fields: the mask's
    // length); 0 for none.
    std::size_t limit;
    std::size_t lines;   // notes: the most lines the editor takes; 0 otherwise
    int owner;           // 0 for the contact itself, 1 to 5 for that extra contact
    std::string control; // the editor's control: "txtExtraPhone2"
};

// The 45 data columns in table order, which is also the order the save statements write them.
const std::array<ContactColumn, kDataColumns>& ContactColumnTable();
// Their names in the same order.
const std::array<std::string, kDataColumns>& SaveOrderColumns();
// The order in which a stored contact is read and loaded into the editor, as places in the
// table: company, first name, last name, e-mail, web site, address, city-state-zip, phone, fax,
// notes, then each extra contact's columns in table order.
const std::array<int, kDataColumns>& LoadOrder();

// A masked column's value with nothing filled in; empty for the others.
std::string EmptyValueOf(FieldType type);

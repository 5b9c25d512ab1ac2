#pragma once

#include <array>
#include <bitset>
#include <string>

// One contact as the program holds it: the texts of its 45 data columns. A contact is 10
// columns of its own followed by 7 columns for each of five extra people; the column table
// (ContactColumns.h) tells what each column is.
constexpr int kContactColumns = 10;
constexpr int kExtraContacts = 5;
constexpr int kColumnsPerExtra = 7;
constexpr int kDataColumns = kContactColumns + kExtraContacts * kColumnsPerExtra; // 45

using ContactValues = std::array<std::string, kDataColumns>; // in table order

// Columns a save leaves as they are stored: a value the editor could not show exactly, such as
// a text holding a zero byte or a blob, that the user did not change.
using KeptColumns = std::bitset<kDataColumns>; // in table order

// Positions in table order.
namespace col {
enum Main { FirstName, LastName, Company, Address, CtyStZp, Email, WebSite, Phone, Fax, Notes };
enum Extra { XName, XTitle, XPhone, XExt, XFax, XEmail, XNotes };
inline int ExtraColumn(int n, Extra field) {
    return kContactColumns + (n - 1) * kColumnsPerExtra + field;
}
} // namespace col

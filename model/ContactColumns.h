#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "model/ContactValues.h"

// The Customers table: its creating statement and its columns. A contact is 10 columns of its
// own followed by 7 columns for each of five extra people, and the 46th column is the key.
extern const char* const kCreateCustomersSql;
extern const char* const kIdColumn; // "dbCustomer_ID"

// The editor's masks of the phone and fax fields and of the extension fields: the one place
// their shapes are written, from which everything else about them follows. "!" fills a value
// from the right, "9" is a digit's place, "\\" makes the next character a literal, and after the
// body ";1" keeps the literals in the value and ";_" shows an unfilled place.
inline constexpr char kPhoneMask[] = "!\\(999\\)999-9999;1;_";
inline constexpr char kExtensionMask[] = "!99999;1;_";

// A mask's body as a stored value lays it out: the literals in their places and a blank in
// every digit's place (the form of an untouched field), its length and its digit places.
struct MaskShape {
    char empty[24] = {};
    std::size_t length = 0;
    std::size_t digits = 0;
};
constexpr MaskShape ShapeOfMask(const char* mask) {
    MaskShape shape;
    for (std::size_t i = 0; mask[i] != '\0' && mask[i] != ';'; ++i) {
        if (mask[i] == '!')
            continue;
        const bool literal = mask[i] == '\\';
        if (literal)
            ++i;
        const bool digit = !literal && mask[i] == '9';
        shape.empty[shape.length++] = digit ? ' ' : mask[i];
        shape.digits += digit ? 1 : 0;
    }
    return shape;
}
inline constexpr MaskShape kPhoneShape = ShapeOfMask(kPhoneMask);
inline constexpr MaskShape kExtensionShape = ShapeOfMask(kExtensionMask);
constexpr std::size_t kPhoneDigits = kPhoneShape.digits;         // 10
constexpr std::size_t kExtensionDigits = kExtensionShape.digits; // 5
inline constexpr const char* kEmptyPhoneValue = kPhoneShape.empty;         // "(   )   -    "
inline constexpr const char* kEmptyExtensionValue = kExtensionShape.empty; // five blanks

// Whether a value has nothing filled in: empty, or a masked field's empty value.
inline bool IsUnfilled(const std::string& value) {
    return value.empty() || value == kEmptyPhoneValue || value == kEmptyExtensionValue;
}
// The digits laid into the shape's digit places from the first; blanks in the places left.
std::string LaidIntoShape(const MaskShape& shape, const std::string& digits);
// What a mask keeps of a text: every character but blanks and the literals of the masks.
std::string MaskedCharacters(const std::string& text);

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

// The column's name where the user reads of it apart from its editor page: its kind, after
// "Extra Contact 2 " for an extra contact's ("Extra Contact 2 Phone").
std::string ColumnCaption(int column);

// A masked column's value with nothing filled in; empty for the others.
std::string EmptyValueOf(FieldType type);

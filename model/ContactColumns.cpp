#include "model/ContactColumns.h"

const char* const kCreateCustomersSql =
    "CREATE TABLE Customers(dbCustomer_ID INTEGER PRIMARY KEY,dbCustFirstName "
    "VARCHAR(18),dbCustLastName VARCHAR(18),dbCustCompany VARCHAR(25),dbCustAddress "
    "VARCHAR(30),dbCustCtyStZp VARCHAR(30),dbCustEmail VARCHAR(35),dbCustWebSite "
    "VARCHAR(35),dbCustPhone VARCHAR(14),dbCustFax VARCHAR(14),dbCustNotes "
    "VARCHAR(500),dbExtraName1 VARCHAR(36),dbExtraTitle1 VARCHAR(14),dbExtraPhone1 "
    "VARCHAR(15),dbExtraPhoneExt1 VARCHAR(5),dbExtraFax1 VARCHAR(15),dbExtraEmail1 "
    "VARCHAR(35),dbExtraNotes1 VARCHAR(200),dbExtraName2 VARCHAR(36),dbExtraTitle2 "
    "VARCHAR(14),dbExtraPhone2 VARCHAR(15),dbExtraPhoneExt2 VARCHAR(5),dbExtraFax2 "
    "VARCHAR(15),dbExtraEmail2 VARCHAR(35),dbExtraNotes2 VARCHAR(200),dbExtraName3 "
    "VARCHAR(36),dbExtraTitle3 VARCHAR(14),dbExtraPhone3 VARCHAR(15),dbExtraPhoneExt3 "
    "VARCHAR(5),dbExtraFax3 VARCHAR(15),dbExtraEmail3 VARCHAR(35),dbExtraNotes3 "
    "VARCHAR(200),dbExtraName4 VARCHAR(36),dbExtraTitle4 VARCHAR(14),dbExtraPhone4 "
    "VARCHAR(15),dbExtraPhoneExt4 VARCHAR(5),dbExtraFax4 VARCHAR(15),dbExtraEmail4 "
    "VARCHAR(35),dbExtraNotes4 VARCHAR(200),dbExtraName5 VARCHAR(36),dbExtraTitle5 "
    "VARCHAR(14),dbExtraPhone5 VARCHAR(15),dbExtraPhoneExt5 VARCHAR(5),dbExtraFax5 "
    "VARCHAR(15),dbExtraEmail5 VARCHAR(35),dbExtraNotes5 VARCHAR(200));";

const char* const kIdColumn = "dbCustomer_ID";

std::string LaidIntoShape(const MaskShape& shape, const std::string& digits) {
    std::string value(shape.empty, shape.length);
    std::size_t next = 0;
    for (char& c : value)
        if (c == ' ' && next < digits.size())
            c = digits[next++];
    return value;
}

std::string MaskedCharacters(const std::string& text) {
    const std::string literals = std::string(kPhoneShape.empty, kPhoneShape.length) +
                                 std::string(kExtensionShape.empty, kExtensionShape.length);
    std::string kept;
    for (char c : text)
        if (literals.find(c) == std::string::npos)
            kept += c;
    return kept;
}

std::string EmptyValueOf(FieldType type) {
    switch (type) {
    case FieldType::Phone:
    case FieldType::Fax:
        return kEmptyPhoneValue;
    case FieldType::Extension:
        return kEmptyExtensionValue;
    default:
        return {};
    }
}

namespace {

struct Row {
    const char* stem; // the column's name without the extra contact's number
    const char* caption;
    const char* csvHeader;
    FieldType type;
    std::size_t limit;
    std::size_t lines;
    const char* control;
};

constexpr std::size_t kPhoneLength = kPhoneShape.length;

const Row kContact[kContactColumns] = {
    {"dbCustFirstName", "First Name", "First Name", FieldType::Text, 18, 0, "txtCustFrstName"},
    {"dbCustLastName", "Last Name", "Last Name", FieldType::Text, 18, 0, "txtCustLstName"},
    {"dbCustCompany", "Company Name", "Company Name", FieldType::Text, 25, 0, "txtCustCmpnyName"},
    {"dbCustAddress", "Address", "Address", FieldType::Text, 30, 0, "txtCustAddress"},
    {"dbCustCtyStZp", "City, State, Zip Code", "City, State, Zip Code", FieldType::Text, 30, 0,
     "txtCtyStZip"},
    {"dbCustEmail", "E-mail", "Contact Email", FieldType::Email, 35, 0, "txtCustEmail"},
    // The web address has no limit of its own, though its column is declared 35 wide.
    {"dbCustWebSite", "Web Site", "Contact Web Site Address", FieldType::Web, 0, 0,
     "txtCustWebAddress"},
    {"dbCustPhone", "Phone", "Phone Number", FieldType::Phone, kPhoneLength, 0, "txtCustPhone"},
    {"dbCustFax", "Fax", "Fax Number", FieldType::Fax, kPhoneLength, 0, "txtCustFax"},
    {"dbCustNotes", "Notes", "Notes", FieldType::Notes, 500, 7, "txtContNotes"},
};

const Row kExtra[kColumnsPerExtra] = {
    {"dbExtraName", "Contact Name", "Contact Name", FieldType::Text, 36, 0, "txtExtraName"},
    {"dbExtraTitle", "Contact Title", "Contact Title", FieldType::Text, 14, 0, "txtExtraTitle"},
    {"dbExtraPhone", "Phone", "Phone Number", FieldType::Phone, kPhoneLength, 0, "txtExtraPhone"},
    {"dbExtraPhoneExt", "Phone Extension", "Phone Extension", FieldType::Extension,
     kExtensionDigits, 0, "txtExtraPhoneExt"},
    {"dbExtraFax", "Fax", "Fax Number", FieldType::Fax, kPhoneLength, 0, "txtExtraFax"},
    {"dbExtraEmail", "E-mail", "Contact Email", FieldType::Email, 35, 0, "txtExtraEmail"},
    {"dbExtraNotes", "Notes", "Notes for this contact", FieldType::Notes, 200, 5, "txtExtraNotes"},
};

ContactColumn Column(const Row& r, int owner) {
    const std::string n = owner > 0 ? std::to_string(owner) : std::string();
    const std::string header =
        owner > 0 ? "Extra Contact " + n + " " + r.csvHeader : std::string(r.csvHeader);
    return {r.stem + n, r.caption, header, r.type, r.limit, r.lines, owner, r.control + n};
}

} // namespace

const std::array<ContactColumn, kDataColumns>& ContactColumnTable() {
    static const std::array<ContactColumn, kDataColumns> table = [] {
        std::array<ContactColumn, kDataColumns> t;
        int i = 0;
        for (const Row& r : kContact)
            t[i++] = Column(r, 0);
        for (int n = 1; n <= kExtraContacts; ++n)
            for (const Row& r : kExtra)
                t[i++] = Column(r, n);
        return t;
    }();
    return table;
}

const std::array<std::string, kDataColumns>& SaveOrderColumns() {
    static const std::array<std::string, kDataColumns> columns = [] {
        std::array<std::string, kDataColumns> c;
        for (int i = 0; i < kDataColumns; ++i)
            c[i] = ContactColumnTable()[i].name;
        return c;
    }();
    return columns;
}

const std::array<int, kDataColumns>& LoadOrder() {
    static const std::array<int, kDataColumns> order = [] {
        using namespace col;
        std::array<int, kDataColumns> o = {Company, FirstName, LastName, Email, WebSite,
                                           Address, CtyStZp,   Phone,    Fax,   Notes};
        for (int i = kContactColumns; i < kDataColumns; ++i)
            o[i] = i;
        return o;
    }();
    return order;
}

std::string ColumnCaption(int column) {
    const ContactColumn& c = ContactColumnTable()[column];
    return c.owner == 0 ? c.caption : "Extra Contact " + std::to_string(c.owner) + " " + c.caption;
}

static_assert(kPhoneShape.length == 13 && kPhoneDigits == 10 && kExtensionDigits == 5 &&
                  kExtensionShape.length == 5,
              "the stored phone and extension values keep their length");

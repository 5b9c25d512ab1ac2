#include "ContactColumns.h"

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

const std::array<std::string, kDataColumns>& SaveOrderColumns() {
    static const std::array<std::string, kDataColumns> columns = [] {
        std::array<std::string, kDataColumns> c{
            "dbCustFirstName", "dbCustLastName", "dbCustCompany", "dbCustAddress", "dbCustCtyStZp",
            "dbCustEmail",     "dbCustWebSite",  "dbCustPhone",   "dbCustFax",     "dbCustNotes"};
        const char* stems[kColumnsPerExtra] = {"dbExtraName",     "dbExtraTitle", "dbExtraPhone",
                                               "dbExtraPhoneExt", "dbExtraFax",   "dbExtraEmail",
                                               "dbExtraNotes"};
        int i = 10;
        for (int n = 1; n <= kExtraContacts; ++n)
            for (const char* stem : stems)
                c[i++] = stem + std::to_string(n);
        return c;
    }();
    return columns;
}

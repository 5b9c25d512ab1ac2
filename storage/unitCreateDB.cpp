#include "storage/unitCreateDB.h"

#include "model/ContactColumns.h"
#include "storage/BusyNotice.h"
#include "storage/SQLiteTable3.h"
#include "storage/SqlLiteral.h"
#include "storage/unitFilePath.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

struct Seed {
    const char* column;
    const char* value;
};

std::string InsertOf(const std::vector<Seed>& seeds) {
    std::string columns, values;
    for (const Seed& s : seeds) {
        if (!columns.empty()) {
            columns += ',';
            values += ',';
        }
        columns += s.column;
        values += SqlText(s.value);
    }
    return "INSERT INTO Customers(" + columns + ")VALUES(" + values + ");";
}

// A company without a main person, with all five extra people.
std::string SeedRow1() {
    return InsertOf({{"dbCustFirstName", ""},
                     {"dbCustLastName", ""},
                     {"dbCustCompany", "Joes Bar and Grill"},
                     {"dbCustAddress", "123 Joes Street"},
                     {"dbCustCtyStZp", "Joe City, State, 12345"},
                     {"dbCustEmail", "info@joesbarandgrill.example.com"},
                     {"dbCustWebSite", "https://www.joesbarandgrill.example.com"},
                     {"dbCustPhone", "(225)123-4567"},
                     {"dbCustFax", "(225)123-4568"},
                     {"dbCustNotes", "Notes about Joes Bar and Grill Here!"},
                     {"dbExtraName1", "Joe Marino"},
                     {"dbExtraTitle1", "Owner"},
                     {"dbExtraPhone1", "(225)123-5567"},
                     {"dbExtraPhoneExt1", "123"},
                     {"dbExtraFax1", ""},
                     {"dbExtraEmail1", "info@joesbarandgrill.example.com"},
                     {"dbExtraNotes1", "Owner for 5 Years."},
                     {"dbExtraName2", "Rita Alvarez"},
                     {"dbExtraTitle2", "Manager"},
                     {"dbExtraPhone2", "(225)123-4567"},
                     {"dbExtraPhoneExt2", "124"},
                     {"dbExtraFax2", ""},
                     {"dbExtraEmail2", "rita@joesbarandgrill.example.com"},
                     {"dbExtraNotes2", ""},
                     {"dbExtraName3", "Tom Becker"},
                     {"dbExtraTitle3", "A/R"},
                     {"dbExtraPhone3", "(225)123-5567"},
                     {"dbExtraPhoneExt3", "125"},
                     {"dbExtraFax3", ""},
                     {"dbExtraEmail3", "billing@joesbarandgrill.example.com"},
                     {"dbExtraNotes3", "Head of Billing Dept."},
                     {"dbExtraName4", "Sara Lindqvist"},
                     {"dbExtraTitle4", "A/P"},
                     {"dbExtraPhone4", "(225)123-4567"},
                     {"dbExtraPhoneExt4", "126"},
                     {"dbExtraFax4", "(225)123-6667"},
                     {"dbExtraEmail4", "payments@joesbarandgrill.example.com"},
                     {"dbExtraNotes4", "Head of Payments Dept."},
                     {"dbExtraName5", "Dan Okafor"},
                     {"dbExtraTitle5", "Shipping"},
                     {"dbExtraPhone5", "(225)123-4567"},
                     {"dbExtraPhoneExt5", "127"},
                     {"dbExtraFax5", ""},
                     {"dbExtraEmail5", "shipping@joesbarandgrill.example.com"},
                     {"dbExtraNotes5", ""}});
}

// A private person with two family members as extra people.
std::string SeedRow2() {
    return InsertOf({{"dbCustFirstName", "Mark"},
                     {"dbCustLastName", "Doyle"},
                     {"dbCustCompany", ""},
                     {"dbCustAddress", "234 2nd Street"},
                     {"dbCustCtyStZp", "Mark City, Mark State 88888"},
                     {"dbCustEmail", ""},
                     {"dbCustPhone", "(221)333-7758"},
                     {"dbCustFax", "(221)333-7759"},
                     {"dbExtraName1", "Jane Doyle"},
                     {"dbExtraTitle1", "Wife"},
                     {"dbExtraPhone1", ""},
                     {"dbExtraPhoneExt1", ""},
                     {"dbExtraFax1", ""},
                     {"dbExtraNotes1", "Married 10 years"},
                     {"dbExtraName2", "Sam Doyle"},
                     {"dbExtraTitle2", "Son"},
                     {"dbExtraPhone2", ""},
                     {"dbExtraPhoneExt2", ""},
                     {"dbExtraFax2", ""},
                     {"dbExtraNotes2", "3 Years Old"}});
}

// The wife of row 2, with a company of her own.
std::string SeedRow3() {
    return InsertOf({{"dbCustFirstName", "Jane"},
                     {"dbCustLastName", "Doyle"},
                     {"dbCustCompany", "Janes Place"},
                     {"dbCustAddress", "55555 Street Place"},
                     {"dbCustCtyStZp", "Jane City, Jane State 88888"},
                     {"dbCustEmail", "jane@janesplace.example.com"},
                     {"dbCustPhone", "(220)444-9874"},
                     {"dbCustFax", "(220)444-9875"}});
}

class BusyScope {
public:
    explicit BusyScope(const char* caption) { BusyNotice().Begin(caption); }
    ~BusyScope() { BusyNotice().End(); }
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

const char* const* SeedStatements(int* count) {
    static const std::string rows[] = {kCreateCustomersSql, SeedRow1(), SeedRow2(), SeedRow3()};
    static const char* const texts[] = {rows[0].c_str(), rows[1].c_str(), rows[2].c_str(),
                                        rows[3].c_str()};
    *count = 4;
    return texts;
}

void BuildContactDatabase() {
    namespace fs = std::filesystem;
    BusyScope busy("Building DataBase...");

    // The database is built under a temporary name and moved into place only when complete:
    // a build that fails half way must not leave a file that later starts take as finished.
    const std::string target = ContactDbPath();
    const std::string building = target + ".building";
    std::error_code ignored;
    fs::remove(fs::path(building), ignored);
    fs::remove(fs::path(building + "-journal"), ignored);

    try {
        {
            std::unique_ptr<TSQLiteDatabase> db;
            try {
                db = std::make_unique<TSQLiteDatabase>(building);
            } catch (const ESQLiteException& e) {
                // Report the file the user knows, not the temporary one.
                throw ESQLiteException(Replace(e.what(), building, target));
            }
            int count = 0;
            const char* const* statements = SeedStatements(&count);
            for (int i = 0; i < count; ++i)
                db->RunStatement(statements[i]);
        }
        std::error_code ec;
        fs::rename(fs::path(building), fs::path(target), ec);
        if (ec)
            throw ESQLiteException("Failed to create database \"" + target +
                                   "\" : " + ec.message());
    } catch (...) {
        fs::remove(fs::path(building), ignored);
        fs::remove(fs::path(building + "-journal"), ignored);
        throw;
    }
}

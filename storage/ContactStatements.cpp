#include "storage/ContactStatements.h"

#include "interchange/TextCodec.h"
#include "storage/SQLiteTable3.h"
#include "storage/SqlLiteral.h"

namespace {

const std::string& CheckedId(const std::string& id) {
    bool ok = !id.empty() && id.size() <= 20;
    for (std::size_t i = 0; ok && i < id.size(); ++i)
        ok = (id[i] >= '0' && id[i] <= '9') || (i == 0 && id[i] == '-' && id.size() > 1);
    if (!ok)
        throw ESQLiteException("Invalid contact identifier: \"" + id + "\"");
    return id;
}

} // namespace

std::string BuildUpdateStatement(const ContactValues& values, const std::string& id,
                                 const KeptColumns& kept) {
    const auto& columns = SaveOrderColumns();
    std::string sql = "UPDATE Customers SET ";
    for (int i = 0; i < kDataColumns; ++i) {
        if (i > 0)
            sql += ',';
        sql += columns[i];
        // The extra contacts' e-mail assignments have always been written without the blank
        // after the equals sign; the engine does not care, but the statement text is kept as is.
        sql += columns[i].compare(0, 12, "dbExtraEmail") == 0 ? " =" : " = ";
        sql += kept[i] ? columns[i] : SqlText(values[i]);
    }
    sql += " WHERE dbCustomer_ID = ";
    sql += CheckedId(id);
    sql += ';';
    return sql;
}

std::string BuildInsertStatement(const ContactValues& values) {
    const auto& columns = SaveOrderColumns();
    std::string sql = "INSERT INTO Customers(";
    for (int i = 0; i < kDataColumns; ++i) {
        if (i > 0)
            sql += ',';
        sql += columns[i];
    }
    sql += ")VALUES(";
    for (int i = 0; i < kDataColumns; ++i) {
        if (i > 0)
            sql += ',';
        sql += SqlText(values[i]);
    }
    sql += ");";
    return sql;
}

std::string BuildDeleteStatement(const std::string& id) {
    return "DELETE FROM Customers WHERE dbCustomer_ID = " + CheckedId(id) + ";";
}

std::string BuildSelectByIdStatement(const std::string& id) {
    return "SELECT * FROM Customers WHERE dbCustomer_ID = " + CheckedId(id);
}


std::string BuildSearchStatement(SearchKind kind, const std::string& searchText) {
    const char* column = nullptr;
    switch (kind) {
    case SearchKind::Company:
        column = "dbCustCompany";
        break;
    case SearchKind::LastName:
        column = "dbCustLastName";
        break;
    case SearchKind::FirstName:
        column = "dbCustFirstName";
        break;
    case SearchKind::All:
        return "SELECT * FROM Customers";
    }
    if (!column)
        return "SELECT * FROM Customers";
    return std::string("SELECT * FROM Customers WHERE UPPER(") + column + ") LIKE " +
           SqlText(UpperAscii(searchText) + "%");
}

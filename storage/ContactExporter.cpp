#include "ContactExporter.h"

#include "AddressBook.h"
#include "ContactCards.h"
#include "ContactCsv.h"
#include "ContactFileError.h"
#include "ContactFitting.h"
#include "SQLiteTable3.h"
#include "TextCodec.h"
#include "VCardWriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

void WriteAtomically(const std::string& target, const std::string& bytes) {
    namespace fs = std::filesystem;
    const std::string partial = target + ".partial";
    std::error_code ignored;
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out)
            throw ContactFileError("Cannot write \"" + target + "\".");
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            fs::remove(partial, ignored);
            throw ContactFileError("Cannot write \"" + target + "\": the disk may be full.");
        }
    }
    std::error_code ec;
    fs::rename(partial, target, ec);
    if (ec) {
        fs::remove(partial, ignored);
        throw ContactFileError("Cannot write \"" + target + "\": " + ec.message() + ".");
    }
}

} // namespace

std::string ExportSummary::Text() const {
    return "Exported " + std::to_string(exported) + (exported == 1 ? " contact" : " contacts") +
           " to " + file;
}

bool IsCsvFileName(const std::string& filePath) {
    return filePath.size() >= 4 && LowerAscii(filePath.substr(filePath.size() - 4)) == ".csv";
}

ExportSummary ExportContacts(const std::string& dbPath, const std::string& filePath,
                             const std::string& query) {
    const bool csv = IsCsvFileName(filePath);
    ExportSummary summary;
    summary.file = filePath;
    VCardWriter writer;
    std::string& out = writer.Output();
    if (csv) {
        // The byte-order mark makes spreadsheets read the file as UTF-8.
        out = "\xEF\xBB\xBF";
        AppendCsvRow(out, CsvHeader());
    }
    std::vector<ContactValues> contacts;
    {
        TSQLiteDatabase db(dbPath, OpenMode::ExistingOnly);
        contacts = ReadSavedContacts(db, query);
    }
    out.reserve(out.size() + contacts.size() * 600u);
    for (const ContactValues& saved : contacts) {
        if (csv)
            AppendCsvContact(out, saved);
        else
            WriteContactCards(writer, saved);
        ++summary.exported;
    }
    WriteAtomically(filePath, out);
    return summary;
}

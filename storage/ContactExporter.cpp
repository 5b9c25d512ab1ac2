#include "ContactExporter.h"

#include "AtomicFile.h"
#include "ContactCards.h"
#include "ContactCsv.h"
#include "ContactFileError.h"
#include "ContactFitting.h"
#include "SQLiteTable3.h"
#include "TextCodec.h"
#include "VCardWriter.h"

namespace {

// An export onto the address book, or onto a file SQLite keeps beside it while it works, would
// destroy the book. Compared as files, so another spelling or a link to it is caught as well.
void RefuseAddressBook(const std::string& dbPath, const std::string& filePath) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        if (SameFile(filePath, dbPath + suffix))
            throw ContactFileError("Cannot export to \"" + filePath + "\": " +
                                   (*suffix ? "the address book keeps its working file there."
                                            : "it is the address book itself."));
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
    RefuseAddressBook(dbPath, filePath);
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
        contacts = SavedContacts(db, query);
    }
    out.reserve(out.size() + contacts.size() * 600u);
    for (const ContactValues& saved : contacts) {
        if (csv)
            AppendCsvContact(out, saved);
        else
            WriteContactCards(writer, saved);
        ++summary.exported;
    }
    TAtomicFile file(filePath);
    file.Write(out);
    file.Commit();
    return summary;
}

#include "ContactExporter.h"

#include "AtomicFile.h"
#include "ContactCards.h"
#include "ContactCsv.h"
#include "ContactFileError.h"
#include "TextCodec.h"
#include "VCardWriter.h"

// An export onto the address book, or onto a file SQLite keeps beside it while it works, would
// destroy the book. Compared as files, so another spelling or a link to it is caught as well.
void RefuseExportOntoBook(const std::string& dbPath, const std::string& filePath) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        if (SameFile(filePath, dbPath + suffix))
            throw ContactFileError("Cannot export to \"" + filePath + "\": " +
                                   (*suffix ? "the address book keeps its working file there."
                                            : "it is the address book itself."));
}

std::string ExportSummary::Text() const {
    return "Exported " + std::to_string(exported) + (exported == 1 ? " contact" : " contacts") +
           " to " + file;
}

bool IsCsvFileName(const std::string& filePath) {
    return filePath.size() >= 4 && LowerAscii(filePath.substr(filePath.size() - 4)) == ".csv";
}

ExportSummary WriteContactFile(const std::string& filePath,
                               const std::vector<ContactValues>& contacts) {
    ExportSummary summary;
    summary.file = filePath;
    std::string out;
    out.reserve(contacts.size() * 600u + 1024u);
    if (IsCsvFileName(filePath)) {
        // The byte-order mark makes spreadsheets read the file as UTF-8.
        out = "\xEF\xBB\xBF";
        AppendCsvRow(out, CsvHeader());
        for (const ContactValues& saved : contacts)
            AppendCsvContact(out, saved);
    } else {
        VCardWriter writer;
        writer.Output().swap(out);
        for (const ContactValues& saved : contacts)
            WriteContactCards(writer, saved);
        out.swap(writer.Output());
    }
    summary.exported = contacts.size();
    TAtomicFile file(filePath);
    file.Write(out);
    file.Commit();
    return summary;
}

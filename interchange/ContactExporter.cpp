#include "interchange/ContactExporter.h"

#include "interchange/AtomicFile.h"
#include "interchange/ContactCards.h"
#include "interchange/ContactCsv.h"
#include "interchange/ContactFileError.h"
#include "interchange/TextCodec.h"
#include "interchange/VCardWriter.h"

// An export onto the address book, or onto a file SQLite keeps beside it while it works, would
// destroy the book. Compared as files, so another spelling or a link to it is caught as well.
void RefuseExportOntoBook(const std::string& dbPath, const std::string& filePath) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        if (SameFile(filePath, dbPath + suffix))
            throw EContactFileError("Cannot export to \"" + filePath + "\": " +
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
    return WriteContactFile(filePath, [&](const std::function<void(const ContactValues&)>& write) {
        for (const ContactValues& saved : contacts)
            write(saved);
    });
}

ExportSummary WriteContactFile(const std::string& filePath, const ContactSource& source) {
    // Written on in pieces of about this size.
    constexpr std::size_t kPiece = 256 * 1024;
    ExportSummary summary;
    summary.file = filePath;
    TAtomicFile file(filePath);
    const bool csv = IsCsvFileName(filePath);
    VCardWriter writer;
    std::string& out = writer.Output();
    out.reserve(kPiece + 64 * 1024);
    if (csv) {
        // The byte-order mark makes spreadsheets read the file as UTF-8.
        out = "\xEF\xBB\xBF";
        AppendCsvRow(out, CsvHeader());
    }
    source([&](const ContactValues& saved) {
        if (csv)
            AppendCsvContact(out, saved);
        else
            WriteContactCards(writer, saved);
        ++summary.exported;
        if (out.size() >= kPiece) {
            file.Write(out);
            out.clear();
        }
    });
    file.Write(out);
    file.Commit();
    return summary;
}

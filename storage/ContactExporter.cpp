#include "ContactExporter.h"

#include "ContactCards.h"
#include "ContactCsv.h"
#include "ContactFileError.h"
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
    {
        TSQLiteDatabase db(dbPath, OpenMode::ExistingOnly);
        auto rows = db.OpenResult(query);
        // Columns are looked up only in a result that has rows.
        std::size_t at[kDataColumns] = {};
        if (!rows->AtEnd())
            for (int i = 0; i < kDataColumns; ++i)
                at[i] = rows->ColumnOf(SaveOrderColumns()[i]);
        out.reserve(out.size() + rows->RowCount() * 600u);
        for (; !rows->AtEnd(); rows->Advance()) {
            ContactValues stored;
            for (int i = 0; i < kDataColumns; ++i)
                stored[i] = rows->TextOrEmptyAt(at[i]);
            const ContactValues saved = AsSaved(stored);
            if (csv)
                AppendCsvContact(out, saved);
            else
                WriteContactCards(writer, saved);
            ++summary.exported;
        }
    }
    WriteAtomically(filePath, out);
    return summary;
}

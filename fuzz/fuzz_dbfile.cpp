// The access layer reading whatever a database file holds: random bytes, truncated or damaged
// files, tables of other shapes, odd declared types, blobs, huge or NULL values. The input is
// written to a file, which is opened and listed the way the contact list does it ("SELECT *
// FROM Customers", ColumnOf and TextOrEmptyAt for each listed column), and the first listed
// contacts are loaded the way the editor does it, each on its own connection. Every failure must
// be an ESQLiteException: any other exception, a crash, a leak or undefined behaviour is a
// finding.

#include "fuzz/FuzzCheck.h"
#include "model/ContactColumns.h"
#include "storage/ContactStatements.h"
#include "storage/SQLiteTable3.h"
#include "ui/window/CustomerListModel.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string folder;
std::string dbPath;

void RemoveFiles() {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        std::remove((dbPath + suffix).c_str());
}

void RemoveFolder() {
    RemoveFiles();
    rmdir(folder.c_str());
}

// Every accessor on every column of the current row; each may refuse with its exception.
void ReadEveryWay(const TSQLiteTable& row) {
    for (std::size_t c = 0; c <= row.ColumnCount(); ++c) { // one past the end on purpose
        try {
            (void)row.TextAt(c);
        } catch (const ESQLiteException&) {
        }
        try {
            (void)row.TextOrEmptyAt(c);
        } catch (const ESQLiteException&) {
        }
        try {
            (void)row.IntegerAt(c);
        } catch (const ESQLiteException&) {
        }
        try {
            (void)row.RealAt(c);
        } catch (const ESQLiteException&) {
        }
        try {
            (void)row.StreamTextAt(c);
        } catch (const ESQLiteException&) {
        }
    }
}

// Loading one contact into the editor: all 45 data columns by name.
void LoadContact(const std::string& id) {
    try {
        TSQLiteDatabase db(dbPath);
        auto row = db.OpenResult(BuildSelectByIdStatement(id));
        for (const std::string& column : SaveOrderColumns())
            (void)row->TextOrEmptyAt(row->ColumnOf(column));
        ReadEveryWay(*row);
        while (row->Advance()) {
        }
        FUZZ_CHECK(row->AtEnd() && !row->Advance(), "cursor past the end");
    } catch (const ESQLiteException&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
    std::string pattern = std::string(base ? base : "/tmp") + "/vc-fuzz-dbfile-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    folder = pattern;
    dbPath = folder + "/Vellicard.db";
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RemoveFiles();
    if (std::FILE* f = std::fopen(dbPath.c_str(), "wb")) {
        const bool written = std::fwrite(data, 1, size, f) == size;
        FUZZ_CHECK(std::fclose(f) == 0 && written, "cannot write " + dbPath);
    } else {
        FUZZ_CHECK(false, "cannot create " + dbPath);
    }

    std::vector<std::string> ids;
    try {
        TSQLiteDatabase db(dbPath);
        auto list = db.OpenResult("SELECT * FROM Customers");
        TCustomerListModel model;
        try {
            model.Fill(*list);
            FUZZ_CHECK(model.rowCount() == static_cast<int>(list->RowCount()),
                       std::to_string(model.rowCount()) + " rows listed of " +
                           std::to_string(list->RowCount()));
        } catch (const ESQLiteException&) {
            FUZZ_CHECK(model.rowCount() == 0, "a failed fill left rows");
        }
        for (int r = 0; r < model.rowCount(); ++r)
            for (int c = 0; c < model.columnCount(); ++c)
                (void)model.data(model.index(r, c));
        for (int r = 0; r < model.rowCount() && r < 4; ++r)
            ids.push_back(model.CellText(r, TCustomerListModel::CustId));
    } catch (const ESQLiteException&) {
    }
    for (const std::string& id : ids)
        LoadContact(id);
    RemoveFiles();
    return 0;
}

#include "bench/ContactFileBench.h"

#include "bench/BenchRegister.h"

#include "interchange/ContactExporter.h"
#include "interchange/ContactFitting.h"
#include "storage/AddressBook.h"
#include "storage/ContactImporter.h"
#include "storage/ContactStatements.h"
#include "storage/SQLiteTable3.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Files {
    fs::path dir;
    fs::path book;  // the book as it was handed over; every export round copies it
    fs::path empty; // the book's schema without a row; every import round copies it
    fs::path vcf, csv;
    std::vector<ContactValues> values; // the book's rows as the export reads them
    std::map<std::string, std::uint64_t>* rows = nullptr;
};
Files files;

void Fresh(const fs::path& from, const fs::path& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The floor, taken before each round and outside its timing so that both see the same load on
// the machine: the book's rows written into a fresh empty book through the program's INSERT
// statement, one transaction, as the book generator writes them. Opening the book and the
// commit are inside, as they are inside an import.
class InsertFloor {
public:
    void Measure() {
        const fs::path target = files.dir / "floor.db";
        Fresh(files.empty, target);
        const auto start = std::chrono::steady_clock::now();
        {
            TSQLiteDatabase db(target.string(), OpenMode::ExistingOnly);
            db.RunStatement("BEGIN");
            for (const ContactValues& values : files.values)
                db.RunStatement(BuildInsertStatement(values));
            db.RunStatement("COMMIT");
        }
        totalMs_ += MsSince(start);
        ++rounds_;
    }
    void Report(benchmark::State& state) const {
        state.counters["floor_ms"] = rounds_ ? totalMs_ / rounds_ : 0.0;
        state.counters["rows"] = static_cast<double>(files.values.size());
        (*files.rows)["exchange"] = files.values.size();
    }

private:
    double totalMs_ = 0;
    int rounds_ = 0;
};

void Export(benchmark::State& state, const fs::path& target) {
    InsertFloor floor;
    const fs::path book = files.dir / "export.db";
    for (auto _ : state) {
        state.PauseTiming();
        floor.Measure();
        Fresh(files.book, book);
        fs::remove(target);
        state.ResumeTiming();
        const ExportSummary summary = TAddressBook(book.string()).Export(target.string());
        state.PauseTiming();
        if (summary.exported != files.values.size())
            throw std::runtime_error("the export left contacts out");
        state.ResumeTiming();
    }
    floor.Report(state);
}

void Import(benchmark::State& state, const fs::path& source) {
    InsertFloor floor;
    const fs::path book = files.dir / "import.db";
    for (auto _ : state) {
        state.PauseTiming();
        floor.Measure();
        Fresh(files.empty, book);
        state.ResumeTiming();
        const ImportSummary summary = TAddressBook(book.string()).Import(source.string());
        state.PauseTiming();
        // Contacts equal to an earlier one are skipped, and still were read and compared.
        if (summary.imported + summary.skipped != files.values.size())
            throw std::runtime_error("the import left contacts out");
        state.ResumeTiming();
    }
    floor.Report(state);
}

void BM_ExportVcf(benchmark::State& state) {
    Export(state, files.dir / "out.vcf");
}
void BM_ExportCsv(benchmark::State& state) {
    Export(state, files.dir / "out.csv");
}
void BM_ImportVcf(benchmark::State& state) {
    Import(state, files.vcf);
}
void BM_ImportCsv(benchmark::State& state) {
    Import(state, files.csv);
}

} // namespace

void KeepBookForContactFiles(const std::string& dbPath) {
    files.dir = fs::path(dbPath).parent_path() / "contact-files";
    fs::remove_all(files.dir);
    fs::create_directories(files.dir);
    files.book = files.dir / "book.db";
    Fresh(dbPath, files.book);
}

void RegisterContactFileBenchmarks(int size, int repetitions,
                                   std::map<std::string, std::uint64_t>& rows) {
    files.rows = &rows;
    // The program's own table, emptied: what a first start leaves once its samples are deleted.
    files.empty = files.dir / "empty.db";
    Fresh(files.book, files.empty);
    {
        TSQLiteDatabase db(files.empty.string(), OpenMode::ExistingOnly);
        db.RunStatement("DELETE FROM Customers");
        db.RunStatement("VACUUM");
    }

    files.values = TAddressBook(files.book.string()).SavedContacts("SELECT * FROM Customers");

    // The files the imports read are the program's own exports of the book.
    files.vcf = files.dir / "book.vcf";
    files.csv = files.dir / "book.csv";
    TAddressBook(files.book.string()).Export(files.vcf.string());
    TAddressBook(files.book.string()).Export(files.csv.string());

    const int rounds = size >= 100000 ? 1 : size >= 10000 ? 3 : 10;
    Register("export_vcf", BM_ExportVcf, repetitions, rounds);
    Register("export_csv", BM_ExportCsv, repetitions, rounds);
    Register("import_vcf", BM_ImportVcf, repetitions, rounds);
    Register("import_csv", BM_ImportCsv, repetitions, rounds);
}

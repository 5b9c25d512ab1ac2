#include "bench/ProcessExchange.h"

#include "bench/BenchModes.h"

#include "interchange/ContactExporter.h"
#include "model/ContactColumns.h"
#include "storage/AddressBook.h"
#include "storage/ContactImporter.h"
#include "storage/unitFilePath.h"

#include <QCoreApplication>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

namespace {

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs one statement on a file with the bare engine; the first column of its first row.
long long ScalarOf(const fs::path& db, const std::string& statement) {
    sqlite3* handle = nullptr;
    long long value = -1;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(handle, statement.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            value = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(handle);
    return value;
}

void RunOn(const fs::path& db, const char* statements) {
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(handle, statements, nullptr, nullptr, nullptr) != SQLITE_OK) {
        const std::string message = handle ? sqlite3_errmsg(handle) : "cannot open";
        sqlite3_close(handle);
        throw std::runtime_error(db.string() + ": " + message);
    }
    sqlite3_close(handle);
}

struct Run {
    double ms = 0;
    double peakKb = 0;
    std::string out, err;
    bool ok = false;
};

// `command` (environment assignments allowed in front) runs under /usr/bin/time, which reports
// its maximum resident set; the clock runs around the whole of it.
Run Timed(const std::string& environment, const std::string& command, const std::string& input,
          const fs::path& scratch) {
    const fs::path kb = scratch / "peak.txt", out = scratch / "out.txt", err = scratch / "err.txt";
    fs::remove(kb);
    const std::string line = environment + " /usr/bin/time -f %M -o " + Quoted(kb.string()) + " " +
                             command + (input.empty() ? "" : " < " + Quoted(input)) + " > " +
                             Quoted(out.string()) + " 2> " + Quoted(err.string());
    Run run;
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(line.c_str());
    run.ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.ok = status == 0;
    std::istringstream peak(ReadAll(kb));
    std::string word; // "Command exited with non-zero status" may come first
    while (peak >> word)
        run.peakKb = std::atof(word.c_str());
    run.out = ReadAll(out);
    run.err = ReadAll(err);
    return run;
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Samples {
    std::vector<double> ms;
    double peakKb = 0;
    bool ok = true;
    void Add(const Run& run) {
        ms.push_back(run.ms);
        peakKb = std::max(peakKb, run.peakKb);
    }
    ExchangeFigures::Figure Figure() const {
        ExchangeFigures::Figure f;
        f.ms = Median(ms);
        f.peakKb = peakKb;
        f.ok = ok && !ms.empty();
        return f;
    }
};

fs::path BookUnder(const fs::path& home) {
    return home / "QuorvaSoftWare" / "Vellicard2" / "Vellicard.db";
}

fs::path MakeHome(const fs::path& home) {
    fs::create_directories(BookUnder(home).parent_path());
    const fs::path runtime = home / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    return home;
}

std::string EnvironmentFor(const fs::path& home) {
    return "HOME=" + Quoted(home.string()) +
           " XDG_RUNTIME_DIR=" + Quoted((home / "runtime").string()) + " QT_QPA_PLATFORM=offscreen";
}

// The floor's commands: a table of the program's 45 columns, all TEXT, then the shell's own CSV
// import of the file without its header row.
std::string FloorCommands(const fs::path& csv) {
    std::string create = "CREATE TABLE Customers(";
    bool first = true;
    for (const std::string& column : SaveOrderColumns()) {
        create += (first ? "\"" : ", \"") + column + "\" TEXT";
        first = false;
    }
    create += ");\n";
    std::string path;
    for (char c : csv.string()) // the shell's own quoting of a file name
        path += c == '"' ? std::string("\\\"") : std::string(1, c);
    return create + ".import --csv --skip 1 \"" + path + "\" Customers\n";
}

} // namespace

ExchangeFigures MeasureExchange(const fs::path& self, const fs::path& book, const fs::path& workDir,
                                int repetitions) {
    ExchangeFigures result;
    fs::create_directories(workDir);
    result.contacts =
        static_cast<unsigned long long>(ScalarOf(book, "SELECT COUNT(*) FROM Customers"));

    // The program's table without a row: every import round starts from a copy of it.
    const fs::path empty = workDir / "empty.db";
    fs::copy_file(book, empty, fs::copy_options::overwrite_existing);
    RunOn(empty, "DELETE FROM Customers; VACUUM;");

    const fs::path exportHome = MakeHome(workDir / "export-home");
    const fs::path importHome = MakeHome(workDir / "import-home");
    const fs::path scratch = workDir;
    const fs::path commands = workDir / "floor.sql";
    const fs::path floorDb = workDir / "floor.db";
    const fs::path files[2] = {workDir / "book.vcf", workDir / "book.csv"};
    std::ofstream(commands) << FloorCommands(files[1]);

    Samples floor;
    std::map<std::string, Samples> samples;
    auto fail = [&](const std::string& what, const Run& run) {
        if (result.failure.empty())
            result.failure = what + ": " + run.err + run.out;
    };
    auto child = [&](const fs::path& home, const char* mode, const fs::path& file,
                     const std::string& name) {
        const Run run =
            Timed(EnvironmentFor(home),
                  Quoted(self.string()) + " --exchange " + mode + " " + Quoted(file.string()), "",
                  scratch);
        Samples& s = samples[name];
        s.Add(run);
        unsigned long long count = 0;
        const char* at = std::strstr(run.out.c_str(), "@@exchange ");
        if (at)
            count = std::strtoull(at + 11, nullptr, 10);
        if (!run.ok || count != result.contacts) {
            s.ok = false;
            fail(name, run);
        }
    };

    for (int round = 0; round < repetitions; ++round) {
        for (int i = 0; i < 2; ++i) {
            fs::copy_file(book, BookUnder(exportHome), fs::copy_options::overwrite_existing);
            fs::remove(files[i]);
            child(exportHome, "export", files[i], i == 0 ? "export_vcf" : "export_csv");
        }

        fs::remove(floorDb);
        const Run engine =
            Timed("", "sqlite3 " + Quoted(floorDb.string()), commands.string(), scratch);
        floor.Add(engine);
        // The shell warns on stderr of rows with too few or too many values.
        if (!engine.ok || !engine.err.empty() ||
            ScalarOf(floorDb, "SELECT COUNT(*) FROM Customers") !=
                static_cast<long long>(result.contacts)) {
            floor.ok = false;
            fail("sqlite3 .import", engine);
        }

        for (int i = 0; i < 2; ++i) {
            fs::copy_file(empty, BookUnder(importHome), fs::copy_options::overwrite_existing);
            child(importHome, "import", files[i], i == 0 ? "import_vcf" : "import_csv");
        }
    }
    result.floor = floor.Figure();
    for (const auto& [name, s] : samples)
        result.figures[name] = s.Figure();
    fs::remove_all(workDir);
    return result;
}

void PrintExchangeTable(const std::map<int, ExchangeFigures>& all) {
    struct Row {
        const char* name;
        const char* label;
        double maxRatio, maxMb;
    };
    const Row rows[] = {{"import_csv", "import the CSV export into an empty book", 2.0, 100},
                        {"import_vcf", "import the vCard export into an empty book", 3.0, 100},
                        {"export_vcf", "export the book to vCard", 1.5, 50},
                        {"export_csv", "export the book to CSV", 1.5, 50}};
    std::printf("\n==== Import and export, each a process of its own: median milliseconds of the "
                "whole process,\n     ratio to the floor's, and the largest peak memory "
                "(max RSS). Floor: the sqlite3 shell's\n     .import --csv of the program's CSV "
                "export into a fresh database of the same 45 TEXT columns. ====\n");
    for (const auto& [size, f] : all) {
        std::printf("\n%llu contacts (book of %d)%s\n", f.contacts, size,
                    f.failure.empty() ? "" : "  (a process FAILED; see below)");
        std::printf("  %-44s %10s %7s %9s   %s\n", "figure", "ms", "ratio", "peak MB", "goal");
        std::printf("  %-44s %10.1f %7s %9.1f\n", "floor: sqlite3 .import --csv", f.floor.ms, "",
                    f.floor.peakKb / 1024.0);
        for (const Row& row : rows) {
            const auto it = f.figures.find(row.name);
            if (it == f.figures.end() || !it->second.ok) {
                std::printf("  %-44s not measured\n", row.label);
                continue;
            }
            const auto& figure = it->second;
            const double ratio = f.floor.ms > 0 ? figure.ms / f.floor.ms : 0;
            const double mb = figure.peakKb / 1024.0;
            const bool met = f.floor.ok && ratio <= row.maxRatio && mb < row.maxMb;
            std::printf("  %-44s %10.1f %7.2f %9.1f   <= %.1f x floor, < %.0f MB  %s\n", row.label,
                        figure.ms, ratio, mb, row.maxRatio, row.maxMb, met ? "met" : "NOT met");
        }
        if (!f.failure.empty())
            std::printf("  failure: %s\n", f.failure.c_str());
    }
}

int RunExchangeChild(int argc, char** argv) {
    if (argc < 4)
        return 2;
    QCoreApplication app(argc, argv);
    const bool importing = std::strcmp(argv[2], "import") == 0;
    const std::string file = argv[3];
    try {
        TAddressBook book(ContactDbPath());
        std::size_t contacts = 0;
        if (importing) {
            const ImportSummary summary = book.Import(file);
            // Contacts equal to an earlier one are skipped, and still were read and compared.
            contacts = summary.imported + summary.skipped;
        } else {
            contacts = book.Export(file).exported;
        }
        std::printf("@@exchange %zu %llu\n", contacts,
                    static_cast<unsigned long long>(PeakResidentKb()));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

// The speed benchmark of the contact window on large address books. See BenchModes.h for the
// roles this one binary plays; run it through scripts/bench.sh.

#include "bench/BenchModes.h"
#include "bench/BookGenerator.h"
#include "bench/ProcessExchange.h"
#include "bench/SyncBench.h"

#include "storage/unitFilePath.h"

#include <QtGlobal>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kSeed = 20240607;
constexpr int kStartupSize = 10000;
constexpr int kStartupRuns = 7;
constexpr int kExchangeGoalSize = 10000;

struct SizeFigures {
    struct Figure {
        double median = 0, best = 0;           // ms of real time over the repetitions
        double floorMedian = 0, floorBest = 0; // its floor, measured in the same rounds
        double paints = -1;                    // paints of the list per round; -1: not counted
    };
    std::map<std::string, Figure> results;
    std::map<std::string, unsigned long long> rows;
    unsigned long long peakKb = 0;
    std::vector<double> coldStartups; // ms
    double coldStartupRows = 0;
    bool ok = false;
};

std::string SelfPath() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return "vellicard_bench";
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 10, "model name") == 0) {
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos)
                return line.substr(line.find_first_not_of(' ', colon + 1));
        }
    }
    return "unknown CPU";
}

std::string Grouped(long long n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

// The pristine book of each size is kept between runs beside the build (making the 100,000
// book takes a while); each run measures a fresh copy of it, since saving writes to it.
fs::path BookFile(const fs::path& home) {
    return home / "QuorvaSoftWare" / "Vellicard2" / "Vellicard.db";
}

void EnsureBook(const fs::path& booksDir, int size) {
    const fs::path home = booksDir / std::to_string(size);
    const fs::path stampFile = home / "stamp";
    const std::string stamp = std::string(kBookGeneratorVersion) + " seed " +
                              std::to_string(kSeed) + " contacts " + std::to_string(size);
    {
        std::ifstream in(stampFile);
        std::string existing;
        std::getline(in, existing);
        if (existing == stamp && fs::exists(BookFile(home)))
            return;
    }
    fs::remove_all(home);
    fs::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    const auto start = std::chrono::steady_clock::now();
    const BookStats stats = GenerateBook(size, kSeed);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("Generated the book of %s contacts in %.1f s: %.1f MB of text values, %s rows "
                "with NULLs, %.1f MB file\n",
                Grouped(stats.contacts).c_str(), seconds, stats.textBytes / 1e6,
                Grouped(stats.nullRows).c_str(), fs::file_size(BookFile(home)) / 1e6);
    std::fflush(stdout);
    std::ofstream(stampFile) << stamp << "\n";
}

fs::path WorkCopy(const fs::path& booksDir, const fs::path& workDir, int size) {
    const fs::path home = workDir / std::to_string(size);
    fs::create_directories(BookFile(home).parent_path());
    fs::copy_file(BookFile(booksDir / std::to_string(size)), BookFile(home),
                  fs::copy_options::overwrite_existing);
    return home;
}

// Children see a HOME holding their book, a headless display, a runtime folder of their own,
// and whether the driver's output is a terminal that takes colours.
std::string ChildCommand(const fs::path& home, const std::string& args) {
    const fs::path runtime = home / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    return "HOME=" + Quoted(home.string()) + " XDG_RUNTIME_DIR=" + Quoted(runtime.string()) +
           " QT_QPA_PLATFORM=offscreen" + (isatty(STDOUT_FILENO) ? " VC_BENCH_COLOR=1 " : " ") +
           Quoted(SelfPath()) + " " + args;
}

// Runs one child, echoing its output and keeping its "@@" lines.
bool RunChild(const std::string& command, std::vector<std::string>& kept, bool echo) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return false;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        // Google Benchmark may leave a colour reset in front of the line.
        if (const char* at = std::strstr(line, "@@"))
            kept.emplace_back(at + 2);
        else if (echo)
            std::fputs(line, stdout);
        std::fflush(stdout);
    }
    return pclose(pipe) == 0;
}

void MeasureSize(const fs::path& home, int size, int repetitions, const std::string& passThrough,
                 SizeFigures& figures) {
    std::printf("\n==== %s contacts ====\n", Grouped(size).c_str());
    std::fflush(stdout);
    std::vector<std::string> kept;
    figures.ok = RunChild(ChildCommand(home, "--size " + std::to_string(size) + " --reps " +
                                                 std::to_string(repetitions) + passThrough),
                          kept, true);
    for (const std::string& line : kept) {
        std::istringstream in(line);
        std::string what, name;
        in >> what;
        if (what == "result") {
            SizeFigures::Figure figure;
            in >> name >> figure.median >> figure.best >> figure.floorMedian >> figure.floorBest >>
                figure.paints;
            figures.results[name] = figure;
        } else if (what == "rows") {
            unsigned long long n = 0;
            in >> name >> n;
            figures.rows[name] = n;
        } else if (what == "peak_kb") {
            in >> figures.peakKb;
        }
    }
}

void MeasureColdStartup(const fs::path& home, SizeFigures& figures) {
    for (int run = 0; run < kStartupRuns; ++run) {
        std::vector<std::string> kept;
        const auto start = std::chrono::steady_clock::now();
        bool ok = false;
        const std::string command = ChildCommand(home, "--startup-probe");
        FILE* pipe = popen(command.c_str(), "r");
        double elapsed = 0;
        if (pipe) {
            char line[512];
            while (std::fgets(line, sizeof line, pipe)) {
                if (std::strncmp(line, "@@exposed", 9) == 0 && !ok) {
                    elapsed = std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - start)
                                  .count();
                    double inside = 0, rows = 0;
                    std::sscanf(line + 9, "%lf %lf", &inside, &rows);
                    figures.coldStartupRows = rows;
                    ok = true;
                }
            }
            ok = (pclose(pipe) == 0) && ok;
        }
        if (ok)
            figures.coldStartups.push_back(elapsed);
    }
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Goal {
    double maxRatio = 0; // 0: none
    double maxMs = 0;    // 0: none
};

void PrintRow(const std::string& label, double median, double best, double floor, Goal goal,
              double paints = -1) {
    std::string verdict;
    if (goal.maxRatio > 0 || goal.maxMs > 0) {
        bool met = true;
        char text[64] = "";
        if (goal.maxRatio > 0) {
            met = met && floor > 0 && median <= goal.maxRatio * floor;
            std::snprintf(text, sizeof text, "<= %.1f x floor", goal.maxRatio);
        }
        if (goal.maxMs > 0) {
            met = met && median < goal.maxMs;
            const std::size_t used = std::strlen(text);
            std::snprintf(text + used, sizeof text - used, "%s< %.0f ms", used ? ", " : "",
                          goal.maxMs);
        }
        verdict = std::string(text) + (met ? "  met" : "  NOT met");
    }
    char ratio[16] = "";
    char floorText[16] = "";
    if (floor > 0) {
        std::snprintf(ratio, sizeof ratio, "%.2f", median / floor);
        std::snprintf(floorText, sizeof floorText, "%.2f", floor);
    }
    char paintText[16] = "";
    if (paints >= 0)
        std::snprintf(paintText, sizeof paintText, "%.1f", paints);
    std::printf("  %-44s %9.2f %9.2f %9s %7s %6s   %s\n", label.c_str(), median, best, floorText,
                ratio, paintText, verdict.c_str());
}

void PrintTable(const std::map<int, SizeFigures>& all) {
    std::printf(
        "\n==== Summary: milliseconds of real time, the median and the best of the "
        "repetitions.\n     The window's floors are the engine alone (prepare and step through the "
        "same statement reading\n     every column as text) measured in the same rounds; "
        "ratio = median / floor median. ====\n");
    for (const auto& [size, f] : all) {
        std::printf("\n%s contacts%s\n", Grouped(size).c_str(),
                    f.ok ? "" : "  (the measuring run FAILED; figures incomplete)");
        std::printf("  %-44s %9s %9s %9s %7s %6s   %s\n", "figure", "median", "best", "floor",
                    "ratio", "paints", "goal");
        auto get = [&](const char* name) {
            auto it = f.results.find(name);
            return it == f.results.end() ? SizeFigures::Figure{} : it->second;
        };
        auto rows = [&](const char* name) {
            auto it = f.rows.find(name);
            return it == f.rows.end() ? std::string("?")
                                      : Grouped(static_cast<long long>(it->second));
        };
        const bool big = size >= 100000;
        const auto refill = get("refill");
        PrintRow("floor: SELECT * FROM Customers, " + rows("all") + " rows", refill.floorMedian,
                 refill.floorBest, 0, {});
        const auto open = get("OpenResult");
        PrintRow("OpenResult(SELECT * FROM Customers)", open.median, open.best, open.floorMedian,
                 {1.2, 0});
        PrintRow("refill pQueryCustomers + repaint", refill.median, refill.best, refill.floorMedian,
                 {1.5, 0}, refill.paints);
        const auto s1 = get("search1");
        PrintRow("keystroke \"m\", Last Name, " + rows("search1") + " rows", s1.median, s1.best,
                 s1.floorMedian, big ? Goal{1.5, 100} : Goal{}, s1.paints);
        const auto s2 = get("search2");
        PrintRow("keystroke \"a\" after \"m\", " + rows("search2") + " rows", s2.median, s2.best,
                 s2.floorMedian, big ? Goal{1.5, 100} : Goal{}, s2.paints);
        const auto load = get("load");
        PrintRow("load a contact: lstvCustomers1Click + paint", load.median, load.best,
                 load.floorMedian, {});
        const auto save = get("save");
        PrintRow("save: busy window, UPDATE, reset + refill", save.median, save.best,
                 save.floorMedian, {}, save.paints);
        const auto start = get("startup_inprocess");
        PrintRow("start-up in process: data files, window shown", start.median, start.best,
                 start.floorMedian, size == kStartupSize ? Goal{0, 500} : Goal{});
        if (!f.coldStartups.empty()) {
            const std::string label =
                "start-up as a new process, " + std::to_string(f.coldStartups.size()) + " runs";
            PrintRow(label, Median(f.coldStartups),
                     *std::min_element(f.coldStartups.begin(), f.coldStartups.end()),
                     refill.floorMedian, Goal{0, 500});
        }
        std::printf("  %-44s %9.1f MB (VmHWM of the process that ran all of the above)\n",
                    "peak memory", f.peakKb / 1024.0);
        // Import and export against writing the same rows through the program's INSERT.
        const auto exportVcf = get("export_vcf");
        PrintRow("floor: INSERT of " + rows("exchange") + " rows, one transaction",
                 exportVcf.floorMedian, exportVcf.floorBest, 0, {});
        const Goal exchangeGoal = size == kExchangeGoalSize ? Goal{0, 2000} : Goal{};
        const std::pair<const char*, const char*> exchanges[] = {
            {"export_vcf", "export the book to vCard"},
            {"export_csv", "export the book to CSV"},
            {"import_vcf", "import that vCard into an empty book"},
            {"import_csv", "import that CSV into an empty book"}};
        for (const auto& [name, label] : exchanges) {
            const auto figure = get(name);
            if (figure.median > 0)
                PrintRow(label, figure.median, figure.best, figure.floorMedian, exchangeGoal);
            else
                std::printf("  %-44s not measured (see the run's output)\n", label);
        }
    }
    std::printf("\nFloors: OpenResult, refill and start-up: SELECT * FROM Customers. Keystrokes: "
                "the search statement\nof the new text. Load: the SELECT of the one contact. Save: "
                "the same UPDATE, then SELECT *.\nPaints: how often the list was painted per "
                "round.\n"
                "Import and export (after the peak memory is read): the floor writes the book's "
                "rows into an\nempty book through the program's INSERT statement, one per "
                "contact, in one transaction.\n");
}

int RunDriver(int argc, char** argv) {
    fs::path booksDir = fs::path(SelfPath()).parent_path().parent_path() / "bench-books";
    std::vector<int> sizes = {1000, 10000, 100000};
    int repetitions = 3;
    bool filesOnly = false; // only the import and export processes, not the window
    bool syncOnly = false;  // only the sync with a local radicale
    bool syncWindow = false; // only the window during a sync
    std::string passThrough;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--books" && i + 1 < argc) {
            booksDir = argv[++i];
        } else if (arg == "--sizes" && i + 1 < argc) {
            sizes.clear();
            std::istringstream in(argv[++i]);
            std::string part;
            while (std::getline(in, part, ','))
                sizes.push_back(std::stoi(part));
        } else if (arg == "--reps" && i + 1 < argc) {
            repetitions = std::max(1, std::stoi(argv[++i]));
        } else if (arg == "--files-only") {
            filesOnly = true;
        } else if (arg == "--sync") {
            syncOnly = true;
        } else if (arg == "--sync-window") {
            syncWindow = true;
        } else if (arg.compare(0, 12, "--benchmark_") == 0) {
            passThrough += " " + Quoted(arg);
        } else {
            std::fprintf(stderr,
                         "usage: %s [--sizes 1000,10000,100000] [--reps N] [--books DIR] "
                         "[--files-only | --sync | --sync-window] [--benchmark_filter=...]\n",
                         argv[0]);
            return 2;
        }
    }

    std::printf("Machine: %ld CPUs, %s; SQLite %s; Qt %s\n", sysconf(_SC_NPROCESSORS_ONLN),
                CpuModel().c_str(), sqlite3_libversion(), qVersion());
    std::fflush(stdout);
    if (syncWindow)
        return RunSyncWindowBench(sizes);
    for (int size : sizes)
        EnsureBook(booksDir, size);
    if (syncOnly)
        return RunSyncBench(booksDir, sizes);

    char workTemplate[] = "/tmp/vellicard-bench-XXXXXX";
    if (!mkdtemp(workTemplate)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path workDir = workTemplate;
    std::map<int, SizeFigures> all;
    std::map<int, ExchangeFigures> exchanges;
    bool ok = true;
    for (int size : sizes) {
        if (!filesOnly) {
            const fs::path home = WorkCopy(booksDir, workDir, size);
            MeasureSize(home, size, repetitions, passThrough, all[size]);
            if (size == kStartupSize)
                MeasureColdStartup(home, all[size]);
            ok = ok && all[size].ok;
            fs::remove_all(home);
        }
        std::printf("\n==== %s contacts: import and export as processes ====\n",
                    Grouped(size).c_str());
        std::fflush(stdout);
        ExchangeFigures& exchange = exchanges[size];
        exchange = MeasureExchange(SelfPath(), BookFile(booksDir / std::to_string(size)),
                                   workDir / ("exchange-" + std::to_string(size)), repetitions);
        ok = ok && exchange.failure.empty();
    }
    fs::remove_all(workDir);
    if (!filesOnly)
        PrintTable(all);
    PrintExchangeTable(exchanges);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // Child roles come first on the command line, as the driver writes it.
    if (argc >= 3 && std::strcmp(argv[1], "--size") == 0) {
        const int size = std::atoi(argv[2]);
        int repetitions = 3;
        int first = 3;
        if (argc >= 5 && std::strcmp(argv[3], "--reps") == 0) {
            repetitions = std::atoi(argv[4]);
            first = 5;
        }
        // Leave the program name and Google Benchmark's flags.
        std::vector<char*> rest = {argv[0]};
        for (int i = first; i < argc; ++i)
            rest.push_back(argv[i]);
        int restCount = static_cast<int>(rest.size());
        rest.push_back(nullptr);
        return RunSizeChild(restCount, rest.data(), size, repetitions);
    }
    if (argc >= 4 && std::strcmp(argv[1], "--exchange") == 0)
        return RunExchangeChild(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "--startup-probe") == 0) {
        int one = 1;
        return RunStartupProbe(one, argv);
    }
    return RunDriver(argc, argv);
}

#pragma once

#include <filesystem>
#include <map>
#include <string>

// Import and export of a whole book, each in a process of its own, so that its peak memory is
// its own; set against the engine alone: the sqlite3 shell's `.import --csv` of the program's
// CSV export into a fresh database, also a process of its own. Times are taken around the whole
// process in the driver; peak memory is the process's maximum resident set (ru_maxrss, read by
// /usr/bin/time, a small parent, so that nothing of the driver's own memory is counted).

struct ExchangeFigures {
    struct Figure {
        double ms = 0;     // median wall time of the whole process
        double peakKb = 0; // largest maximum resident set over the repetitions
        bool ok = false;
    };
    unsigned long long contacts = 0;
    Figure floor;                          // sqlite3 .import --csv of the program's CSV export
    std::map<std::string, Figure> figures; // export_vcf, export_csv, import_vcf, import_csv
    std::string failure;                   // empty when every process did its part
};

// Measures the book at `book` (left untouched), working in `workDir`. `self` is the benchmark
// binary, run in its child role below.
ExchangeFigures MeasureExchange(const std::filesystem::path& self,
                                const std::filesystem::path& book,
                                const std::filesystem::path& workDir, int repetitions);

void PrintExchangeTable(const std::map<int, ExchangeFigures>& all);

// The child role: `--exchange import|export FILE` imports FILE into the book under HOME, or
// exports the book to FILE, as the program's own --import and --export do, and prints
// "@@exchange <contacts> <VmHWM kB>".
int RunExchangeChild(int argc, char** argv);

// The text in single quotes for the shell, a single quote inside written as '\''.
std::string Quoted(const std::string& text);

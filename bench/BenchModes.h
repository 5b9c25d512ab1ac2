#pragma once

#include <cstdint>

// The benchmark binary runs in four roles. Without arguments it is the driver: it makes the
// books, then runs itself once per book size so that each size's peak memory is its own, and
// once per cold start-up and per import and export (ProcessExchange.h), and prints the table of
// all figures. The other three roles are those child runs. Each child reads its book from HOME,
// which the driver sets.

// Runs every measurement on the book of `size` contacts and prints "@@" result lines for the
// driver. argc/argv carry Google Benchmark's own flags.
int RunSizeChild(int& argc, char** argv, int size, int repetitions);

// Starts the program's window the way the program does and prints "@@exposed" once it is on
// screen, then ends.
int RunStartupProbe(int& argc, char** argv);

// The process's peak resident memory so far (VmHWM), in kilobytes.
std::uint64_t PeakResidentKb();

#pragma once

#include <benchmark/benchmark.h>

// Registers one measurement the way every figure of the benchmark is taken: milliseconds of real
// time, a fixed number of rounds per repetition, and only the median and minimum reported.
benchmark::internal::Benchmark* Register(const char* name, void (*fn)(benchmark::State&),
                                         int repetitions, int iterations);

#include "bench/BenchRegister.h"

#include <algorithm>
#include <vector>

benchmark::internal::Benchmark* Register(const char* name, void (*fn)(benchmark::State&),
                                         int repetitions, int iterations) {
    auto* b = benchmark::RegisterBenchmark(name, fn);
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(repetitions);
    b->ComputeStatistics(
        "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
    b->ReportAggregatesOnly(true);
    b->Iterations(iterations);
    return b;
}

#pragma once

// Repetitions of a benchmark reported as their spread: each repetition is one run (or one
// round of runs taken in turns), and the figures printed are each counter's median, min
// and max over the repetitions instead of each run's own.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace bench {

inline double Smallest(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

inline double Largest(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

// `Runs` repetitions of a benchmark, reported as mean, median, min and max (besides Google
// Benchmark's own deviation figures): BENCHMARK(...)->Apply(bench::WithSpread<10>).
template <int Runs>
void WithSpread(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Repetitions(Runs)
        ->ComputeStatistics("min", Smallest)
        ->ComputeStatistics("max", Largest)
        ->ReportAggregatesOnly(true);
}

} // namespace bench

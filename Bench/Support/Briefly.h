#pragma once

// Under ctest (VOSTREL_BENCH_ONCE set) every benchmark runs one iteration:
// a check that it still builds and runs, never a measurement. Otherwise it
// runs for at least the given time.

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace VostrelBench {

inline bool once()
{
    return std::getenv("VOSTREL_BENCH_ONCE") != nullptr;
}

inline benchmark::internal::Benchmark* runFor(benchmark::internal::Benchmark* benchmark, double seconds)
{
    return once() ? benchmark->Iterations(1) : benchmark->MinTime(seconds);
}

} // namespace VostrelBench

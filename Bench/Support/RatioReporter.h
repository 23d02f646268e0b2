#pragma once

// The console report, then one line per case with our time over a peer's,
// for the cases both were run on. Benchmarks are named
// "<group>/<case>[/...]", e.g. "Vostrel/mpeg2-720x576".

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace Vostrel::Bench {

struct Ratio {
    std::string label; // printed before the case
    std::string ours;  // group of the numerator
    std::string peer;  // group of the denominator
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::vector<Ratio> ratios) : ratios(std::move(ratios)) {}

    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    std::vector<Ratio> ratios;
    std::map<std::string, std::map<std::string, double>> times; // [group][case]
};

} // namespace Vostrel::Bench

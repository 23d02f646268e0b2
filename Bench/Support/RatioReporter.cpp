#include "Bench/Support/RatioReporter.h"

#include <cstdio>

namespace Vostrel::Bench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs)
{
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration)
            continue;
        const std::string name = run.benchmark_name();
        const std::string::size_type slash = name.find('/');
        if (slash == std::string::npos)
            continue;
        const std::string rest = name.substr(slash + 1);
        times[name.substr(0, slash)][rest.substr(0, rest.find('/'))] = run.GetAdjustedRealTime();
    }
}

void RatioReporter::Finalize()
{
    ConsoleReporter::Finalize();
    for (const Ratio& ratio : ratios) {
        const std::map<std::string, double>& peer = times[ratio.peer];
        for (const auto& [name, time] : times[ratio.ours]) {
            auto peerTime = peer.find(name);
            if (peerTime != peer.end())
                std::printf("%s, %s: %.2f\n", ratio.label.c_str(), name.c_str(), time / peerTime->second);
        }
    }
}

} // namespace Vostrel::Bench

#pragma once

// The console report of a benchmark run, then one line per task with our
// time over a peer's measured in the same run (the mean, with repetitions).
// A benchmark's name and arguments are its side's prefix, then "/" and the
// task: "Direct3D/copy-640x480" and "OpenGL/copy-640x480" compare. More
// peers may be added, each with its own line.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace VostrelBench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // format takes the task (%s) and the ratio (%f).
    RatioReporter(std::string oursPrefix, std::string peerPrefix, std::string format)
        : oursPrefix(std::move(oursPrefix))
    {
        addPeer(std::move(peerPrefix), std::move(format));
    }

    void addPeer(std::string peerPrefix, std::string format)
    {
        peers.push_back(Peer{std::move(peerPrefix), std::move(format), {}});
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // A run that stopped with an error has no time to compare.
            if (run.error_occurred) {
                failed = true;
                continue;
            }
            // With repetitions, the mean stands for them all.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean")
                continue;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty())
                name += "/" + run.run_name.args;
            std::string task = name.substr(name.find('/') + 1);
            if (name.rfind(oursPrefix, 0) == 0)
                ours[task] = run.GetAdjustedRealTime();
            for (Peer& peer : peers)
                if (name.rfind(peer.prefix, 0) == 0)
                    peer.times[task] = run.GetAdjustedRealTime();
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const Peer& peer : peers)
            for (const auto& entry : ours)
                if (peer.times.count(entry.first))
                    std::printf(peer.format.c_str(), entry.first.c_str(), entry.second / peer.times.at(entry.first));
    }

    // Whether any run stopped with an error; the exit status says so.
    bool anyFailed() const { return failed; }

private:
    struct Peer {
        std::string prefix, format;
        std::map<std::string, double> times;
    };
    std::string oursPrefix;
    std::vector<Peer> peers;
    std::map<std::string, double> ours;
    bool failed = false;
};

} // namespace VostrelBench

// Frame time of each demo part built into the program, played headless at
// 640 x 480 through the show's timeline: after a warm-up, a number of
// frames (300 unless --frames=N) spread over each of the part's segments,
// each frame timed alone. Reports the median and the worst frame of each
// part as a ratio to the empty timeline frame (the end of the show: a clear
// and a present) measured in the same run, and to the 16.7 ms budget; also
// the median CPU time of all the process's threads per frame, which a
// shared machine's load disturbs less than the wall clock.
// Each mode plays in a process of its own, as llvmpipe reads its thread
// count when it loads: its own count (or LP_NUM_THREADS as set), then two
// threads; a table of both closes the run. "--single" plays once in this
// process, as the environment has it.
// Run with SDL_VIDEODRIVER=offscreen where there is no display.
#include "Bench/Support/FixedClock.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Testing/DemoParts.h"
#include "Libs/Testing/HaxorEffect2.h"
#include "Libs/Testing/Properties.h"
#include "Libs/Testing/Timeline.h"
#include "Libs/Time/Syncronizer.h"
#include "Platform/Win32/Host.h"
#include "Tools/Content/ContentWriter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace Vostrel;

namespace {

const double budgetMs = 1000.0 / 60.0;
int frameCount = 300;
int warmUpCount = 30;
bool single = false;
// Given by the process that runs the modes: the content it wrote, and the
// file for this mode's figures.
std::string contentRoot;
std::string resultsFile;

using BenchClock = VostrelBench::FixedClock;

// One part at a time is enabled; parts are made and initialised on first use.
class BenchParts : public TimelineParts {
public:
    bool isEnabled(const std::string& name) override { return name == enabled || name == "EndSentinel"; }
    DemoEffect* getPart(const std::string& name) override
    {
        std::unique_ptr<DemoEffect>& part = parts[name];
        if (!part) {
            part = registeredDemoEffects().at(name)();
            part->init();
        }
        return part.get();
    }
    std::string enabled;
    std::map<std::string, std::unique_ptr<DemoEffect>> parts;
};

struct Show {
    std::string root;
    Core::RenderWindow* window = nullptr;
    RenderTexture screen;
    DemoTargets targets;
    BenchClock clock;
    BenchParts parts;
    std::unique_ptr<FrameComposer> composer;
    std::unique_ptr<Timeline> timeline;
};

Show* made = nullptr;

// Everything but the music (the bench clock stands in for it), in a folder
// of its own.
std::string writeContent()
{
    const std::string root =
        (std::filesystem::temp_directory_path() / ("vostrel-parts-bench-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(root);
    for (const Content::ContentWriter& writer : Content::contentWriters())
        if (writer.name != "music")
            writer.write(root);
    return root;
}

Show& show()
{
    if (made)
        return *made;
    made = new Show;
    Show& s = *made;
    s.root = contentRoot.empty() ? writeContent() : contentRoot;
    if (chdir(s.root.c_str()) != 0)
        std::abort();
    Properties::load("demo.props");

    Win32Host::setDisplayModesForTesting({{640, 480, 60}, {1024, 768, 60}}, {1024, 768, 60});
    Core::DXCore::install();
    Core::WindowParameters parameters;
    parameters.width = 640;
    parameters.height = 480;
    parameters.vSync = false;
    s.window = Core::createCore(parameters);
    // The show's window gets its 640 x 480 back buffer from its first
    // messages; without them the screen passes would be timed at 1 x 1.
    s.window->setVisible(true);
    s.window->processMessages();
    initPostProcessing();
    s.screen.width = s.window->getWidth();
    s.screen.height = s.window->getHeight();
    s.screen.target = s.window;
    s.targets = {&s.screen,
                 RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8),
                 RenderTargetPool::acquire(512, 512, Core::FORMAT_RGBA16F),
                 RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8),
                 RenderTargetPool::acquire(1, 1, Core::FORMAT_A8R8G8B8),
                 RenderTargetPool::acquire(1, 1, Core::FORMAT_A8R8G8B8)};
    clearTarget(s.targets.black, Vec4(0.0f, 0.0f, 0.0f, 0.0f));
    clearTarget(s.targets.white, Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    s.composer = createBlitComposer();
    s.timeline = std::make_unique<Timeline>(s.clock, s.parts, s.targets, *s.composer, 1000.0f, 0.0f);
    return s;
}

// The show times of a part's frames: spread over each of its segments.
std::vector<float> frameTimes(const std::string& name)
{
    std::vector<const Timeline::Segment*> segments;
    for (const Timeline::Segment& segment : Timeline::segments())
        if (name == segment.name)
            segments.push_back(&segment);
    std::vector<float> times;
    for (int i = 0; i < frameCount; ++i) {
        const Timeline::Segment& segment = *segments[i % segments.size()];
        const int k = i / static_cast<int>(segments.size());
        const int perSegment = (frameCount + static_cast<int>(segments.size()) - 1) / static_cast<int>(segments.size());
        times.push_back(segment.start + segment.length * (k + 0.5f) / perSegment);
    }
    return times;
}

// CPU time of every thread of the process, the driver's rasterisers too: on
// a shared machine it moves less with the load than the wall clock does.
double processCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// One frame per iteration at the next of the times, each timed alone; the
// median and the worst go to the counters.
void timeEach(benchmark::State& state, const std::vector<float>& times, const std::function<void(float)>& frame)
{
    std::vector<double> milliseconds, cpuMilliseconds;
    size_t next = 0;
    for (auto _ : state) {
        const float time = times[next++ % times.size()];
        const double cpuBegin = processCpuMilliseconds();
        const auto begin = std::chrono::steady_clock::now();
        frame(time);
        const auto end = std::chrono::steady_clock::now();
        cpuMilliseconds.push_back(processCpuMilliseconds() - cpuBegin);
        const double ms = std::chrono::duration<double, std::milli>(end - begin).count();
        milliseconds.push_back(ms);
        state.SetIterationTime(ms * 0.001);
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::sort(cpuMilliseconds.begin(), cpuMilliseconds.end());
    state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
    state.counters["worst_ms"] = milliseconds.back();
    state.counters["cpu_median_ms"] = cpuMilliseconds[cpuMilliseconds.size() / 2];
}

void timeFrames(benchmark::State& state, const std::string& name, const std::vector<float>& times)
{
    Show& s = show();
    s.parts.enabled = name;
    for (int i = 0; i < warmUpCount; ++i) {
        s.clock.time = times[i % times.size()];
        s.timeline->renderFrame(s.window);
    }
    timeEach(state, times, [&s](float time) {
        s.clock.time = time;
        s.timeline->renderFrame(s.window);
    });
}

// A part without a segment (HaxorEffect2), played straight into the window:
// warmed up over its first second, then timed over `length` seconds, its
// time always rising as its particles need.
void timeAlone(benchmark::State& state, DemoEffect& part, float length)
{
    Show& s = show();
    std::vector<float> times;
    for (int i = 0; i < frameCount; ++i)
        times.push_back(1.0f + length * (i + 0.5f) / frameCount);
    for (int i = 0; i < warmUpCount; ++i) {
        part.setTime(static_cast<float>(i) / warmUpCount, 0);
        part.render(s.screen);
    }
    timeEach(state, times, [&](float time) {
        part.setTime(time, 0);
        part.render(s.screen);
    });
}

// The console report, then each part's median and worst against the empty
// frame and the budget.
class FrameTimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string name = run.run_name.function_name;
            auto median = run.counters.find("median_ms"), worst = run.counters.find("worst_ms"),
                 cpu = run.counters.find("cpu_median_ms");
            if (median != run.counters.end() && worst != run.counters.end() && cpu != run.counters.end())
                results.push_back({name, median->second.value, worst->second.value, cpu->second.value});
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        double empty = 0.0;
        for (const Result& result : results)
            if (result.name == "Empty/timeline")
                empty = result.median;
        for (const Result& result : results) {
            if (result.name == "Empty/timeline")
                continue;
            std::printf("%s: median %.2f ms (%.1f x empty, %.2f of budget), worst %.2f ms (%.1f x empty, %.2f of "
                        "budget), CPU of all threads median %.2f ms\n",
                        result.name.c_str(), result.median, empty > 0 ? result.median / empty : 0.0,
                        result.median / budgetMs, result.worst, empty > 0 ? result.worst / empty : 0.0,
                        result.worst / budgetMs, result.cpu);
        }
        std::printf("empty timeline frame: median %.3f ms\n", empty);
        if (resultsFile.empty())
            return;
        std::ofstream out(resultsFile);
        for (const Result& result : results)
            if (result.name != "Empty/timeline")
                out << result.name << ' ' << result.median << ' ' << result.worst << ' ' << result.cpu << '\n';
    }

private:
    struct Result {
        std::string name;
        double median;
        double worst;
        double cpu;
    };
    std::vector<Result> results;
};

// Takes "--frames=N", "--warmup=N", "--single" and the modes' own
// "--content=" and "--results=" off the arguments.
void readOwnArguments(int& argc, char** argv)
{
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--frames=", 9) == 0)
            frameCount = std::max(1, std::atoi(argv[i] + 9));
        else if (std::strncmp(argv[i], "--warmup=", 9) == 0)
            warmUpCount = std::max(0, std::atoi(argv[i] + 9));
        else if (std::strcmp(argv[i], "--single") == 0)
            single = true;
        else if (std::strncmp(argv[i], "--content=", 10) == 0)
            contentRoot = argv[i] + 10;
        else if (std::strncmp(argv[i], "--results=", 10) == 0)
            resultsFile = argv[i] + 10;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
}

struct Mode {
    std::string label;
    std::string threads; // LP_NUM_THREADS, or empty for the environment's
};

struct ModeResult {
    double median, worst, cpu;
};

using ModeResults = std::vector<std::pair<std::string, ModeResult>>;

// Plays the benchmarks in a process of this program with the mode's
// environment; its figures by part, or nothing when it failed.
std::optional<ModeResults> runMode(const Mode& mode, const std::string& root, int index,
                                   const std::vector<std::string>& given)
{
    const std::string results = root + "/results-" + std::to_string(index) + ".txt";
    std::vector<std::string> arguments = {given[0], "--single", "--content=" + root, "--results=" + results};
    arguments.insert(arguments.end(), given.begin() + 1, given.end());
    std::vector<char*> argumentPointers;
    for (std::string& argument : arguments)
        argumentPointers.push_back(argument.data());
    argumentPointers.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry)
        if (mode.threads.empty() || std::strncmp(*entry, "LP_NUM_THREADS=", 15) != 0)
            environment.push_back(*entry);
    if (!mode.threads.empty())
        environment.push_back("LP_NUM_THREADS=" + mode.threads);
    std::vector<char*> environmentPointers;
    for (std::string& entry : environment)
        environmentPointers.push_back(entry.data());
    environmentPointers.push_back(nullptr);

    std::printf("--- %s ---\n", mode.label.c_str());
    std::fflush(stdout);
    pid_t child = 0;
    int status = 0;
    if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argumentPointers.data(),
                    environmentPointers.data()) != 0 ||
        waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "PartsBench: the run with %s failed\n", mode.label.c_str());
        return std::nullopt;
    }
    ModeResults figures;
    std::ifstream in(results);
    std::string name;
    ModeResult result{};
    while (in >> name >> result.median >> result.worst >> result.cpu)
        figures.emplace_back(name, result);
    return figures;
}

// Every mode in turn on content written once, then each part's figures
// side by side.
int runModes(const std::vector<std::string>& given)
{
    const char* set = std::getenv("LP_NUM_THREADS");
    const std::vector<Mode> modes = {
        {set ? "LP_NUM_THREADS=" + std::string(set) : std::string("llvmpipe's default threads"), ""},
        {"LP_NUM_THREADS=2", "2"}};
    const std::string root = writeContent();
    std::vector<std::string> names;
    std::vector<ModeResults> figures;
    bool failed = false;
    for (size_t i = 0; i < modes.size(); ++i) {
        std::optional<ModeResults> run = runMode(modes[i], root, static_cast<int>(i), given);
        failed = failed || !run;
        figures.push_back(run ? *run : ModeResults());
        for (const auto& entry : figures.back())
            if (std::find(names.begin(), names.end(), entry.first) == names.end())
                names.push_back(entry.first);
    }
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    std::printf("\nCPU of all threads (median) and wall time (median / worst) per frame, ms:\n");
    for (const std::string& name : names) {
        std::printf("%-24s", name.c_str());
        for (size_t i = 0; i < modes.size(); ++i) {
            auto found = std::find_if(figures[i].begin(), figures[i].end(),
                                      [&name](const auto& entry) { return entry.first == name; });
            if (found == figures[i].end())
                std::printf(" | %s: -", modes[i].label.c_str());
            else
                std::printf(" | %s: CPU %6.2f, wall %6.2f / %6.2f", modes[i].label.c_str(), found->second.cpu,
                            found->second.median, found->second.worst);
        }
        std::printf("\n");
    }
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> given(argv, argv + argc);
    readOwnArguments(argc, argv);
    if (!single)
        return runModes(given);
    // The end of the show: the timeline clears the window and presents it.
    const float end = Timeline::segments().back().start + 1.0f;
    benchmark::RegisterBenchmark("Empty/timeline", [end](benchmark::State& state) {
        timeFrames(state, "", std::vector<float>{end});
    })->Iterations(frameCount)->UseManualTime()->Unit(benchmark::kMillisecond);
    std::vector<std::string> names;
    for (const Timeline::Segment& segment : Timeline::segments())
        if (registeredDemoEffects().count(segment.name) &&
            std::find(names.begin(), names.end(), segment.name) == names.end())
            names.push_back(segment.name);
    for (const std::string& name : names) {
        const std::vector<float> times = frameTimes(name);
        benchmark::RegisterBenchmark(("Part/" + name).c_str(), [name, times](benchmark::State& state) {
            timeFrames(state, name, times);
        })->Iterations(frameCount)->UseManualTime()->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("Part/HaxorEffect2", [](benchmark::State& state) {
        show();
        static std::unique_ptr<DemoEffect> part(HaxorEffect2::create());
        static bool ready = (part->init(), true);
        (void)ready;
        timeAlone(state, *part, 20.0f);
    })->Iterations(frameCount)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    FrameTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // The parts and the core stay: the process ends with them. Content the
    // modes share is theirs to remove.
    std::error_code ignored;
    if (made && contentRoot.empty())
        std::filesystem::remove_all(made->root, ignored);
    return 0;
}

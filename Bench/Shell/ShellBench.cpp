// Frame times of the show's shell, each beside a bare frame (clear the
// window, present, handle its messages) on the same headless 640 x 480
// window without vertical sync:
// - the timeline with no part built (every segment clears to black);
// - the timeline with parts that only clear their target, one task per
//   composition (straight to the window, copy, fades, the multi-pass blurs,
//   HDR lighting, the inverted fade, the closing clear);
// - the loading screen's ping frames and its dissolve frames.
// Prints each time over the bare frame's. Run with SDL_VIDEODRIVER=offscreen
// where there is no display.
#include "Bench/Support/FixedClock.h"
#include "Bench/Support/RatioReporter.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Testing/DemoEffect.h"
#include "Libs/Testing/LoadingEffect.h"
#include "Libs/Testing/Timeline.h"
#include "Libs/Time/Syncronizer.h"
#include "Platform/Win32/Host.h"
#include "Tools/Content/ContentWriter.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace Vostrel;

using VostrelBench::FixedClock;

class ClearingPart : public DemoEffect {
public:
    void init() override {}
    void release() override {}
    void setTime(float, int) override {}
    void render(RenderTexture& target) override { clearTarget(&target, Vec4(0.5f, 0.4f, 0.3f, 1.0f)); }
};

class Parts : public TimelineParts {
public:
    bool isEnabled(const std::string&) override { return true; }
    DemoEffect* getPart(const std::string&) override { return built ? &part : nullptr; }
    bool built = true;
    ClearingPart part;
};

// The window, the shared targets and a content folder with the title and
// the calibration, made once for the run.
struct Shell {
    Core::RenderWindow* window = nullptr;
    RenderTexture screen;
    DemoTargets targets;
    std::unique_ptr<FrameComposer> composer;
    std::filesystem::path folder;

    Shell()
    {
        folder = std::filesystem::temp_directory_path() / ("vostrel-shell-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        for (const Content::ContentWriter& writer : Content::contentWriters())
            if (writer.name == "title" || writer.name == "pings")
                writer.write(folder.string());
        std::filesystem::current_path(folder);
        Win32Host::setDisplayModesForTesting({{640, 480, 60}, {1920, 1080, 60}}, {1920, 1080, 60});
        Core::DXCore::install();
        Core::WindowParameters parameters;
        parameters.width = 640;
        parameters.height = 480;
        parameters.vSync = false;
        window = Core::createCore(parameters);
        if (!window)
            throw std::runtime_error("no window");
        window->setVisible(true);
        initPostProcessing();
        screen.width = 640;
        screen.height = 480;
        screen.target = window;
        targets = acquireDemoTargets(&screen);
        composer = createBlitComposer();
    }

    ~Shell()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

Shell& shell()
{
    static Shell made;
    return made;
}

// Show times that land in each composition of the timeline.
const std::map<std::string, float> compositions = {
    {"to-window", 5.0f},                         // transition: straight into the window
    {"copy", 20.0f},                             // map part: A copied to the window
    {"fade-from-black", 33.882355f + 0.5f},      // elevator fading in
    {"blur-then-fade", 33.882355f + 21.5f},      // elevator: multi-pass blur into C, faded out
    {"blur-to-window", 96.513374f + 0.5f},       // agent-follow: multi-pass blur into the window
    {"hdr-then-copy", 130.0f},                   // hacker: HDR lighting of C into A, copied
    {"fade-then-invert", 148.877014f + 0.3f},    // map 5: white fade into C, inverted
    {"fade-from-white", 148.877014f + 0.8f},     // map 5: white fade into the window
    {"closing-clear", 250.0f},                   // the end sentinel
};

void bareFrame(benchmark::State& state)
{
    Shell& s = shell();
    for (auto _ : state) {
        s.window->begin();
        Core::clear(Core::CLEAR_COLOR | Core::CLEAR_DEPTH, Vec4(0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 0);
        s.window->end();
        s.window->processMessages();
    }
}

void timelineFrame(benchmark::State& state, float showTime, bool partsBuilt)
{
    Shell& s = shell();
    FixedClock clock;
    clock.time = showTime;
    Parts parts;
    parts.built = partsBuilt;
    Timeline timeline(clock, parts, s.targets, *s.composer, 1000.0f, 0.0f);
    for (auto _ : state) {
        timeline.renderFrame(s.window);
        s.window->processMessages();
    }
}

// Time per presented frame of the loading screen: a ping shows three, the
// dissolve as many as one second allows.
void loadingFrames(benchmark::State& state, bool dissolve)
{
    Shell& s = shell();
    int frames = 0;
    std::unique_ptr<LoadingEffect> loading(createLoadingEffect([&] {
        ++frames;
        s.window->processMessages();
        return true;
    }));
    for (auto _ : state) {
        frames = 0;
        const auto start = std::chrono::steady_clock::now();
        if (dissolve)
            loading->finish(s.screen);
        else
            loading->ping(s.screen);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count() / frames);
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    // Each task right after its bare frame, so that a change in the
    // machine's load between them stays small.
    auto bare = [](const std::string& task) {
        benchmark::RegisterBenchmark(("Bare/" + task).c_str(), bareFrame)->Unit(benchmark::kMicrosecond)->MinTime(0.5);
    };
    bare("timeline-no-parts");
    benchmark::RegisterBenchmark("Shell/timeline-no-parts", timelineFrame, 20.0f, false)
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(0.5);
    for (const auto& composition : compositions) {
        const std::string task = "timeline-" + composition.first;
        bare(task);
        benchmark::RegisterBenchmark(("Shell/" + task).c_str(), timelineFrame, composition.second, true)
            ->Unit(benchmark::kMicrosecond)
            ->MinTime(0.5);
    }
    bare("loading-ping");
    benchmark::RegisterBenchmark("Shell/loading-ping", loadingFrames, false)
        ->Unit(benchmark::kMicrosecond)
        ->UseManualTime()
        ->MinTime(0.5);
    bare("loading-dissolve");
    benchmark::RegisterBenchmark("Shell/loading-dissolve", loadingFrames, true)
        ->Unit(benchmark::kMicrosecond)
        ->UseManualTime()
        ->Iterations(2);
    VostrelBench::RatioReporter reporter("Shell", "Bare", "Shell / bare clear-and-present frame time, %s: %.2f\n");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

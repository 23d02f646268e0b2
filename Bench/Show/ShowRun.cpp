// The whole show, played headless from a generated content folder, on the
// system clock or on time stepped by a fixed amount per frame:
// - each frame's time per timeline segment (median, 95th percentile, worst,
//   frames per second) over the frame of the timeline with no parts on the
//   same window in the same run; the time from process start to the first
//   show frame; the peak resident memory;
// - the window at three moments of every part's segment as PNG files, and a
//   contact sheet of them all;
// - with --check, fails when a segment of a part this build has shows one
//   colour in all its frames.
// A frame that throws ends the run with its report and status 1.
#include "Bench/Show/ShowRun.h"
#include "Bench/Show/ContactSheet.h"
#include "Bench/Support/FixedClock.h"
#include "Libs/Common/StringUtils.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Testing/Demo.h"
#include "Libs/Testing/Properties.h"
#include "Libs/Time/Syncronizer.h"
#include "Platform/Fmod3/Module.h"
#include "Platform/Win32/Host.h"

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace Vostrel;
using namespace VostrelBench;
using Clock = std::chrono::steady_clock;

const int partSegments = Timeline::segmentCount - 1; // the last one is black by design

// Seconds since the process started, as the kernel counts it.
double secondsSinceProcessStart()
{
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Field 22, counted after the command's closing parenthesis (field 2).
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    timespec now;
    clock_gettime(CLOCK_BOOTTIME, &now);
    return now.tv_sec + now.tv_nsec * 1e-9 - std::atof(field.c_str()) / sysconf(_SC_CLK_TCK);
}

double peakResidentMegabytes()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t index = static_cast<size_t>(std::ceil(fraction * values.size()));
    return values[std::min(values.size() - 1, index == 0 ? 0 : index - 1)];
}

struct Options {
    std::string content;
    std::string out = "show-run";
    double step = 0.0; // seconds of show time per frame; 0 is the system clock
    bool check = false;
    std::vector<char*> demoArguments; // the program's name, then what goes to the show
};

// A moment of a segment the window is written at.
struct Capture {
    int segment;
    float time;
    bool done = false;
};

struct SegmentRecord {
    std::vector<double> frameMs;
    double seconds = 0.0;
    uint32_t firstColour = 0;
    bool seen = false;
    bool varied = false;
};

class NoParts : public TimelineParts {
public:
    bool isEnabled(const std::string&) override { return true; }
    DemoEffect* getPart(const std::string&) override { return nullptr; }
};

class ShowRun : public Demo {
public:
    ShowRun(const Options& options, int argc, char** argv)
        : Demo(argc, argv), options(options), musicOffset(Properties::getFloat("demo.music.offset", 0.0f))
    {
        for (int i = 0; i < partSegments; ++i) {
            const Timeline::Segment& s = Timeline::segments()[i];
            const float end = Timeline::segments()[i + 1].start;
            for (float t : {s.start + 0.5f, (s.start + end) * 0.5f, end - 0.5f})
                captures.push_back({i, t});
        }
    }

    void renderFrame(float seconds) override
    {
        const Clock::time_point start = Clock::now();
        if (!frames) {
            // From here on the clocks read the counter that the run moves.
            if (options.step > 0.0)
                Win32Host::setVirtualCounter(true);
        } else {
            recordFrame(start);
        }
        const float showTime = getClock()->getTime() - musicOffset;
        Demo::renderFrame(seconds);
        if (!running)
            return;
        if (!frames)
            firstFrameSeconds = secondsSinceProcessStart();
        ++frames;
        lastSegment = Timeline::segmentAt(showTime);
        lastStart = start;
        const Clock::time_point examined = Clock::now();
        examine(showTime);
        lastExtra = Clock::now() - examined;
        if (options.step > 0.0)
            advanceTo(showTime);
    }

    void deinit() override
    {
        recordFrame(Clock::now());
        measureEmptyTimeline();
    }

    // The report; false when a check failed.
    bool report(std::ostream& out) const
    {
        char line[256];
        out << "segment part                 frames  median ms  p95 ms  worst ms   fps  x empty\n";
        for (int i = 0; i < Timeline::segmentCount; ++i) {
            const SegmentRecord& r = records[i];
            const double median = percentile(r.frameMs, 0.5);
            std::snprintf(line, sizeof(line), "%7d %-20s %7zu %10.2f %7.2f %9.2f %5.1f %8.2f\n", i + 1,
                          Timeline::segments()[i].name, r.frameMs.size(), median, percentile(r.frameMs, 0.95),
                          r.frameMs.empty() ? 0.0 : *std::max_element(r.frameMs.begin(), r.frameMs.end()),
                          r.seconds > 0.0 ? r.frameMs.size() / r.seconds : 0.0,
                          emptyMedianMs > 0.0 ? median / emptyMedianMs : 0.0);
            out << line;
        }
        std::snprintf(line, sizeof(line),
                      "empty-timeline frame median %.2f ms\nfirst show frame %.2f s after process start\n"
                      "peak resident memory %.1f MB\n",
                      emptyMedianMs, firstFrameSeconds, peakResidentMegabytes());
        out << line;
        bool passed = true;
        if (options.check) {
            for (int i = 0; i < partSegments; ++i) {
                const std::string name = Timeline::segments()[i].name;
                const SegmentRecord& r = records[i];
                if (!registeredDemoEffects().count(name) || !isEffectEnabled(name))
                    continue;
                if (!r.seen) {
                    out << "FAILED: segment " << i + 1 << " (" << name << ") played no frame\n";
                    passed = false;
                } else if (!r.varied) {
                    std::snprintf(line, sizeof(line), "FAILED: segment %d (%s) is #%06x in all its frames\n", i + 1,
                                  name.c_str(), r.firstColour & 0xFFFFFFu);
                    out << line;
                    passed = false;
                }
            }
        }
        return passed;
    }

    void writeSheet() const
    {
        std::ostringstream heading;
        heading << "Vostrel, segments 1-" << partSegments << ": 0.5 s in, middle, 0.5 s before the end"
                << (options.step > 0.0 ? ", time stepped " + StringUtils::floatToString(options.step) + " s"
                                       : std::string(", system clock"));
        writeContactSheet(options.out + "/contact-sheet.png", heading.str(), cells, 6, "data/Fonts/Prototype.ttf");
    }

private:
    void recordFrame(Clock::time_point now)
    {
        if (!frames || lastSegment < 0)
            return;
        const std::chrono::duration<double, std::milli> taken = now - lastStart - lastExtra;
        records[lastSegment].frameMs.push_back(taken.count());
        records[lastSegment].seconds += taken.count() * 0.001;
    }

    // The window's pixels as BGRA words.
    std::vector<uint32_t> readWindow()
    {
        std::vector<uint32_t> pixels(static_cast<size_t>(window->getWidth()) * window->getHeight());
        window->getFramebuffer(pixels.data());
        return pixels;
    }

    void examine(float showTime)
    {
        const int segment = Timeline::segmentAt(showTime);
        // Moments passed over (a coarse step, a slow frame) are taken by the
        // first frame after them in the same segment.
        bool capture = false;
        for (Capture& c : captures)
            if (!c.done && showTime >= c.time - 1e-3f) {
                c.done = c.segment != segment;
                capture = capture || c.segment == segment;
            }
        if (!capture && !(options.check && segment >= 0 && segment < partSegments))
            return;
        const std::vector<uint32_t> pixels = readWindow();
        if (segment >= 0 && segment < partSegments) {
            SegmentRecord& r = records[segment];
            if (!r.seen)
                r.firstColour = pixels[0];
            r.seen = true;
            r.varied = r.varied || std::any_of(pixels.begin(), pixels.end(),
                                               [&](uint32_t p) { return p != r.firstColour; });
        }
        if (!capture)
            return;
        char name[64];
        std::snprintf(name, sizeof(name), "segment%02d-%07.2fs.png", segment + 1, showTime);
        writePicture(options.out + "/" + name, pixels.data(), window->getWidth(), window->getHeight());
        char label[96];
        std::snprintf(label, sizeof(label), "%d %s %.1f s", segment + 1, Timeline::segments()[segment].name,
                      showTime);
        cells.push_back(shrinkPicture(pixels.data(), window->getWidth(), window->getHeight(), 320, label));
        for (Capture& c : captures)
            if (!c.done && showTime >= c.time - 1e-3f)
                c.done = true;
    }

    // Moves the counter to the next frame's time: one step on, or the next
    // moment to capture when that comes first.
    void advanceTo(float showTime)
    {
        double next = showTime + options.step;
        for (const Capture& c : captures)
            if (!c.done && c.time > showTime + 1e-3f)
                next = std::min(next, static_cast<double>(c.time));
        Win32Host::advanceCounter(static_cast<int64_t>(std::llround((next - showTime) * 1e9)));
    }

    // The timeline with no part on the same window: every segment clears
    // to black, the frame the parts' frames are set against.
    void measureEmptyTimeline()
    {
        FixedClock clock;
        NoParts none;
        std::unique_ptr<FrameComposer> composer = createBlitComposer();
        Timeline timeline(clock, none, getTargets(), *composer, 1e9f, 0.0f);
        std::vector<double> times;
        for (int round = 0; round < 8; ++round)
            for (int i = 0; i < partSegments; ++i) {
                clock.time = Timeline::segments()[i].start + 1.0f;
                const Clock::time_point start = Clock::now();
                timeline.renderFrame(window);
                window->processMessages();
                times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
        emptyMedianMs = percentile(times, 0.5);
    }

    const Options& options;
    float musicOffset;
    std::vector<Capture> captures;
    std::vector<SheetCell> cells;
    SegmentRecord records[Timeline::segmentCount];
    long frames = 0;
    int lastSegment = -1;
    Clock::time_point lastStart;
    Clock::duration lastExtra{};
    double firstFrameSeconds = 0.0;
    double emptyMedianMs = 0.0;
};

int usage()
{
    std::cerr << "usage: vostrel-show-run <content folder> [--step seconds] [--out folder] [--check] "
                 "[-nosound] [-fullscreen]\n"
                 "  --step  seconds of show time per frame (default: the system clock)\n"
                 "  --out   where the PNGs, the contact sheet and report.txt go (default: show-run)\n"
                 "  --check fail when a segment of a part in this build is one colour in all its frames\n";
    return 2;
}

} // namespace

int VostrelBench::runShow(int argc, char** argv)
{
    Options options;
    options.demoArguments.push_back(argv[0]);
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--step" && i + 1 < argc) {
            options.step = std::atof(argv[++i]);
            if (!(options.step >= 0.0))
                return usage();
        } else if (argument == "--out" && i + 1 < argc) {
            options.out = argv[++i];
        } else if (argument == "--check") {
            options.check = true;
        } else if (argument.size() > 1 && argument[0] == '-' && argument[1] != '-') {
            options.demoArguments.push_back(argv[i]);
        } else if (options.content.empty() && argument[0] != '-') {
            options.content = argument;
        } else {
            return usage();
        }
    }
    if (options.content.empty())
        return usage();
    options.out = std::filesystem::absolute(options.out).string();
    std::filesystem::create_directories(options.out);
    std::filesystem::current_path(options.content);
    // The show's own size, whatever the property file says.
    setenv("VOSTREL_WINDOW_WIDTH", "640", 1);
    setenv("VOSTREL_WINDOW_HEIGHT", "480", 1);

    return runReported([&] {
        Properties::load("demo.props");
        Core::DXCore::install();
        Fmod3::registerModule();
        const int demoArgc = static_cast<int>(options.demoArguments.size());
        bool played = false, passed = false;
        std::ostringstream report;
        {
            ShowRun show(options, demoArgc, options.demoArguments.data());
            played = show.run(demoArgc, options.demoArguments.data());
            if (played) {
                passed = show.report(report);
                show.writeSheet();
            }
        }
        std::cout << report.str();
        std::ofstream(options.out + "/report.txt") << report.str();
        return played && passed ? 0 : 1;
    });
}

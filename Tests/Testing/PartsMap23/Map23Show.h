#pragma once

// The show's timeline with one part, drawn into a headless 640 x 480 window
// from generated content, and the frames it shows.

#include "Libs/Core/APICore.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Math/Random.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Testing/DemoParts.h"
#include "Libs/Testing/Properties.h"
#include "Libs/Testing/Timeline.h"
#include "Libs/Testing/Utils/Particles.h"
#include "Libs/Time/SysClockSyncronizer.h"
#include "Platform/Win32/Host.h"
#include "Tests/Support/TempDir.h"
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/PngWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace Vostrel {
namespace Map23Test {

constexpr int frameWidth = 640;
constexpr int frameHeight = 480;

// A window's pixels, 0xAARRGGBB row after row from the top.
struct Frame {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(static_cast<size_t>(frameWidth) * frameHeight);

    static int red(uint32_t p) { return (p >> 16) & 255; }
    static int green(uint32_t p) { return (p >> 8) & 255; }
    static int blue(uint32_t p) { return p & 255; }
    static int luminance(uint32_t p) { return (red(p) * 30 + green(p) * 59 + blue(p) * 11) / 100; }

    double meanLuminance() const
    {
        double sum = 0;
        for (uint32_t p : pixels)
            sum += luminance(p);
        return sum / pixels.size();
    }
    // The share of pixels of the rectangle for which the test holds.
    template <typename Test> double share(Test test, int x0 = 0, int y0 = 0, int x1 = frameWidth, int y1 = frameHeight) const
    {
        size_t count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                count += test(pixels[static_cast<size_t>(y) * frameWidth + x]) ? 1 : 0;
        return static_cast<double>(count) / ((x1 - x0) * (y1 - y0));
    }
    // Mean absolute difference per channel.
    double difference(const Frame& other) const
    {
        double sum = 0;
        for (size_t i = 0; i < pixels.size(); ++i)
            sum += std::abs(red(pixels[i]) - red(other.pixels[i])) + std::abs(green(pixels[i]) - green(other.pixels[i])) +
                   std::abs(blue(pixels[i]) - blue(other.pixels[i]));
        return sum / (3.0 * pixels.size());
    }
    void writePng(const std::string& path) const
    {
        std::vector<uint8_t> rgba;
        for (uint32_t p : pixels)
            rgba.insert(rgba.end(), {static_cast<uint8_t>(red(p)), static_cast<uint8_t>(green(p)),
                                     static_cast<uint8_t>(blue(p)), 255});
        Content::writePngRgba(path, frameWidth, frameHeight, rgba);
    }
};

// One core and one content root for the whole program: the caches keep
// what they load for the run.
class Map23ShowTest : public ::testing::Test {
public:
    static void SetUpTestSuite()
    {
        if (window)
            return;
        Win32Host::setDisplayModesForTesting({{1280, 1024, 60}}, {1280, 1024, 60});
        Core::APICore::destroyInstance();
        Core::DXCore::install();
        Core::WindowParameters parameters;
        parameters.width = frameWidth;
        parameters.height = frameHeight;
        window = Core::createCore(parameters);
        ASSERT_NE(window, nullptr);
        window->setVisible(true);
        content = new VostrelTest::TempDir;
        for (const Content::ContentWriter& writer : Content::contentWriters())
            for (const char* name : {"demo.props", "font", "toolkit", "models/quad", "maps23"})
                if (writer.name == name)
                    writer.write(content->path);
        ASSERT_EQ(chdir(content->path.c_str()), 0);
        initPostProcessing();
        // The run's first draw seeds from the clock; after it, seedMT holds.
        randomUInt32();
    }

protected:
    // The generated settings with only the named part enabled, then the
    // extra lines; the random source seeded.
    static void settings(const std::string& part, const std::string& extra = "")
    {
        Properties::clear();
        Properties::load("demo.props");
        std::string lines;
        for (const auto& registered : registeredDemoEffects())
            lines += "I " + registered.first + ".enabled " + (part == registered.first ? "1" : "0") + "\n";
        Properties::load(content->write("test.props", lines + extra));
        seedMT(1);
        ParticleMesh::lastUpdateTime = 0.0f;
    }

    static Core::RenderWindow* window;
    static VostrelTest::TempDir* content;
};

// The timeline with one part: the clock starts paused at the first
// sampled time and is moved to each.
class OnePartShow : public TimelineParts {
public:
    OnePartShow(const std::string& name, Core::RenderWindow* window) : name(name), window(window)
    {
        part = registeredDemoEffects().at(name)();
        part->init();
        screen.width = window->getWidth();
        screen.height = window->getHeight();
        screen.target = window;
        targets = acquireDemoTargets(&screen);
        clock = std::make_unique<SysClockSyncronizer>(Properties::getFloat("demo.startTime", 0.0f));
        clock->start();
        clock->pause();
        composer = createBlitComposer();
        timeline = std::make_unique<Timeline>(*clock, *this, targets, *composer, 219.0f, 0.0f);
    }

    ~OnePartShow() override
    {
        timeline.reset();
        releaseDemoTargets(targets);
    }

    // The window after the frame at a show time; written as a PNG when
    // VOSTREL_MAP_FRAMES names a folder.
    Frame at(float showTime)
    {
        clock->setTime(showTime);
        EXPECT_TRUE(timeline->renderFrame(window));
        Frame frame;
        window->getFramebuffer(frame.pixels.data());
        if (const char* folder = std::getenv("VOSTREL_MAP_FRAMES"))
            frame.writePng(std::string(folder) + "/" + name + "-" + std::to_string(showTime) + ".png");
        return frame;
    }

    DemoEffect& getPart() const { return *part; }

private:
    bool isEnabled(const std::string& segmentName) override { return segmentName == name; }
    DemoEffect* getPart(const std::string& segmentName) override
    {
        return segmentName == name ? part.get() : nullptr;
    }

    std::string name;
    Core::RenderWindow* window;
    std::unique_ptr<DemoEffect> part;
    RenderTexture screen;
    DemoTargets targets;
    std::unique_ptr<Syncronizer> clock;
    std::unique_ptr<FrameComposer> composer;
    std::unique_ptr<Timeline> timeline;
};

} // namespace Map23Test
} // namespace Vostrel

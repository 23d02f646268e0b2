#pragma once

// The show's timeline with one map part, drawn into a headless 640 x 480
// window from generated content, and the frames it shows.

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Math/Random.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Testing/DemoParts.h"
#include "Libs/Testing/Properties.h"
#include "Libs/Testing/Timeline.h"
#include "Libs/Testing/Utils/Particles.h"
#include "Libs/Time/SysClockSyncronizer.h"
#include "Platform/Win32/Host.h"
#include "Tests/Support/HeadlessCore.h"
#include "Tests/Support/TempDir.h"
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/PngWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace Vostrel {
namespace MapTest {

constexpr int frameWidth = 640;
constexpr int frameHeight = 480;

// A window's pixels, 0xAARRGGBB row after row from the top.
struct Frame {
    int width = frameWidth;
    int height = frameHeight;
    std::vector<uint32_t> pixels;

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
    // The share of pixels for which the test holds.
    template <typename Test>
    double share(Test test) const
    {
        size_t count = 0;
        for (uint32_t p : pixels)
            count += test(p) ? 1 : 0;
        return static_cast<double>(count) / pixels.size();
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
        Content::writePngRgba(path, width, height, rgba);
    }
};

// What an A8R8G8B8 render target holds.
inline Frame readTarget(const RenderTexture& target)
{
    Frame frame;
    frame.width = target.width;
    frame.height = target.height;
    frame.pixels = TestSupport::readTargetTexture(*target.texture);
    return frame;
}

// One core and one content root for the whole program: the caches keep
// what they load for the run.
class MapShowTest : public ::testing::Test {
public:
    static void SetUpTestSuite()
    {
        if (window)
            return;
        // A desktop larger than the window, so that all of it is on the screen.
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
            for (const char* name : {"demo.props", "font", "toolkit", "models/quad", "maps"})
                if (writer.name == name)
                    writer.write(content->path);
        ASSERT_EQ(chdir(content->path.c_str()), 0);
        initPostProcessing();
    }

protected:
    // The generated settings with only the named part enabled, then the
    // extra lines; the random source seeded.
    void settings(const std::string& part, const std::string& extra = "")
    {
        Properties::clear();
        Properties::load("demo.props");
        std::string lines;
        for (const char* name : {"TransitionEffect", "MapEffect1", "MapEffect2", "MapEffect3", "MapEffect4", "MapEffect5",
                                 "ElevatorEffect", "AgentFollowEffect", "AttackEffect", "AdminEffect", "HaxorEffect1"})
            lines += std::string("I ") + name + ".enabled " + (part == name ? "1" : "0") + "\n";
        Properties::load(content->write("test.props", lines + extra));
        // The first draw of a process seeds from the clock: have it done.
        randomUInt32();
        seedMT(1);
        ParticleMesh::lastUpdateTime = 0.0f;
    }

    static std::unique_ptr<DemoEffect> makePart(const std::string& name)
    {
        return registeredDemoEffects().at(name)();
    }

    static Core::RenderWindow* window;
    static VostrelTest::TempDir* content;
};

// The timeline with one part: the clock starts paused where
// "demo.startTime" puts it and is moved to each sampled time.
class OnePartShow : public TimelineParts {
public:
    OnePartShow(const std::string& name, Core::RenderWindow* window) : name(name), window(window)
    {
        part = registeredDemoEffects().at(name)();
        part->init();
        screen.width = window->getWidth();
        screen.height = window->getHeight();
        screen.target = window;
        targets.screen = &screen;
        targets.a = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
        targets.b = RenderTargetPool::acquire(512, 512, Core::FORMAT_RGBA16F);
        targets.c = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
        targets.black = RenderTargetPool::acquire(1, 1, Core::FORMAT_A8R8G8B8);
        targets.white = RenderTargetPool::acquire(1, 1, Core::FORMAT_A8R8G8B8);
        clearTarget(targets.black, Vec4(0, 0, 0, 0));
        clearTarget(targets.white, Vec4(1, 1, 1, 1));
        clock = std::make_unique<SysClockSyncronizer>(Properties::getFloat("demo.startTime", 0.0f));
        clock->start();
        clock->pause();
        composer = createBlitComposer();
        timeline = std::make_unique<Timeline>(*clock, *this, targets, *composer, 219.0f, 0.0f);
    }

    ~OnePartShow() override
    {
        timeline.reset();
        part.reset();
        for (RenderTexture* target : {targets.a, targets.b, targets.c, targets.black, targets.white})
            RenderTargetPool::release(target);
    }

    // The window after the frame at a show time; written as a PNG when
    // VOSTREL_MAP_FRAMES names a folder.
    Frame at(float showTime)
    {
        clock->setTime(showTime);
        EXPECT_TRUE(timeline->renderFrame(window));
        Frame frame;
        frame.pixels.resize(static_cast<size_t>(frameWidth) * frameHeight);
        window->getFramebuffer(frame.pixels.data());
        if (const char* folder = std::getenv("VOSTREL_MAP_FRAMES"))
            frame.writePng(std::string(folder) + "/" + name + "-" + std::to_string(showTime) + ".png");
        return frame;
    }

    DemoEffect& getPart() const { return *part; }
    const DemoTargets& getTargets() const { return targets; }

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

} // namespace MapTest
} // namespace Vostrel

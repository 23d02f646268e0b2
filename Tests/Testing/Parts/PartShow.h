#pragma once

// A demo part played by the real show headless: generated content in a
// temporary folder, only the part under test enabled, the show started at
// a chosen time ("demo.startTime") and moved on by seeking the clock; the
// window's picture is read after each frame. With VOSTREL_PART_FRAMES set
// to a folder, each frame is also written there as a PNG;
// VOSTREL_PART_PROPERTIES adds property lines (separated by ';').

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/DirectX/DXTexture.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Image/Image.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Testing/Demo.h"
#include "Libs/Testing/Properties.h"
#include "Libs/Testing/Utils/Particles.h"
#include "Libs/Math/Random.h"
#include "Libs/Time/Syncronizer.h"
#include "Platform/Win32/Host.h"
#include "Tests/Support/HeadlessCore.h"
#include "Tests/Support/TempDir.h"
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/PngWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace Vostrel {
namespace PartTests {

// A frame of the window, rows top first, A8R8G8B8 words.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    int channel(int x, int y, int c) const
    {
        return static_cast<int>((pixels[static_cast<size_t>(y) * width + x] >> (16 - 8 * c)) & 255u);
    }
    double meanLevel() const
    {
        double sum = 0;
        for (uint32_t p : pixels)
            sum += ((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255);
        return sum / (3.0 * pixels.size());
    }
    // The share of pixels whose three channels are all at least 250.
    double saturatedShare() const
    {
        size_t count = 0;
        for (uint32_t p : pixels)
            count += ((p >> 16) & 255) >= 250 && ((p >> 8) & 255) >= 250 && (p & 255) >= 250;
        return static_cast<double>(count) / pixels.size();
    }
    double meanDifference(const Frame& other) const
    {
        double sum = 0;
        for (size_t i = 0; i < pixels.size(); ++i)
            for (int shift : {0, 8, 16})
                sum += std::abs(static_cast<int>((pixels[i] >> shift) & 255) -
                                static_cast<int>((other.pixels[i] >> shift) & 255));
        return sum / (3.0 * pixels.size());
    }
    // Each n x n block averaged: what a picture shows, without the filters'
    // edge differences.
    Frame reduced(int n) const
    {
        Frame out;
        out.width = width / n;
        out.height = height / n;
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x) {
                uint32_t word = 0xFF000000u;
                for (int c = 0; c < 3; ++c) {
                    int sum = 0;
                    for (int j = 0; j < n; ++j)
                        for (int i = 0; i < n; ++i)
                            sum += channel(x * n + i, y * n + j, c);
                    word |= static_cast<uint32_t>((sum + n * n / 2) / (n * n)) << (16 - 8 * c);
                }
                out.pixels.push_back(word);
            }
        return out;
    }
    void writePng(const std::string& path) const
    {
        std::vector<uint8_t> rgba(pixels.size() * 4);
        for (size_t i = 0; i < pixels.size(); ++i) {
            rgba[i * 4] = static_cast<uint8_t>(pixels[i] >> 16);
            rgba[i * 4 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
            rgba[i * 4 + 2] = static_cast<uint8_t>(pixels[i]);
            rgba[i * 4 + 3] = 255;
        }
        Content::writePngRgba(path, width, height, rgba);
    }
};

// The show with a frame hook: after each frame the window is read, then the
// clock is moved to the next asked time, or the run ends.
class RecordedShow : public Demo {
public:
    // recorded: the indices of the frames to read; empty reads every frame.
    RecordedShow(int argc, char** argv, std::vector<float> seeks, std::vector<size_t> recorded)
        : Demo(argc, argv), seeks(std::move(seeks)), recorded(std::move(recorded))
    {
    }

    void renderFrame(float seconds) override
    {
        Demo::renderFrame(seconds);
        if (!running)
            return;
        Frame frame;
        if (recorded.empty() || std::find(recorded.begin(), recorded.end(), frames.size()) != recorded.end()) {
            frame.width = window->getWidth();
            frame.height = window->getHeight();
            frame.pixels.resize(static_cast<size_t>(frame.width) * frame.height);
            window->getFramebuffer(frame.pixels.data());
        }
        frames.push_back(std::move(frame));
        if (next < seeks.size())
            getClock()->setTime(seeks[next++]);
        else
            running = false;
    }

    Core::RenderWindow* getWindow() const { return window; }

    std::vector<Frame> frames;

private:
    std::vector<float> seeks;
    std::vector<size_t> recorded;
    size_t next = 0;
};

// The random source and the particles' clock start alike in every run (the
// process's first draw seeds from the clock: have it done first).
inline void seedParts()
{
    randomUInt32();
    seedMT(1);
    ParticleMesh::lastUpdateTime = 0.0f;
}

// Parts made by hand share one core and one content folder (the working
// folder) for the whole test program: the caches keep what they load for
// the run. Made by the first call; later calls return it.
inline VostrelTest::TempDir& sharedPartContent(std::initializer_list<const char*> writers)
{
    static VostrelTest::TempDir* content = nullptr;
    if (content)
        return *content;
    Win32Host::setDisplayModesForTesting({{640, 480, 60}}, {640, 480, 60});
    Core::APICore::destroyInstance();
    Core::DXCore::install();
    Core::WindowParameters parameters;
    parameters.width = 64;
    parameters.height = 64;
    if (!Core::createCore(parameters))
        throw std::runtime_error("no render core");
    content = new VostrelTest::TempDir;
    for (const Content::ContentWriter& writer : Content::contentWriters())
        for (const char* name : writers)
            if (writer.name == name)
                writer.write(content->path);
    if (chdir(content->path.c_str()) != 0)
        throw std::runtime_error("cannot enter " + content->path);
    initPostProcessing();
    return *content;
}

// One part's show in a generated content folder (the working folder while
// the fixture lives).
class PartShow : public ::testing::Test {
protected:
    // The part's ".enabled" name and the content writers it needs.
    PartShow(std::string part, std::vector<std::string> writers) : part(std::move(part)), writers(std::move(writers)) {}

    void SetUp() override
    {
        for (const std::string& name : std::vector<std::string>{"demo.props", "pings", "title", "font", "models/quad"})
            writers.push_back(name);
        for (const Content::ContentWriter& writer : Content::contentWriters())
            for (const std::string& name : writers)
                if (writer.name == name)
                    writer.write(folder.path);
        previous = getcwd(nullptr, 0);
        ASSERT_EQ(chdir(folder.path.c_str()), 0);
        // A desktop larger than the window, so the window keeps its size.
        Win32Host::setDisplayModesForTesting({{640, 480, 60}, {1024, 768, 60}}, {1024, 768, 60});
        Core::APICore::destroyInstance();
        Core::DXCore::install();
    }

    void TearDown() override
    {
        show.reset();
        Core::APICore::destroyInstance();
        Win32Host::setDisplayModesForTesting({}, {0, 0, 0});
        Properties::clear();
        if (previous && chdir(previous) != 0)
            ADD_FAILURE() << "cannot go back to " << previous;
        std::free(previous);
    }

    // play, with the random source and the particles' clock seeded.
    bool playSeeded(const std::vector<float>& times)
    {
        seedParts();
        return play(times);
    }

    // Appends property lines to the generated "demo.props".
    void addProperties(const std::string& lines) { extraProperties += lines; }

    // Plays from the first time, seeking to each later one after a frame;
    // one frame per time. False when the run failed (reported in errors).
    bool play(const std::vector<float>& times, const std::vector<size_t>& recorded = {})
    {
        std::string lines = extraProperties;
        // Settings to try by hand, as "I Part.key 0;R Part.other 2".
        if (const char* extra = std::getenv("VOSTREL_PART_PROPERTIES"))
            for (char c : std::string(extra))
                lines += c == ';' ? '\n' : c;
        lines += '\n';
        for (const char* name : Demo::partNames())
            if (part != name)
                lines += std::string("I ") + name + ".enabled 0\n";
        lines += "R demo.startTime " + std::to_string(times.front()) + "\nR demo.endTime 300\n";
        std::ofstream(folder.file("demo.props"), std::ios::app) << lines;
        Properties::clear();
        Properties::load("demo.props");
        static char program[] = "vostrel";
        static char noSound[] = "-nosound";
        char* argv[] = {program, noSound};
        show = std::make_unique<RecordedShow>(2, argv, std::vector<float>(times.begin() + 1, times.end()), recorded);
        testing::internal::CaptureStderr();
        const bool ran = show->run(2, argv);
        errors = testing::internal::GetCapturedStderr();
        if (const char* folderName = std::getenv("VOSTREL_PART_FRAMES"))
            for (size_t i = 0; i < show->frames.size() && i < times.size(); ++i)
                if (!show->frames[i].pixels.empty())
                    show->frames[i].writePng(std::string(folderName) + "/" + part + "-" +
                                         std::to_string(times[i]) + ".png");
        return ran;
    }

    const std::vector<Frame>& frames() const { return show->frames; }
    DemoEffect* getPart() const { return show->getPart(part); }

    // A golden picture beside the tests: compared loosely, or written anew
    // when VOSTREL_UPDATE_GOLDEN is set.
    void expectGolden(const Frame& frame, const std::string& name)
    {
        const char* source = std::getenv("VOSTREL_SOURCE_DIR");
        ASSERT_NE(source, nullptr);
        const std::string path = std::string(source) + "/Tests/Testing/Parts/Golden/" + name + ".png";
        if (std::getenv("VOSTREL_UPDATE_GOLDEN")) {
            frame.writePng(path);
            return;
        }
        std::unique_ptr<Image> golden(Image::createFromFile(path));
        ASSERT_EQ(golden->getWidth(), frame.width);
        ASSERT_EQ(golden->getHeight(), frame.height);
        Frame expected = frame;
        for (size_t i = 0; i < expected.pixels.size(); ++i) {
            // Blue, green, red in the image: the word's byte order.
            const unsigned char* p = golden->getData() + i * golden->getChannels();
            expected.pixels[i] = 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
        }
        size_t far = 0;
        for (size_t i = 0; i < frame.pixels.size(); ++i)
            for (int shift : {0, 8, 16})
                far += std::abs(static_cast<int>((frame.pixels[i] >> shift) & 255) -
                                static_cast<int>((expected.pixels[i] >> shift) & 255)) > 40;
        EXPECT_LT(frame.meanDifference(expected), 6.0) << name;
        EXPECT_LT(static_cast<double>(far) / (3.0 * frame.pixels.size()), 0.03) << name;
    }

    std::string part;
    std::vector<std::string> writers;
    std::string extraProperties;
    std::string errors;
    VostrelTest::TempDir folder;
    char* previous = nullptr;
    std::unique_ptr<RecordedShow> show;
};

// Frames of a part that has played once make no texture and leave the
// pool's free count as it was.
inline void expectNoTargetsMade(const std::function<void()>& frames)
{
    const int free = RenderTargetPool::getFreeCount();
    D3D9Testing::startLog();
    frames();
    D3D9Testing::stopLog();
    const std::vector<D3D9Testing::Call> log = D3D9Testing::takeLog();
    EXPECT_FALSE(D3D9Testing::callsNamed(log, "DrawPrimitive").empty() &&
                 D3D9Testing::callsNamed(log, "DrawIndexedPrimitive").empty())
        << "the frames drew nothing";
    EXPECT_TRUE(D3D9Testing::callsNamed(log, "CreateTexture").empty());
    EXPECT_EQ(RenderTargetPool::getFreeCount(), free);
}

// Every free pooled 512 x 512 8-bit target filled with red, one frame drawn
// into a held target, then those targets read back: a target the frame used
// (no longer wholly red) must keep no red, else an earlier frame's pixels
// show around its picture.
inline void expectNoStalePooledPixels(const std::function<void(RenderTexture&)>& frame, const std::string& what)
{
    constexpr uint32_t red = 0xFFFF0000u;
    auto isMapTarget = [](const RenderTexture* entry) {
        return entry->width == 512 && entry->height == 512 &&
               entry->texture->getParameters().format == Core::FORMAT_A8R8G8B8;
    };
    // Takes every free entry of the size (the last one taken is new).
    auto takeFree = [] {
        std::vector<RenderTexture*> taken;
        for (int free = -1; free != RenderTargetPool::getFreeCount();) {
            free = RenderTargetPool::getFreeCount();
            taken.push_back(RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8));
        }
        return taken;
    };
    RenderTexture* output = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
    for (RenderTexture* entry : takeFree()) {
        if (isMapTarget(entry))
            clearTarget(entry, Vec4(1.0f, 0.0f, 0.0f, 1.0f));
        RenderTargetPool::release(entry);
    }
    frame(*output);
    int used = 0;
    for (RenderTexture* entry : takeFree()) {
        if (isMapTarget(entry)) {
            const std::vector<uint32_t> pixels = TestSupport::readTargetTexture(*entry->texture);
            const auto left = std::count(pixels.begin(), pixels.end(), red);
            if (left != static_cast<long>(pixels.size())) {
                ++used;
                EXPECT_EQ(left, 0) << what << ": a pooled target keeps red pixels of an earlier frame";
            }
        }
        RenderTargetPool::release(entry);
    }
    RenderTargetPool::release(output);
    EXPECT_GT(used, 0) << what << " used no pooled target";
}

// A frame of a playing part: neither black nor burnt out.
inline void expectLively(const Frame& frame, const std::string& what)
{
    EXPECT_GT(frame.meanLevel(), 12.0) << what << " is black";
    EXPECT_LT(frame.meanLevel(), 235.0) << what << " is white";
    EXPECT_LT(frame.saturatedShare(), 0.25) << what << " is saturated";
}

} // namespace PartTests
} // namespace Vostrel

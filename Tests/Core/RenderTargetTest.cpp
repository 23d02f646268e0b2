#include "Libs/Common/Exception.h"
#include "Libs/Core/RenderTarget.h"
#include "Tests/Support/RecordingCore.h"

#include <gtest/gtest.h>

#include <memory>

using namespace Vostrel::Core;
using namespace Vostrel::TestSupport;
using Lines = std::vector<std::string>;

class RenderTargets : public ::testing::Test {
protected:
    void SetUp() override { core = &RecordingCore::install(); }
    void TearDown() override
    {
        EXPECT_EQ(RenderTarget::getCurrentTarget(), nullptr) << "a test left a target begun";
        destroyCore();
    }

    // The failure a call raises, or an empty message when it raises none.
    static Vostrel::Exception failureOf(const std::function<void()>& call)
    {
        try {
            call();
        } catch (const Vostrel::Exception& e) {
            return e;
        }
        return Vostrel::Exception("", "", 0);
    }

    RecordingCore* core = nullptr;
};

TEST_F(RenderTargets, NestedTargetResumesTheOuterWithItsSurfacesBoundAgain)
{
    RecordingTarget window("window", 640, 480), texture("texture", 256, 256);
    window.begin();
    EXPECT_EQ(RenderTarget::getCurrentTarget(), &window);
    texture.begin();
    EXPECT_EQ(RenderTarget::getCurrentTarget(), &texture);
    EXPECT_EQ(core->getCurrentRenderTarget(), &texture);
    texture.end();
    EXPECT_EQ(RenderTarget::getCurrentTarget(), &window);
    EXPECT_EQ(core->getCurrentRenderTarget(), &window);
    window.end();
    EXPECT_EQ(RenderTarget::getCurrentTarget(), nullptr);
    EXPECT_EQ(core->takeLog(), Lines({"window.bindSurfaces", "window.beginScene", "window.endScene",
                                      "texture.bindSurfaces", "texture.beginScene", "texture.endScene",
                                      "texture.update", "window.bindSurfaces", "window.beginScene",
                                      "window.endScene", "window.update"}));
}

TEST_F(RenderTargets, EndOnASuspendedTargetThrowsAndChangesNothing)
{
    RecordingTarget window("window", 640, 480), texture("texture", 256, 256);
    window.begin();
    texture.begin();
    core->clearLog();
    Vostrel::Exception failure = failureOf([&] { window.end(); });
    EXPECT_EQ(failure.message, "RenderTarget::end(): invalid call, currentTarget is not this target");
    EXPECT_STREQ(failure.file, "Libs\\Core\\RenderTarget");
    EXPECT_TRUE(core->getLog().empty());
    EXPECT_EQ(RenderTarget::getCurrentTarget(), &texture);
    texture.end();
    window.end();
    EXPECT_EQ(failureOf([&] { window.end(); }).message,
              "RenderTarget::end(): invalid call, currentTarget is not this target");
}

TEST_F(RenderTargets, BeginOnASuspendedTargetThrowsAndKeepsTheChain)
{
    RecordingTarget window("window", 640, 480), texture("texture", 256, 256);
    window.begin();
    texture.begin();
    core->clearLog();
    EXPECT_EQ(failureOf([&] { window.begin(); }).message,
              "RenderTarget::begin(): invalid call, target is suspended under another target");
    EXPECT_TRUE(core->getLog().empty());
    texture.end();
    EXPECT_EQ(RenderTarget::getCurrentTarget(), &window);
    window.end();
}

TEST_F(RenderTargets, BeginningTheCurrentTargetAgainRestartsItsSceneOnly)
{
    RecordingTarget window("window", 640, 480), texture("texture", 256, 256);
    window.begin();
    texture.begin();
    texture.setViewport(0.5f, 0.5f, 0.5f, 0.5f);
    core->clearLog();
    texture.begin();
    EXPECT_EQ(core->takeLog(), Lines({"texture.endScene", "texture.beginScene"}));
    float x, y, w, h;
    texture.getViewport(x, y, w, h);
    EXPECT_EQ(std::vector<float>({x, y, w, h}), std::vector<float>({0, 0, 1, 1}));
    // One end still resumes what the first begin suspended.
    texture.end();
    EXPECT_EQ(RenderTarget::getCurrentTarget(), &window);
    window.end();
}

TEST_F(RenderTargets, BeginningADifferentTargetMarksTheTargetChanged)
{
    RecordingTarget window("window", 640, 480);
    core->clearTargetChanged();
    window.begin();
    EXPECT_TRUE(core->isTargetChanged());
    core->clearTargetChanged();
    window.begin();
    EXPECT_FALSE(core->isTargetChanged());
    window.end();
}

TEST_F(RenderTargets, SizeAndAspectRatioIgnoreTheViewport)
{
    RecordingTarget wide("wide", 1280, 720);
    wide.setViewport(0.5f, 0.0f, 0.5f, 1.0f);
    EXPECT_EQ(wide.getWidth(), 1280);
    EXPECT_EQ(wide.getHeight(), 720);
    EXPECT_DOUBLE_EQ(wide.getAspectRatio(), 1280.0 / 720.0);
    EXPECT_FALSE(wide.queryFlag());
}

TEST_F(RenderTargets, ATargetDestroyedWhileCurrentHandsBackToTheOneItSuspended)
{
    RecordingTarget window("window", 640, 480);
    window.begin();
    {
        RecordingTarget texture("texture", 64, 64);
        texture.begin();
    }
    EXPECT_EQ(RenderTarget::getCurrentTarget(), &window);
    EXPECT_EQ(core->getCurrentRenderTarget(), nullptr);
    EXPECT_TRUE(core->isTargetChanged());
    window.end();
}

TEST_F(RenderTargets, ATargetDestroyedWhileSuspendedLeavesTheChain)
{
    auto window = std::make_unique<RecordingTarget>("window", 640, 480);
    RecordingTarget texture("texture", 64, 64);
    window->begin();
    texture.begin();
    window.reset();
    texture.end();
    EXPECT_EQ(RenderTarget::getCurrentTarget(), nullptr);
}

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/RenderWindow.h"
#include "Tests/Support/RecordingCore.h"

#include <gtest/gtest.h>

using namespace Vostrel::Core;
using namespace Vostrel::TestSupport;
using Lines = std::vector<std::string>;

class Singleton : public ::testing::Test {
protected:
    void SetUp() override
    {
        destroyCore();
        RecordingCore::registerAsImplementation();
    }
    void TearDown() override
    {
        destroyCore();
        APICore::registerImplementation(nullptr);
    }
};

TEST_F(Singleton, CreateCoreReturnsTheMainWindowOnceThenNull)
{
    WindowParameters parameters;
    parameters.title = "show";
    parameters.width = 640;
    parameters.height = 480;
    RenderWindow* window = createCore(parameters);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->getWidth(), 640);
    APICore* first = APICore::getExistingInstance();
    EXPECT_EQ(static_cast<RecordingCore*>(first)->getParameters().title, "show");

    parameters.title = "second";
    EXPECT_EQ(createCore(parameters), nullptr);
    EXPECT_EQ(APICore::getExistingInstance(), first);
    EXPECT_EQ(static_cast<RecordingCore*>(first)->getMainWindow(), window);
}

namespace {
Lines released;
void releaseFirst() { released.push_back(APICore::getExistingInstance() ? "first, core up" : "first"); }
void releaseSecond() { released.push_back(APICore::getExistingInstance() ? "second, core up" : "second"); }
} // namespace

TEST_F(Singleton, CachesEmptyWithTheCoreTheLatestFirst)
{
    released.clear();
    APICore::releaseWithInstance(&releaseFirst);
    APICore::releaseWithInstance(&releaseSecond);
    APICore::releaseWithInstance(&releaseFirst);
    destroyCore();
    EXPECT_TRUE(released.empty()) << "no core, nothing to release";
    for (int core = 0; core < 2; ++core) {
        createDefaultCore();
        destroyCore();
    }
    EXPECT_EQ(released, Lines({"second, core up", "first, core up", "second, core up", "first, core up"}));
}

TEST_F(Singleton, FirstUseWithoutACoreCreatesTheDefaultOne)
{
    EXPECT_EQ(APICore::getExistingInstance(), nullptr);
    VertexStream* stream = createVertexStream(64, 16, 1);
    auto* core = dynamic_cast<RecordingCore*>(APICore::getExistingInstance());
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(core->getParameters().title, "(no title)");
    EXPECT_EQ(core->getParameters().width, -1);
    EXPECT_FALSE(core->getParameters().fullscreen);
    EXPECT_EQ(core->getMainWindow(), nullptr);
    EXPECT_EQ(core->getLog(), Lines({"createVertexStream(size=64 stride=16 usage=1)"}));
    delete stream;
    EXPECT_EQ(createCore(WindowParameters()), nullptr);
    createDefaultCore();
    EXPECT_EQ(APICore::getExistingInstance(), core);
}

TEST_F(Singleton, WithoutAnImplementationNoCoreIsLeftBehind)
{
    APICore::registerImplementation(nullptr);
    try {
        APICore::getInstance();
        FAIL() << "a core was made";
    } catch (const Vostrel::Exception& e) {
        EXPECT_EQ(e.message, "APICore: no rendering implementation is registered");
    }
    EXPECT_EQ(APICore::getExistingInstance(), nullptr);
    EXPECT_THROW(createCore(WindowParameters()), Vostrel::Exception);
    EXPECT_EQ(APICore::getExistingInstance(), nullptr);
}

TEST_F(Singleton, DestroyCoreWithoutACoreDoesNothing)
{
    destroyCore();
    destroyCore();
    EXPECT_EQ(APICore::getExistingInstance(), nullptr);
}

TEST_F(Singleton, InstallingOverAnExistingCoreIsRefused)
{
    createDefaultCore();
    RecordingCore spare;
    EXPECT_THROW(APICore::installInstance(&spare), Vostrel::Exception);
}

TEST_F(Singleton, FreeFunctionsReachTheirSlots)
{
    RecordingCore& core = RecordingCore::install();
    VertexElement elements[2] = {{0, 0, VERTEX_FLOAT3, 0}, {0, 12, VERTEX_FLOAT2, 1}};
    delete createVertexFormat(2, elements);
    delete createIndexStream(12, INDEX_32BIT, 4);
    delete createRenderCanvas(nullptr);
    WindowParameters parameters;
    parameters.title = "extra";
    delete createRenderWindow(parameters);
    EXPECT_TRUE(canCreateRenderWindow(parameters));
    core.setRefuseRenderWindows(true);
    EXPECT_FALSE(canCreateRenderWindow(parameters));
    clear(CLEAR_COLOR | CLEAR_DEPTH | CLEAR_STENCIL, Vec4(0.5f, 0, 0, 1), 1.0f, 0);
    EXPECT_EQ(core.takeLog(), Lines({"createVertexFormat(count=2 (0 0 2 0) (0 12 1 1))",
                                     "createIndexStream(size=12 type=1 usage=4)", "createRenderCanvas(0)",
                                     "createRenderWindow(extra)", "canCreateRenderWindow(extra)",
                                     "createRenderWindow(extra)", "canCreateRenderWindow(extra)",
                                     "createRenderWindow(extra)",
                                     "clearTarget(flags=7 color=(0.5 0 0 1) depth=1 stencil=0)"}));
}

TEST_F(Singleton, SetCurrentTargetMarksOnlyARealChange)
{
    RecordingCore& core = RecordingCore::install();
    RecordingTarget a("a", 1, 1), b("b", 1, 1);
    EXPECT_FALSE(core.isTargetChanged());
    core.setCurrentTarget(&a);
    EXPECT_TRUE(core.isTargetChanged());
    core.clearTargetChanged();
    core.setCurrentTarget(&a);
    EXPECT_FALSE(core.isTargetChanged());
    core.setCurrentTarget(&b);
    EXPECT_TRUE(core.isTargetChanged());
    core.setCurrentTarget(&b); // keeps the flag as it was
    EXPECT_TRUE(core.isTargetChanged());
    EXPECT_EQ(core.getCurrentRenderTarget(), &b);
}

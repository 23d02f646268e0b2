#include "Libs/Common/Exception.h"
#include "Tests/Core/WindowTestSupport.h"
#include "Tests/Support/SdlEvents.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace Vostrel::Core;
using WindowTestSupport::RecordingListener;

// The window without a drawing side.
class PlainWindow : public RenderWindowWin32 {
public:
    explicit PlainWindow(const WindowParameters& parameters) : RenderWindowWin32(parameters) {}
    void getFramebuffer(std::uint32_t*) override {}
    void beginScene() override { becomeCurrent(); }
    void endScene() override {}
    void update() override {}
    void resize(int newWidth, int newHeight) override
    {
        ++resizes;
        RenderWindowWin32::resize(newWidth, newHeight);
    }
    int resizes = 0;
};

WindowParameters sized(int width, int height) { return WindowTestSupport::placed("test", 20, 30, width, height); }

TEST(RenderWindowWin32Test, KeyTableMapsVirtualKeysToEngineCodes)
{
    const int table[][2] = {
        {VK_BACK, 8},       {VK_TAB, 9},        {VK_CLEAR, 12},      {VK_RETURN, 13},    {VK_PAUSE, 19},
        {VK_CAPITAL, 301},  {VK_ESCAPE, 27},    {VK_SPACE, 32},      {VK_PRIOR, 280},    {VK_NEXT, 281},
        {VK_END, 279},      {VK_HOME, 278},     {VK_LEFT, 276},      {VK_UP, 273},       {VK_RIGHT, 275},
        {VK_DOWN, 274},     {VK_SNAPSHOT, 316}, {VK_INSERT, 277},    {VK_DELETE, 127},   {'0', 48},
        {'9', 57},          {'A', 97},          {'Z', 122},          {VK_LWIN, 311},     {VK_RWIN, 312},
        {VK_NUMPAD0, 256},  {VK_NUMPAD9, 265},  {VK_MULTIPLY, 268},  {VK_ADD, 270},      {VK_SEPARATOR, 271},
        {VK_SUBTRACT, 269}, {VK_DECIMAL, 266},  {VK_DIVIDE, 267},    {VK_F1, 282},       {VK_F15, 282},
        {VK_F15 + 1, 0},    {VK_NUMLOCK, 300},  {VK_SCROLL, 302},    {VK_LSHIFT, 304},   {VK_RSHIFT, 303},
        {VK_LCONTROL, 306}, {VK_RCONTROL, 305}, {VK_LMENU, 308},     {VK_RMENU, 307},    {VK_SHIFT, 0},
        {VK_CONTROL, 0},    {VK_APPS, 0},       {0x100 | 'A', 97},
    };
    for (const auto& entry : table)
        EXPECT_EQ(keyCodeFromVirtualKey(entry[0]), entry[1]) << "virtual key " << entry[0];
}

TEST(RenderWindowWin32Test, ModifierBitsFollowTheKeyTable)
{
    PlainWindow window(sized(32, 32));
    // Left shift stays down throughout: the other keys add to its bit and
    // take only their own away.
    window.setKeyState(304, true);
    ASSERT_EQ(window.getModifiers(), 0x0001);
    const int bits[][2] = {{300, 0x1000}, {301, 0x2000}, {302, 0},      {303, 0x0002}, {305, 0x0080},
                           {306, 0x0040}, {307, 0x0200}, {308, 0x0100}, {309, 0x0400}, {310, 0x0800},
                           {311, 0},      {314, 0},      {299, 0},      {315, 0},      {0, 0}};
    for (const auto& entry : bits) {
        window.setKeyState(entry[0], true);
        EXPECT_EQ(window.getModifiers(), 0x0001 | entry[1]) << "key " << entry[0];
        EXPECT_TRUE(window.isKeyPressed(entry[0]));
        window.setKeyState(entry[0], false);
        EXPECT_EQ(window.getModifiers(), 0x0001) << "key " << entry[0];
        EXPECT_FALSE(window.isKeyPressed(entry[0]));
    }
}

TEST(RenderWindowWin32Test, EscapeArrivesAs27OnPressAndRelease)
{
    PlainWindow window(sized(64, 48));
    RecordingListener listener;
    window.addListener(&listener);
    window.setVisible(true);
    SdlEvents::pushKey(window.getHandle(), SDLK_ESCAPE, true);
    SdlEvents::pushKey(window.getHandle(), SDLK_ESCAPE, false);
    SdlEvents::pushKey(window.getHandle(), SDLK_LSHIFT, true);
    window.processMessages();
    EXPECT_TRUE(listener.saw("key down 27"));
    EXPECT_TRUE(listener.saw("key up 27"));
    EXPECT_TRUE(listener.saw("char 27"));
    EXPECT_TRUE(listener.saw("key down 0")) << "shift arrives as VK_SHIFT, which has no engine code";
    EXPECT_EQ(window.getModifiers(), 0);
}

TEST(RenderWindowWin32Test, FirstMouseMoveHasNoDelta)
{
    PlainWindow window(sized(64, 48));
    RecordingListener listener;
    window.addListener(&listener);
    window.setVisible(true);
    SdlEvents::pushMouseMove(window.getHandle(), 10, 12);
    SdlEvents::pushMouseMove(window.getHandle(), 13, 8);
    window.processMessages();
    ASSERT_EQ(listener.mouse.size(), 2u);
    EXPECT_EQ(listener.mouse[0].dx, 0);
    EXPECT_EQ(listener.mouse[0].dy, 0);
    EXPECT_EQ(listener.mouse[1].dx, 3);
    EXPECT_EQ(listener.mouse[1].dy, -4);
    EXPECT_EQ(listener.mouse[1].x, 13);
}

TEST(RenderWindowWin32Test, ButtonsAndWheelReportTheirMasks)
{
    PlainWindow window(sized(64, 48));
    RecordingListener listener;
    window.addListener(&listener);
    struct Step {
        UINT message;
        WPARAM wParam;
        int previous;
        int buttons;
    };
    const Step steps[] = {
        {WM_LBUTTONDOWN, 0, 0, 1},   {WM_MBUTTONDOWN, 0, 1, 5},   {WM_RBUTTONDOWN, 0, 5, 7},
        {WM_LBUTTONUP, 0, 7, 6},     {WM_LBUTTONDBLCLK, 0, 6, 6}, {WM_RBUTTONDBLCLK, 0, 6, 6},
        {WM_MBUTTONDBLCLK, 0, 6, 6}, {WM_MBUTTONUP, 0, 6, 2},
        // The wheel adds 8 for a turn forward, 16 for one back, to what it reports only.
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 2, 2 | 8}, {WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 2, 2 | 16},
    };
    for (const Step& step : steps) {
        SendMessageA(window.getHandle(), step.message, step.wParam, MAKELPARAM(5, 6));
        ASSERT_FALSE(listener.buttons.empty());
        const MouseEvent& event = listener.buttons.back();
        EXPECT_EQ(event.previousButtons, step.previous) << "message " << step.message;
        EXPECT_EQ(event.buttons, step.buttons) << "message " << step.message;
        EXPECT_EQ(event.x, 5);
        EXPECT_EQ(event.y, 6);
        EXPECT_EQ(event.dx, 0);
        listener.buttons.clear();
    }
    EXPECT_EQ(window.getMouseButtons(), 2);
}

TEST(RenderWindowWin32Test, SetRectOnAFixedWindowOnlyMovesIt)
{
    PlainWindow window(sized(64, 48));
    window.setRect(100, 120, 200, 150);
    int x, y, width, height;
    window.getRect(x, y, width, height);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(width, 64);
    RECT client;
    GetClientRect(window.getHandle(), &client);
    EXPECT_EQ(client.right, 64);
    EXPECT_EQ(client.bottom, 48);
    RECT outer;
    GetWindowRect(window.getHandle(), &outer);
    EXPECT_EQ(outer.left, 100);
    EXPECT_EQ(outer.top, 120);
}

TEST(RenderWindowWin32Test, ResizableWindowResizesWithinItsLimits)
{
    WindowParameters parameters = sized(64, 48);
    parameters.resizable = true;
    PlainWindow window(parameters);
    window.setRect(0, 0, 100, 80);
    RECT client;
    GetClientRect(window.getHandle(), &client);
    EXPECT_EQ(client.right, 100);
    EXPECT_GT(window.resizes, 0) << "WM_SIZE reached resize";
    window.setMinimumSize(120, 60);
    GetClientRect(window.getHandle(), &client);
    EXPECT_EQ(client.right, 120) << "the minimum enlarges a smaller window";
    EXPECT_EQ(client.bottom, 80);
    window.setMaximumSize(110, 70);
    GetClientRect(window.getHandle(), &client);
    EXPECT_EQ(client.right, 110);
    EXPECT_EQ(client.bottom, 70);
}

TEST(RenderWindowWin32Test, FullScreenWithoutASizeIsRefusedBeforeAnythingChanges)
{
    WindowParameters parameters;
    parameters.fullscreen = true;
    parameters.height = 480;
    Win32Host::DisplayMode before = Win32Host::currentDisplayMode();
    try {
        PlainWindow window(parameters);
        FAIL() << "no exception";
    } catch (const Vostrel::Exception& exception) {
        EXPECT_EQ(exception.message,
                  "RenderWindowWin32: invalid parameters, a fullscreen window request must describe the window size");
        EXPECT_STREQ(exception.file, "Libs\\Core\\RenderWindowWin32");
    }
    EXPECT_EQ(Win32Host::currentDisplayMode(), before);
}

// ShowCursor's display count, left as it was.
int cursorCount()
{
    ShowCursor(TRUE);
    return ShowCursor(FALSE);
}

TEST(RenderWindowWin32Test, FullScreenWindowTakesItsModeAndGivesItBackUnheard)
{
    Win32Host::setDisplayModesForTesting({{640, 480, 60}}, {1024, 768, 60});
    WindowParameters parameters = sized(640, 480);
    parameters.fullscreen = true;
    parameters.showCursor = false;
    int cursor = cursorCount();
    RecordingListener listener;
    auto window = std::make_unique<PlainWindow>(parameters);
    EXPECT_EQ(Win32Host::currentDisplayMode().width, 640);
    EXPECT_TRUE(Win32Host::isFullscreen(window->getHandle()));
    EXPECT_EQ(cursorCount(), cursor - 1);
    window->addListener(&listener);
    window.reset();
    EXPECT_TRUE(listener.lines.empty()) << "a window on its way out tells nobody";
    EXPECT_EQ(Win32Host::currentDisplayMode().width, 1024);
    EXPECT_EQ(cursorCount(), cursor);

    parameters.width = 700;
    try {
        PlainWindow refused(parameters);
        FAIL() << "no such mode";
    } catch (const Vostrel::Exception& exception) {
        EXPECT_EQ(exception.message, "failed to change to fullscreen mode 700x480x32");
    }
    EXPECT_EQ(cursorCount(), cursor) << "a failed window shows the cursor again";
    Win32Host::setDisplayModesForTesting({}, {0, 0, 0});
}

TEST(RenderWindowWin32Test, SecondWindowRegistersNoSecondClass)
{
    PlainWindow first(sized(16, 16));
    PlainWindow second(sized(16, 16));
    WNDCLASSEXA again = {};
    again.cbSize = sizeof(again);
    again.lpfnWndProc = DefWindowProcA;
    again.lpszClassName = "RenderWindowWin32";
    EXPECT_EQ(RegisterClassExA(&again), 0) << "the class is registered already";
    EXPECT_NE(first.getHandle(), second.getHandle());
}

TEST(RenderWindowWin32Test, ShowingTellsTheSizeAndClosingOnlyNotifies)
{
    PlainWindow window(sized(64, 48));
    RecordingListener listener;
    window.addListener(&listener);
    window.setVisible(true);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(listener.saw("resize 64x48"));
    EXPECT_TRUE(listener.saw("show"));
    SdlEvents::pushWindowEvent(window.getHandle(), SDL_WINDOWEVENT_CLOSE);
    window.processMessages();
    EXPECT_TRUE(listener.saw("close"));
    EXPECT_TRUE(IsWindow(window.getHandle())) << "the window stays";
    window.setVisible(false);
    EXPECT_TRUE(listener.saw("hide"));
}

TEST(RenderWindowWin32Test, TitleGoesToTheWindow)
{
    PlainWindow window(sized(16, 16));
    window.setTitle("3.25s");
    char text[16];
    GetWindowTextA(window.getHandle(), text, sizeof(text));
    EXPECT_STREQ(text, "3.25s");
    EXPECT_EQ(window.getTitle(), "3.25s");
}

} // namespace

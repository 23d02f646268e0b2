#include "Tests/Win32/Recorder.h"

#include <gtest/gtest.h>

namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { received().clear(); }
    void TearDown() override
    {
        if (window)
            DestroyWindow(window);
        pumpMessages();
    }
    HWND window = nullptr;
};

TEST_F(WindowTest, ClassRegistersOnceAndChecksItsSize)
{
    registerRecorderClass();
    WNDCLASSEXA again = {};
    again.cbSize = sizeof(WNDCLASSEXA);
    again.lpfnWndProc = recordingProcedure;
    again.lpszClassName = "recorder";
    EXPECT_EQ(RegisterClassExA(&again), 0) << "class names compare without case";
    again.lpszClassName = "Other";
    again.cbSize = sizeof(WNDCLASSEXA) - 4;
    EXPECT_EQ(RegisterClassExA(&again), 0);
}

TEST_F(WindowTest, UnknownClassMakesNoWindow)
{
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr);
}

TEST_F(WindowTest, FramedWindowHasTheClientSizeItAskedFor)
{
    window = createRecorderWindow(100, 50, 320, 240);
    ASSERT_NE(window, nullptr);
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 240);

    RECT outer;
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(outer.left, 100);
    EXPECT_EQ(outer.top, 50);
    RECT adjusted = {0, 0, 320, 240};
    AdjustWindowRectEx(&adjusted, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW);
    EXPECT_EQ(outer.right - outer.left, adjusted.right - adjusted.left);
    EXPECT_EQ(outer.bottom - outer.top, adjusted.bottom - adjusted.top);

    WINDOWINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetWindowInfo(window, &info));
    EXPECT_EQ(info.rcClient.left, 100 - adjusted.left);
    EXPECT_EQ(info.rcClient.top, 50 - adjusted.top);
    EXPECT_EQ(info.rcClient.right - info.rcClient.left, 320);

    int width = 0;
    int height = 0;
    SDL_GetWindowSize(Win32Host::sdlWindow(window), &width, &height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
}

TEST_F(WindowTest, PopupHasNoFrame)
{
    RECT rect = {0, 0, 64, 32};
    AdjustWindowRectEx(&rect, WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, FALSE, WS_EX_APPWINDOW);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 64);
    EXPECT_EQ(rect.bottom, 32);
}

TEST_F(WindowTest, AFrameThatWouldWrapTheRectangleIsRefusedAndTheRectangleKept)
{
    // The overlapped frame is 8 wide at the sides; callers take right - left.
    const struct {
        RECT rect;
        bool adjusted;
    } cases[] = {
        {{0, 0, INT32_MAX - 16, INT32_MAX - 39}, true},
        {{0, 0, INT32_MAX - 15, 480}, false},
        {{0, 0, 640, INT32_MAX - 38}, false},
        {{0, 0, INT32_MAX, INT32_MAX}, false},
        {{INT32_MIN, 0, 640, 480}, false},
        {{0, 0, INT32_MIN, INT32_MIN}, true},
    };
    for (const auto& c : cases) {
        RECT rect = c.rect;
        EXPECT_EQ(AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW) != FALSE, c.adjusted)
            << c.rect.left << " " << c.rect.right << " " << c.rect.bottom;
        if (c.adjusted) {
            EXPECT_EQ(rect.left, c.rect.left - 8);
            EXPECT_EQ(int64_t(rect.right) - rect.left, int64_t(c.rect.right) - c.rect.left + 16);
        } else {
            EXPECT_EQ(rect.left, c.rect.left);
            EXPECT_EQ(rect.right, c.rect.right);
            EXPECT_EQ(rect.bottom, c.rect.bottom);
        }
    }
}

TEST_F(WindowTest, AWindowWithoutCoordinatesIsNotMadeNorMovedThere)
{
    registerRecorderClass();
    for (int x : {INT32_MAX - 4, INT32_MAX - 100})
        EXPECT_EQ(CreateWindowExA(WS_EX_APPWINDOW, "Recorder", "test", WS_OVERLAPPEDWINDOW, x, 0, 200, 100, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr),
                  nullptr)
            << x;
    // No window client can be that large: the creation fails, nothing wraps.
    EXPECT_EQ(CreateWindowExA(WS_EX_APPWINDOW, "Recorder", "test", WS_OVERLAPPEDWINDOW, 0, 0, INT32_MAX, INT32_MAX,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr),
              nullptr);

    window = createRecorderWindow(10, 20, 100, 100);
    ASSERT_NE(window, nullptr);
    RECT before;
    GetWindowRect(window, &before);
    EXPECT_FALSE(MoveWindow(window, INT32_MAX - 4, 0, 100, 100, TRUE));
    EXPECT_FALSE(MoveWindow(window, 0, INT32_MAX - 50, 100, 100, TRUE));
    EXPECT_FALSE(MoveWindow(window, 1, 0, INT32_MAX, 100, TRUE));
    RECT after;
    GetWindowRect(window, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right, before.right);
}

TEST_F(WindowTest, CreationSendsItsMessagesInWin32Order)
{
    window = createRecorderWindow(0, 0, 64, 64);
    ASSERT_NE(window, nullptr);
    std::vector<UINT> order;
    for (const Received& entry : received())
        order.push_back(entry.message);
    std::vector<UINT> expected = {WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE};
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(IsWindowVisible(window)) << "windows start hidden";
}

TEST_F(WindowTest, FirstShowDeliversTheSizeBeforeAnyMessageIsPumped)
{
    window = createRecorderWindow(0, 0, 200, 100);
    received().clear();
    ShowWindow(window, SW_SHOWNORMAL);
    auto sizes = receivedOf(WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(LOWORD(sizes[0].lParam), 200);
    EXPECT_EQ(HIWORD(sizes[0].lParam), 100);
    EXPECT_EQ(receivedOf(WM_SETFOCUS).size(), 1u);
    EXPECT_EQ(GetFocus(), window);

    received().clear();
    ShowWindow(window, SW_HIDE);
    ShowWindow(window, SW_SHOWNORMAL);
    EXPECT_TRUE(receivedOf(WM_SIZE).empty()) << "only the first showing resends the size";
}

TEST_F(WindowTest, UserDataHoldsAWholePointer)
{
    window = createRecorderWindow(0, 0, 16, 16);
    int target = 0;
    SetWindowLongA(window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(&target));
    EXPECT_EQ(reinterpret_cast<int*>(GetWindowLongA(window, GWL_USERDATA)), &target);
}

TEST_F(WindowTest, MoveWindowMovesAndResizesTheClientArea)
{
    window = createRecorderWindow(10, 10, 100, 100);
    received().clear();
    RECT outer = {0, 0, 150, 120};
    AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW);
    MoveWindow(window, 30, 40, outer.right - outer.left, outer.bottom - outer.top, TRUE);
    auto sizes = receivedOf(WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(LOWORD(sizes[0].lParam), 150);
    EXPECT_EQ(HIWORD(sizes[0].lParam), 120);
    EXPECT_EQ(receivedOf(WM_MOVE).size(), 1u);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 30);
    EXPECT_EQ(rect.top, 40);
}

TEST_F(WindowTest, TitleReachesTheWindow)
{
    window = createRecorderWindow(0, 0, 16, 16);
    SetWindowTextA(window, "12.5s");
    char text[32];
    EXPECT_EQ(GetWindowTextA(window, text, sizeof(text)), 5);
    EXPECT_STREQ(text, "12.5s");
    EXPECT_STREQ(SDL_GetWindowTitle(Win32Host::sdlWindow(window)), "12.5s");
}

TEST_F(WindowTest, PixelFormatIsChosenOnceForTheWindowsDeviceContext)
{
    window = createRecorderWindow(0, 0, 16, 16);
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDC(window), dc) << "CS_OWNDC windows keep their device context";
    PIXELFORMATDESCRIPTOR descriptor = {};
    descriptor.nSize = 40;
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 24;
    descriptor.cDepthBits = 24;
    descriptor.cStencilBits = 8;
    int format = ChoosePixelFormat(dc, &descriptor);
    EXPECT_GT(format, 0);
    EXPECT_TRUE(SetPixelFormat(dc, format, &descriptor));
    descriptor.nSize = 39;
    EXPECT_EQ(ChoosePixelFormat(dc, &descriptor), 0);
    EXPECT_EQ(ReleaseDC(window, dc), 1);
}

TEST_F(WindowTest, DestroyedWindowIsGoneAndGetsNoMoreMessages)
{
    window = createRecorderWindow(0, 0, 16, 16);
    PostMessageA(window, 0x0400, 0, 0);
    received().clear();
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(IsWindow(window));
    std::vector<UINT> order;
    for (const Received& entry : received())
        order.push_back(entry.message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    received().clear();
    pumpMessages();
    EXPECT_TRUE(received().empty());
    window = nullptr;
}

} // namespace

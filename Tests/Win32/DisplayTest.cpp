#include "Tests/Win32/Recorder.h"

#include <gtest/gtest.h>

namespace {

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Win32Host::setDisplayModesForTesting({{640, 480, 60}, {800, 600, 60}, {800, 600, 75}, {1024, 768, 60}},
                                             {1024, 768, 60});
    }
    void TearDown() override
    {
        ChangeDisplaySettingsA(nullptr, 0);
        Win32Host::setDisplayModesForTesting({}, {0, 0, 0});
    }
};

DEVMODEA modeOf(DWORD width, DWORD height, DWORD bits)
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmBitsPerPel = bits;
    return mode;
}

TEST_F(DisplayTest, EnumeratesTheAdaptersModes)
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof(mode);
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, 2, &mode));
    EXPECT_EQ(mode.dmPelsWidth, 800u);
    EXPECT_EQ(mode.dmDisplayFrequency, 75u);
    EXPECT_FALSE(EnumDisplaySettingsA(nullptr, 4, &mode));
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(mode.dmPelsWidth, 1024u);
}

TEST_F(DisplayTest, ModeChangeAcceptsOnlyListedModes)
{
    DEVMODEA unknown = modeOf(700, 500, 32);
    EXPECT_EQ(ChangeDisplaySettingsA(&unknown, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
    DEVMODEA sixteenBits = modeOf(640, 480, 16);
    EXPECT_EQ(ChangeDisplaySettingsA(&sixteenBits, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
    EXPECT_EQ(Win32Host::currentDisplayMode().width, 1024);

    DEVMODEA good = modeOf(800, 600, 32);
    EXPECT_EQ(ChangeDisplaySettingsA(&good, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(Win32Host::currentDisplayMode().width, 800);
    ChangeDisplaySettingsA(nullptr, 0);
    EXPECT_EQ(Win32Host::currentDisplayMode().width, 1024);
}

TEST_F(DisplayTest, PopupOfTheModesSizeGoesFullScreenUntilTheModeIsRestored)
{
    DEVMODEA mode = modeOf(640, 480, 32);
    ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    HWND window = createRecorderWindow(CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, WS_POPUP);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(Win32Host::isFullscreen(window));
    EXPECT_NE(SDL_GetWindowFlags(Win32Host::sdlWindow(window)) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 640) << "the program sees its mode's size";
    ChangeDisplaySettingsA(nullptr, 0);
    EXPECT_FALSE(Win32Host::isFullscreen(window));
    DestroyWindow(window);
}

TEST(CursorTest, ShowCursorCountsLikeWin32)
{
    int start = ShowCursor(TRUE);
    EXPECT_EQ(ShowCursor(FALSE), start - 1);
    EXPECT_EQ(ShowCursor(FALSE), start - 2);
    EXPECT_EQ(ShowCursor(TRUE), start - 1);
    ShowCursor(TRUE);
}

} // namespace

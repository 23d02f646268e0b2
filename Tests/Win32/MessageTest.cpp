#include "Platform/Win32/KeyMapping.h"
#include "Tests/Win32/Recorder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class MessageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = createRecorderWindow(0, 0, 120, 80);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
        pumpMessages();
        received().clear();
    }
    void TearDown() override
    {
        DestroyWindow(window);
        pumpMessages();
    }
    uint32_t sdlId() const { return SdlEvents::windowId(window); }
    HWND window = nullptr;
};

TEST_F(MessageTest, EscapeArrivesAsKeyDownCharacterAndKeyUp)
{
    SdlEvents::pushKey(window, SDLK_ESCAPE, true, 0, SDL_SCANCODE_ESCAPE);
    SdlEvents::pushKey(window, SDLK_ESCAPE, false, 0, SDL_SCANCODE_ESCAPE);
    pumpMessages();
    std::vector<Received> keys;
    for (const Received& entry : received())
        if (entry.message == WM_KEYDOWN || entry.message == WM_KEYUP || entry.message == WM_CHAR)
            keys.push_back(entry);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(keys[1].message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(keys[1].wParam, 27u);
    EXPECT_EQ(keys[2].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(keys[2].wParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_NE(keys[2].lParam & (LPARAM(1) << 31), 0) << "transition bit of a release";
}

TEST_F(MessageTest, AltTurnsKeysIntoSystemKeys)
{
    SdlEvents::pushKey(window, SDLK_LALT, true, KMOD_LALT);
    SdlEvents::pushKey(window, SDLK_x, true, KMOD_LALT);
    pumpMessages();
    auto system = receivedOf(WM_SYSKEYDOWN);
    ASSERT_EQ(system.size(), 2u);
    EXPECT_EQ(system[0].wParam, static_cast<WPARAM>(VK_MENU));
    EXPECT_EQ(system[1].wParam, static_cast<WPARAM>('X'));
    EXPECT_TRUE(receivedOf(WM_KEYDOWN).empty());
}

TEST_F(MessageTest, TextInputBecomesCharacters)
{
    SDL_Event event = {};
    event.type = SDL_TEXTINPUT;
    event.text.windowID = sdlId();
    std::strcpy(event.text.text, "a\xc3\xa9");
    SDL_PushEvent(&event);
    pumpMessages();
    auto characters = receivedOf(WM_CHAR);
    ASSERT_EQ(characters.size(), 2u);
    EXPECT_EQ(characters[0].wParam, static_cast<WPARAM>('a'));
    EXPECT_EQ(characters[1].wParam, 0xE9u);
}

TEST_F(MessageTest, MouseMovesAndButtonsCarryClientCoordinatesAndButtonState)
{
    SdlEvents::pushMouseMove(window, 7, 9);
    SDL_Event button = {};
    button.type = SDL_MOUSEBUTTONDOWN;
    button.button.windowID = sdlId();
    button.button.button = SDL_BUTTON_RIGHT;
    button.button.clicks = 1;
    button.button.x = 7;
    button.button.y = 9;
    SDL_PushEvent(&button);
    button.type = SDL_MOUSEBUTTONUP;
    SDL_PushEvent(&button);
    pumpMessages();
    auto moves = receivedOf(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 7);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), 9);
    auto downs = receivedOf(WM_RBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].wParam & MK_RBUTTON, static_cast<WPARAM>(MK_RBUTTON));
    auto ups = receivedOf(WM_RBUTTONUP);
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_EQ(ups[0].wParam & MK_RBUTTON, 0u);
}

TEST_F(MessageTest, WheelCarriesMultiplesOfTheWheelDelta)
{
    SDL_Event wheel = {};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.windowID = sdlId();
    wheel.wheel.y = -2;
    SDL_PushEvent(&wheel);
    pumpMessages();
    auto wheels = receivedOf(WM_MOUSEWHEEL);
    ASSERT_EQ(wheels.size(), 1u);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheels[0].wParam), -240);
}

TEST_F(MessageTest, ClosingTheWindowAsksThroughSysCommandAndClose)
{
    SdlEvents::pushWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
    pumpMessages();
    ASSERT_EQ(receivedOf(WM_SYSCOMMAND).size(), 1u);
    ASSERT_EQ(receivedOf(WM_CLOSE).size(), 1u);
    // The recorder lets the default procedure destroy it, as Win32 does.
    EXPECT_FALSE(IsWindow(window));
    window = createRecorderWindow(0, 0, 8, 8);
}

TEST_F(MessageTest, DesktopResizeArrivesAsSizeMessage)
{
    SdlEvents::pushWindowEvent(window, SDL_WINDOWEVENT_SIZE_CHANGED, 300, 200);
    SdlEvents::pushWindowEvent(window, SDL_WINDOWEVENT_MINIMIZED);
    pumpMessages();
    auto sizes = receivedOf(WM_SIZE);
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(LOWORD(sizes[0].lParam), 300);
    EXPECT_EQ(HIWORD(sizes[0].lParam), 200);
    EXPECT_EQ(sizes[1].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
    EXPECT_EQ(sizes[1].lParam, 0);
}

TEST_F(MessageTest, PaintComesWhileInvalidAndStopsOnceValidated)
{
    InvalidateRect(window, nullptr, TRUE);
    RECT update;
    EXPECT_TRUE(GetUpdateRect(window, &update, TRUE));
    EXPECT_EQ(update.right, 120);
    pumpMessages();
    EXPECT_EQ(receivedOf(WM_PAINT).size(), 1u);
    EXPECT_FALSE(GetUpdateRect(window, &update, TRUE));
}

TEST_F(MessageTest, QuitMessageIsAThreadMessage)
{
    PostQuitMessage(3);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, window, 0, 0, PM_NOREMOVE)) << "a window filter skips thread messages";
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

struct KeyCase {
    SDL_Keycode key;
    Uint16 modifiers;
    DWORD expected;
};

TEST(KeyMappingTest, SdlKeysBecomeWin32VirtualKeys)
{
    const KeyCase cases[] = {
        {SDLK_a, 0, 'A'},
        {SDLK_z, 0, 'Z'},
        {SDLK_7, 0, '7'},
        {SDLK_F1, 0, VK_F1},
        {SDLK_F15, 0, VK_F15},
        {SDLK_BACKSPACE, 0, VK_BACK},
        {SDLK_TAB, 0, VK_TAB},
        {SDLK_RETURN, 0, VK_RETURN},
        {SDLK_PAUSE, 0, VK_PAUSE},
        {SDLK_CAPSLOCK, 0, VK_CAPITAL},
        {SDLK_SPACE, 0, VK_SPACE},
        {SDLK_PAGEUP, 0, VK_PRIOR},
        {SDLK_PAGEDOWN, 0, VK_NEXT},
        {SDLK_LEFT, 0, VK_LEFT},
        {SDLK_PRINTSCREEN, 0, VK_SNAPSHOT},
        {SDLK_DELETE, 0, VK_DELETE},
        {SDLK_LGUI, 0, VK_LWIN},
        {SDLK_RGUI, 0, VK_RWIN},
        {SDLK_NUMLOCKCLEAR, 0, VK_NUMLOCK},
        {SDLK_SCROLLLOCK, 0, VK_SCROLL},
        // Win32 reports both shift keys as VK_SHIFT, both controls as VK_CONTROL.
        {SDLK_LSHIFT, 0, VK_SHIFT},
        {SDLK_RSHIFT, 0, VK_SHIFT},
        {SDLK_RCTRL, 0, VK_CONTROL},
        {SDLK_RALT, 0, VK_MENU},
        {SDLK_KP_3, KMOD_NUM, VK_NUMPAD3},
        {SDLK_KP_3, 0, VK_NEXT},
        {SDLK_KP_5, 0, VK_CLEAR},
        {SDLK_KP_PERIOD, KMOD_NUM, VK_DECIMAL},
        {SDLK_KP_MULTIPLY, 0, VK_MULTIPLY},
        {SDLK_KP_DIVIDE, 0, VK_DIVIDE},
        {SDLK_KP_MINUS, 0, VK_SUBTRACT},
        {SDLK_KP_PLUS, 0, VK_ADD},
        {SDLK_MINUS, 0, VK_OEM_MINUS},
        {SDLK_VOLUMEUP, 0, 0},
    };
    for (const KeyCase& c : cases) {
        EXPECT_EQ(Win32Internal::virtualKeyFromSdl(c.key, SDL_SCANCODE_UNKNOWN, c.modifiers).code, c.expected)
            << SDL_GetKeyName(c.key);
    }
}

} // namespace

#include "Platform/Win32/KeyMapping.h"
#include "Platform/Win32/WindowState.h"

#include <algorithm>

namespace {

struct Queue {
    std::deque<MSG> messages;
    WPARAM mouseButtons = 0;
    POINT lastMouse = {0, 0};
};

Queue& queue()
{
    static Queue state;
    return state;
}

MSG makeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg;
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetTicks() : 0;
    msg.pt = queue().lastMouse;
    return msg;
}

WPARAM keyModifierBits()
{
    SDL_Keymod modifiers = SDL_GetModState();
    WPARAM bits = 0;
    if (modifiers & KMOD_SHIFT)
        bits |= MK_SHIFT;
    if (modifiers & KMOD_CTRL)
        bits |= MK_CONTROL;
    return bits;
}

// SDL reports a full-screen window's mouse in desktop pixels; the program
// thinks in the pixels of its mode.
POINT clientPoint(HWND window, int x, int y)
{
    if (window->fullscreen) {
        int width = 1;
        int height = 1;
        SDL_GetWindowSize(window->sdl, &width, &height);
        x = width > 0 ? x * window->clientWidth / width : x;
        y = height > 0 ? y * window->clientHeight / height : y;
    }
    return {x, y};
}

HWND targetOf(uint32_t sdlId)
{
    HWND window = Win32Host::windowFromSdlId(sdlId);
    return window ? window : GetFocus();
}

void translateWindowEvent(const SDL_WindowEvent& event)
{
    HWND window = Win32Host::windowFromSdlId(event.windowID);
    if (!window)
        return;
    switch (event.event) {
    case SDL_WINDOWEVENT_EXPOSED:
        InvalidateRect(window, nullptr, TRUE);
        break;
    case SDL_WINDOWEVENT_MOVED:
        if (!window->fullscreen && (event.data1 != window->clientX || event.data2 != window->clientY)) {
            window->clientX = event.data1;
            window->clientY = event.data2;
            Win32Internal::post(window, WM_MOVE, 0, MAKELPARAM(event.data1, event.data2));
        }
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (!window->fullscreen &&
            (event.data1 != window->clientWidth || event.data2 != window->clientHeight)) {
            window->clientWidth = event.data1;
            window->clientHeight = event.data2;
            Win32Internal::post(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(event.data1, event.data2));
            InvalidateRect(window, nullptr, TRUE);
        }
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        Win32Internal::post(window, WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        Win32Internal::post(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(window->clientWidth, window->clientHeight));
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        if (GetFocus() != window) {
            SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
            SetFocus(window);
        }
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        if (GetFocus() == window)
            SetFocus(nullptr);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        Win32Internal::post(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    default:
        break;
    }
}

void translateKeyEvent(const SDL_KeyboardEvent& event)
{
    HWND window = targetOf(event.windowID);
    if (!window)
        return;
    bool down = event.type == SDL_KEYDOWN;
    Win32Internal::VirtualKey key =
        Win32Internal::virtualKeyFromSdl(event.keysym.sym, event.keysym.scancode, event.keysym.mod);
    if (key.code == 0)
        return;
    // Alt, F10 and anything pressed with Alt go to the system-key messages.
    bool alt = (event.keysym.mod & KMOD_ALT) != 0 || key.code == VK_MENU;
    bool system = alt || key.code == VK_F10;
    UINT message = system ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    LPARAM lParam = Win32Internal::keyMessageParameter(event.keysym.scancode, key.extended, down, event.repeat != 0);
    if (alt)
        lParam |= static_cast<LPARAM>(1u << 29);
    Win32Internal::post(window, message, key.code, lParam);
}

void translateTextEvent(const SDL_TextInputEvent& event)
{
    HWND window = targetOf(event.windowID);
    if (!window)
        return;
    const unsigned char* text = reinterpret_cast<const unsigned char*>(event.text);
    for (size_t i = 0; text[i];) {
        // UTF-8 to a code point; an ANSI window gets '?' past Latin-1.
        unsigned int code = text[i];
        int extra = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : code >= 0xC0 ? 1 : 0;
        code = extra == 0 ? code : code & (0x3F >> extra);
        ++i;
        for (int k = 0; k < extra && text[i]; ++k, ++i)
            code = (code << 6) | (text[i] & 0x3F);
        Win32Internal::post(window, WM_CHAR, code < 256 ? code : '?', 1);
    }
}

WPARAM buttonBit(Uint8 button)
{
    switch (button) {
    case SDL_BUTTON_LEFT: return MK_LBUTTON;
    case SDL_BUTTON_RIGHT: return MK_RBUTTON;
    case SDL_BUTTON_MIDDLE: return MK_MBUTTON;
    default: return 0;
    }
}

void translateMouseEvent(const SDL_Event& event)
{
    Queue& q = queue();
    if (event.type == SDL_MOUSEMOTION) {
        HWND window = Win32Host::windowFromSdlId(event.motion.windowID);
        if (!window)
            return;
        POINT point = clientPoint(window, event.motion.x, event.motion.y);
        q.lastMouse = {window->clientX + point.x, window->clientY + point.y};
        Win32Internal::post(window, WM_MOUSEMOVE, q.mouseButtons | keyModifierBits(),
                            MAKELPARAM(point.x, point.y));
    } else if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP) {
        HWND window = Win32Host::windowFromSdlId(event.button.windowID);
        WPARAM bit = buttonBit(event.button.button);
        if (!window || !bit)
            return;
        bool down = event.type == SDL_MOUSEBUTTONDOWN;
        q.mouseButtons = down ? (q.mouseButtons | bit) : (q.mouseButtons & ~bit);
        bool doubleClick = down && event.button.clicks == 2 && (window->classStyle & CS_DBLCLKS);
        UINT base = bit == MK_LBUTTON ? WM_LBUTTONDOWN : bit == MK_RBUTTON ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
        UINT message = doubleClick ? base + 2 : down ? base : base + 1;
        POINT point = clientPoint(window, event.button.x, event.button.y);
        Win32Internal::post(window, message, q.mouseButtons | keyModifierBits(), MAKELPARAM(point.x, point.y));
    } else if (event.type == SDL_MOUSEWHEEL) {
        HWND window = targetOf(event.wheel.windowID);
        if (!window)
            return;
        int delta = event.wheel.y * WHEEL_DELTA;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
            delta = -delta;
        // The wheel message carries screen coordinates.
        Win32Internal::post(window, WM_MOUSEWHEEL,
                            MAKEWPARAM(q.mouseButtons | keyModifierBits(), static_cast<WORD>(delta)),
                            MAKELPARAM(q.lastMouse.x, q.lastMouse.y));
    }
}

void pumpSdlEvents()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_WINDOWEVENT: translateWindowEvent(event.window); break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: translateKeyEvent(event.key); break;
        case SDL_TEXTINPUT: translateTextEvent(event.text); break;
        case SDL_MOUSEMOTION:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEWHEEL: translateMouseEvent(event); break;
        default: break;
        }
    }
}

bool matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax)
{
    if (window == reinterpret_cast<HWND>(-1)) {
        if (msg.hwnd)
            return false;
    } else if (window && msg.hwnd != window) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0)
        return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

} // namespace

namespace Win32Internal {

void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    queue().messages.push_back(makeMessage(window, message, wParam, lParam));
}

void dropMessagesOf(HWND window)
{
    auto& messages = queue().messages;
    messages.erase(std::remove_if(messages.begin(), messages.end(), [window](const MSG& msg) { return msg.hwnd == window; }),
                   messages.end());
}

} // namespace Win32Internal

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage)
{
    if (!message)
        return FALSE;
    pumpSdlEvents();
    auto& messages = queue().messages;
    for (auto it = messages.begin(); it != messages.end(); ++it) {
        if (!matches(*it, window, filterMin, filterMax))
            continue;
        *message = *it;
        if (removeMessage & PM_REMOVE)
            messages.erase(it);
        return TRUE;
    }
    // Win32 makes WM_PAINT up when nothing else is waiting; it stays until
    // the window validates itself.
    for (HWND candidate : Win32Internal::allWindows()) {
        if (!candidate->invalid || !candidate->visible)
            continue;
        MSG paint = makeMessage(candidate, WM_PAINT, 0, 0);
        if (!matches(paint, window, filterMin, filterMax))
            continue;
        *message = paint;
        return TRUE;
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG* message)
{
    if (!message || message->message != WM_KEYDOWN)
        return FALSE;
    // Printable characters arrive as text input; these keys have none.
    switch (message->wParam) {
    case VK_BACK:
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE: {
        WPARAM character = message->wParam == VK_ESCAPE ? 27 : message->wParam;
        queue().messages.push_front(makeMessage(message->hwnd, WM_CHAR, character, message->lParam & 0xFFFFFF));
        return TRUE;
    }
    default:
        return FALSE;
    }
}

LRESULT DispatchMessageA(const MSG* message)
{
    if (!message || !Win32Internal::lookup(message->hwnd))
        return 0;
    return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return 0;
    if (!window->procedure)
        return DefWindowProcA(window, message, wParam, lParam);
    return window->procedure(window, message, wParam, lParam);
}

BOOL PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (handle && !Win32Internal::lookup(handle))
        return FALSE;
    Win32Internal::post(handle, message, wParam, lParam);
    return TRUE;
}

void PostQuitMessage(int exitCode)
{
    Win32Internal::post(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return 0;
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT:
        ValidateRect(window, nullptr);
        return 0;
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(lParam);
        window->text = text ? text : "";
        SDL_SetWindowTitle(window->sdl, window->text.c_str());
        return TRUE;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F1 + 3 && (lParam & (1 << 29)))
            SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    default:
        return 0;
    }
}

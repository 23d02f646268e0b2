#include "Platform/Win32/WindowState.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40, "PIXELFORMATDESCRIPTOR is 40 bytes");

struct HICON__ {};
struct HCURSOR__ {};

namespace {

struct WindowClass {
    WNDCLASSEXA description;
    std::string name;
    ATOM atom;
};

struct Windowing {
    std::map<std::string, WindowClass> classes;
    ATOM nextAtom = 0xC000;
    std::map<HWND, std::unique_ptr<HWND__>> windows;
    std::map<uint32_t, HWND> bySdlId;
    HWND focus = nullptr;
    HWND foreground = nullptr;
};

Windowing& windowing()
{
    static Windowing state;
    return state;
}

HICON__ applicationIcon;
HCURSOR__ arrowCursor;

std::string classKey(LPCSTR name)
{
    std::string key = name ? name : "";
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

const int defaultClientWidth = 640;
const int defaultClientHeight = 480;

// A coordinate or a size that a LONG holds; sizes from settings can be
// anything an int can be, and the frame added to them must not wrap.
bool fitsLong(int64_t value)
{
    return value >= INT32_MIN && value <= INT32_MAX;
}

// Whether an outer rectangle at (x, y) of width x height, and its client
// area inside the frame, have coordinates.
bool placeable(int x, int y, int width, int height, const RECT& insets)
{
    return fitsLong(int64_t(x) + width) && fitsLong(int64_t(y) + height) && fitsLong(int64_t(x) + insets.left) &&
           fitsLong(int64_t(y) + insets.top);
}

// A client side inside an outer side and the frame's two insets, never
// below 0.
int clientSide(int outer, LONG before, LONG after)
{
    return static_cast<int>(std::max<int64_t>(0, int64_t(outer) - before - after));
}

MINMAXINFO defaultTrackingLimits(HWND window)
{
    RECT insets = Win32Internal::frameInsets(window->style, FALSE, window->exStyle);
    Win32Host::DisplayMode desktop = Win32Host::currentDisplayMode();
    MINMAXINFO info = {};
    info.ptMaxSize = {desktop.width + insets.left + insets.right, desktop.height + insets.top + insets.bottom};
    info.ptMaxPosition = {-insets.left, -insets.top};
    info.ptMinTrackSize = {136, 39};
    info.ptMaxTrackSize = info.ptMaxSize;
    return info;
}

} // namespace

namespace Win32Internal {

HWND lookup(HWND window)
{
    if (!window)
        return nullptr;
    auto& windows = windowing().windows;
    return windows.count(window) ? window : nullptr;
}

std::vector<HWND> allWindows()
{
    std::vector<HWND> result;
    for (auto& entry : windowing().windows)
        result.push_back(entry.first);
    return result;
}

RECT frameInsets(DWORD style, BOOL menu, DWORD exStyle)
{
    RECT insets = {0, 0, 0, 0};
    LONG frame = 0;
    if (style & WS_THICKFRAME)
        frame = 8;
    else if (style & WS_DLGFRAME)
        frame = 3;
    else if (style & WS_BORDER)
        frame = 1;
    if (exStyle & WS_EX_CLIENTEDGE)
        frame += 2;
    insets.left = insets.right = insets.top = insets.bottom = frame;
    if ((style & WS_CAPTION) == WS_CAPTION)
        insets.top += 23;
    if (menu)
        insets.top += 20;
    return insets;
}

void applyTrackingLimits(HWND window)
{
    if (window->fullscreen)
        return;
    MINMAXINFO info = defaultTrackingLimits(window);
    SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    if (!lookup(window))
        return;
    RECT insets = frameInsets(window->style, FALSE, window->exStyle);
    int frameWidth = insets.left + insets.right;
    int frameHeight = insets.top + insets.bottom;
    SDL_SetWindowMinimumSize(window->sdl, std::max(1, static_cast<int>(info.ptMinTrackSize.x) - frameWidth),
                             std::max(1, static_cast<int>(info.ptMinTrackSize.y) - frameHeight));
    SDL_SetWindowMaximumSize(window->sdl, std::max(1, static_cast<int>(info.ptMaxTrackSize.x) - frameWidth),
                             std::max(1, static_cast<int>(info.ptMaxTrackSize.y) - frameHeight));
}

void placeClient(HWND window, int clientX, int clientY, int clientWidth, int clientHeight, bool notify)
{
    bool moved = clientX != window->clientX || clientY != window->clientY;
    bool resized = clientWidth != window->clientWidth || clientHeight != window->clientHeight;
    window->clientX = clientX;
    window->clientY = clientY;
    window->clientWidth = clientWidth;
    window->clientHeight = clientHeight;
    if (!window->fullscreen) {
        if (moved)
            SDL_SetWindowPosition(window->sdl, clientX, clientY);
        if (resized)
            SDL_SetWindowSize(window->sdl, std::max(1, clientWidth), std::max(1, clientHeight));
    }
    if (!notify)
        return;
    if (moved)
        SendMessageA(window, WM_MOVE, 0, MAKELPARAM(clientX, clientY));
    if (resized && lookup(window))
        SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(clientWidth, clientHeight));
}

} // namespace Win32Internal

namespace Win32Host {

SDL_Window* sdlWindow(HWND window)
{
    HWND found = Win32Internal::lookup(window);
    return found ? found->sdl : nullptr;
}

HWND windowFromSdlId(uint32_t id)
{
    auto found = windowing().bySdlId.find(id);
    return found == windowing().bySdlId.end() ? nullptr : found->second;
}

} // namespace Win32Host

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass)
{
    if (!windowClass || windowClass->cbSize != sizeof(WNDCLASSEXA) || !windowClass->lpszClassName ||
        !windowClass->lpfnWndProc)
        return 0;
    std::string key = classKey(windowClass->lpszClassName);
    if (key.empty() || windowing().classes.count(key))
        return 0;
    WindowClass entry;
    entry.description = *windowClass;
    entry.name = windowClass->lpszClassName;
    entry.description.lpszClassName = nullptr;
    entry.description.lpszMenuName = nullptr;
    entry.atom = windowing().nextAtom++;
    windowing().classes[key] = entry;
    return entry.atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance)
{
    (void)instance;
    std::string key = classKey(className);
    for (auto& entry : windowing().windows) {
        if (classKey(entry.second->className.c_str()) == key)
            return FALSE;
    }
    return windowing().classes.erase(key) ? TRUE : FALSE;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursorName)
{
    return (!instance && cursorName == IDC_ARROW) ? &arrowCursor : nullptr;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR iconName)
{
    return (!instance && iconName == IDI_APPLICATION) ? &applicationIcon : nullptr;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    auto cls = windowing().classes.find(classKey(className));
    if (cls == windowing().classes.end() || !Win32Host::ensureVideo())
        return nullptr;

    RECT insets = Win32Internal::frameInsets(style, menu != nullptr, exStyle);
    const bool defaultSize = width == CW_USEDEFAULT;
    const bool defaultPosition = x == CW_USEDEFAULT;
    // A window whose outer rectangle has no coordinates is not made.
    if (!defaultPosition && !placeable(x, y, defaultSize ? 0 : width, defaultSize ? 0 : height, insets))
        return nullptr;
    int clientWidth = defaultClientWidth;
    int clientHeight = defaultClientHeight;
    if (!defaultSize) {
        clientWidth = clientSide(width, insets.left, insets.right);
        clientHeight = clientSide(height, insets.top, insets.bottom);
    }
    int sdlX = defaultPosition ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : x + insets.left;
    int sdlY = defaultPosition ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : y + insets.top;

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if ((style & WS_CAPTION) != WS_CAPTION && !(style & WS_THICKFRAME))
        flags |= SDL_WINDOW_BORDERLESS;
    if (style & WS_THICKFRAME)
        flags |= SDL_WINDOW_RESIZABLE;
    if (exStyle & WS_EX_TOPMOST)
        flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    SDL_Window* sdl = SDL_CreateWindow(windowName ? windowName : "", sdlX, sdlY, std::max(1, clientWidth),
                                       std::max(1, clientHeight), flags);
    if (!sdl)
        return nullptr;
    Win32Host::pinLoadedLibraries();

    auto owned = std::make_unique<HWND__>();
    HWND window = owned.get();
    window->sdl = sdl;
    window->sdlId = SDL_GetWindowID(sdl);
    window->procedure = cls->second.description.lpfnWndProc;
    window->className = cls->second.name;
    window->classStyle = cls->second.description.style;
    window->style = style & ~WS_VISIBLE;
    window->exStyle = exStyle;
    window->text = windowName ? windowName : "";
    SDL_GetWindowPosition(sdl, &window->clientX, &window->clientY);
    window->clientWidth = clientWidth;
    window->clientHeight = clientHeight;
    windowing().windows[window] = std::move(owned);
    windowing().bySdlId[window->sdlId] = window;

    CREATESTRUCTA create = {param, instance, menu, parent, height, width, y, x,
                            static_cast<LONG>(style), windowName, className, exStyle};
    MINMAXINFO limits = defaultTrackingLimits(window);
    SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    if (!Win32Internal::lookup(window) ||
        !SendMessageA(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) ||
        SendMessageA(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(window->clientWidth, window->clientHeight));
    SendMessageA(window, WM_MOVE, 0, MAKELPARAM(window->clientX, window->clientY));
    if (!Win32Internal::lookup(window))
        return nullptr;
    Win32Internal::enterFullscreenIfModeSet(window);
    if (style & WS_VISIBLE)
        ShowWindow(window, SW_SHOW);
    return window;
}

BOOL DestroyWindow(HWND handle)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return FALSE;
    if (windowing().focus == window) {
        windowing().focus = nullptr;
        SendMessageA(window, WM_KILLFOCUS, 0, 0);
    }
    if (windowing().foreground == window)
        windowing().foreground = nullptr;
    SendMessageA(window, WM_DESTROY, 0, 0);
    SendMessageA(window, WM_NCDESTROY, 0, 0);
    if (!Win32Internal::lookup(window))
        return TRUE;
    Win32Internal::dropMessagesOf(window);
    windowing().bySdlId.erase(window->sdlId);
    SDL_DestroyWindow(window->sdl);
    windowing().windows.erase(window);
    return TRUE;
}

BOOL IsWindow(HWND window)
{
    return Win32Internal::lookup(window) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND handle)
{
    HWND window = Win32Internal::lookup(handle);
    return window && window->visible;
}

BOOL ShowWindow(HWND handle, int command)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return FALSE;
    BOOL wasVisible = window->visible ? TRUE : FALSE;
    if (command == SW_HIDE) {
        if (!window->visible)
            return wasVisible;
        SendMessageA(window, WM_SHOWWINDOW, FALSE, 0);
        SDL_HideWindow(window->sdl);
        window->visible = false;
        if (windowing().focus == window) {
            windowing().focus = nullptr;
            SendMessageA(window, WM_KILLFOCUS, 0, 0);
        }
        return wasVisible;
    }
    if (window->visible)
        return wasVisible;
    SendMessageA(window, WM_SHOWWINDOW, TRUE, 0);
    if (!Win32Internal::lookup(window))
        return wasVisible;
    SDL_ShowWindow(window->sdl);
    window->visible = true;
    if (!window->shownOnce) {
        // A window's first showing tells it its size before anything is drawn.
        window->shownOnce = true;
        Win32Internal::applyTrackingLimits(window);
        SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(window->clientWidth, window->clientHeight));
        SendMessageA(window, WM_MOVE, 0, MAKELPARAM(window->clientX, window->clientY));
    }
    if (!Win32Internal::lookup(window))
        return wasVisible;
    InvalidateRect(window, nullptr, TRUE);
    windowing().foreground = window;
    SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
    SetFocus(window);
    return wasVisible;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return FALSE;
    RECT insets = Win32Internal::frameInsets(window->style, FALSE, window->exStyle);
    if (!placeable(x, y, width, height, insets))
        return FALSE;
    int clientWidth = clientSide(width, insets.left, insets.right);
    int clientHeight = clientSide(height, insets.top, insets.bottom);
    Win32Internal::placeClient(window, x + insets.left, y + insets.top, clientWidth, clientHeight, true);
    if (repaint && Win32Internal::lookup(window))
        InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}

BOOL SetWindowTextA(HWND handle, LPCSTR text)
{
    if (!Win32Internal::lookup(handle))
        return FALSE;
    return SendMessageA(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextA(HWND handle, LPSTR text, int maxCount)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window || !text || maxCount <= 0)
        return 0;
    size_t count = std::min(window->text.size(), static_cast<size_t>(maxCount - 1));
    std::memcpy(text, window->text.data(), count);
    text[count] = '\0';
    return static_cast<int>(count);
}

BOOL GetClientRect(HWND handle, RECT* rect)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window || !rect)
        return FALSE;
    *rect = {0, 0, window->clientWidth, window->clientHeight};
    return TRUE;
}

BOOL GetWindowRect(HWND handle, RECT* rect)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window || !rect)
        return FALSE;
    RECT insets = Win32Internal::frameInsets(window->style, FALSE, window->exStyle);
    rect->left = window->clientX - insets.left;
    rect->top = window->clientY - insets.top;
    rect->right = window->clientX + window->clientWidth + insets.right;
    rect->bottom = window->clientY + window->clientHeight + insets.bottom;
    return TRUE;
}

BOOL GetWindowInfo(HWND handle, WINDOWINFO* info)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window || !info)
        return FALSE;
    RECT insets = Win32Internal::frameInsets(window->style, FALSE, window->exStyle);
    GetWindowRect(window, &info->rcWindow);
    info->rcClient = {window->clientX, window->clientY, window->clientX + window->clientWidth,
                      window->clientY + window->clientHeight};
    info->dwStyle = window->style | (window->visible ? WS_VISIBLE : 0);
    info->dwExStyle = window->exStyle;
    info->dwWindowStatus = windowing().foreground == window ? 1 : 0;
    info->cxWindowBorders = static_cast<UINT>(insets.left);
    info->cyWindowBorders = static_cast<UINT>(insets.bottom);
    info->atomWindowType = windowing().classes[classKey(window->className.c_str())].atom;
    info->wCreatorVersion = 0x0400;
    return TRUE;
}

BOOL ClientToScreen(HWND handle, POINT* point)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window || !point)
        return FALSE;
    point->x += window->clientX;
    point->y += window->clientY;
    return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle)
{
    if (!rect)
        return FALSE;
    RECT insets = Win32Internal::frameInsets(style, menu, exStyle);
    const int64_t left = int64_t(rect->left) - insets.left, top = int64_t(rect->top) - insets.top;
    const int64_t right = int64_t(rect->right) + insets.right, bottom = int64_t(rect->bottom) + insets.bottom;
    // Callers take the width and height as differences: those must fit too.
    if (!fitsLong(left) || !fitsLong(top) || !fitsLong(right) || !fitsLong(bottom) || !fitsLong(right - left) ||
        !fitsLong(bottom - top))
        return FALSE;
    *rect = {static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
    return TRUE;
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu)
{
    return AdjustWindowRectEx(rect, style, menu, 0);
}

HMENU GetMenu(HWND window)
{
    (void)window;
    return nullptr;
}

LONG_PTR SetWindowLongA(HWND handle, int index, LONG_PTR value)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return 0;
    LONG_PTR previous = 0;
    switch (index) {
    case GWL_USERDATA:
        previous = window->userData;
        window->userData = value;
        break;
    case GWL_WNDPROC:
        previous = reinterpret_cast<LONG_PTR>(window->procedure);
        window->procedure = reinterpret_cast<WNDPROC>(value);
        break;
    case GWL_STYLE:
        previous = static_cast<LONG_PTR>(window->style);
        window->style = static_cast<DWORD>(value) & ~WS_VISIBLE;
        break;
    case GWL_EXSTYLE:
        previous = static_cast<LONG_PTR>(window->exStyle);
        window->exStyle = static_cast<DWORD>(value);
        break;
    default:
        break;
    }
    return previous;
}

LONG_PTR GetWindowLongA(HWND handle, int index)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return 0;
    switch (index) {
    case GWL_USERDATA: return window->userData;
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(window->procedure);
    case GWL_STYLE: return static_cast<LONG_PTR>(window->style | (window->visible ? WS_VISIBLE : 0));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(window->exStyle);
    default: return 0;
    }
}

HWND SetFocus(HWND handle)
{
    HWND window = handle ? Win32Internal::lookup(handle) : nullptr;
    if (handle && !window)
        return nullptr;
    HWND previous = windowing().focus;
    if (previous == window)
        return previous;
    windowing().focus = window;
    if (previous)
        SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (window && Win32Internal::lookup(window)) {
        if (window->visible)
            SDL_RaiseWindow(window->sdl);
        SendMessageA(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
    return previous;
}

HWND GetFocus()
{
    return windowing().focus;
}

BOOL BringWindowToTop(HWND handle)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return FALSE;
    if (window->visible)
        SDL_RaiseWindow(window->sdl);
    return TRUE;
}

BOOL SetForegroundWindow(HWND handle)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return FALSE;
    windowing().foreground = window;
    BringWindowToTop(window);
    SetFocus(window);
    return TRUE;
}

HWND GetForegroundWindow()
{
    return windowing().foreground;
}

HDC GetDC(HWND handle)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return nullptr;
    if (!window->dc) {
        window->dc = std::make_unique<HDC__>();
        window->dc->window = window;
    }
    return window->dc.get();
}

int ReleaseDC(HWND handle, HDC dc)
{
    HWND window = Win32Internal::lookup(handle);
    return window && window->dc.get() == dc ? 1 : 0;
}

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* descriptor)
{
    if (!dc || !descriptor || descriptor->nSize != sizeof(PIXELFORMATDESCRIPTOR) || descriptor->nVersion != 1)
        return 0;
    if (!(descriptor->dwFlags & PFD_DRAW_TO_WINDOW) || descriptor->iPixelType != PFD_TYPE_RGBA)
        return 0;
    // One format serves every request: frames live in framebuffer objects.
    return 1;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* descriptor)
{
    (void)descriptor;
    if (!dc || format != 1)
        return FALSE;
    HWND window = Win32Internal::lookup(dc->window);
    if (!window)
        return FALSE;
    if (window->hasPixelFormat && window->pixelFormat != format)
        return FALSE;
    window->hasPixelFormat = true;
    window->pixelFormat = format;
    return TRUE;
}

BOOL GetUpdateRect(HWND handle, RECT* rect, BOOL erase)
{
    (void)erase;
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return FALSE;
    if (rect)
        *rect = window->invalid ? window->invalidRect : RECT{0, 0, 0, 0};
    return window->invalid ? TRUE : FALSE;
}

BOOL InvalidateRect(HWND handle, const RECT* rect, BOOL erase)
{
    (void)erase;
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return FALSE;
    RECT area = rect ? *rect : RECT{0, 0, window->clientWidth, window->clientHeight};
    area.left = std::max<LONG>(area.left, 0);
    area.top = std::max<LONG>(area.top, 0);
    area.right = std::min<LONG>(area.right, window->clientWidth);
    area.bottom = std::min<LONG>(area.bottom, window->clientHeight);
    if (area.right <= area.left || area.bottom <= area.top)
        return TRUE;
    if (window->invalid) {
        RECT& old = window->invalidRect;
        old = {std::min(old.left, area.left), std::min(old.top, area.top), std::max(old.right, area.right),
               std::max(old.bottom, area.bottom)};
    } else {
        window->invalid = true;
        window->invalidRect = area;
    }
    return TRUE;
}

BOOL ValidateRect(HWND handle, const RECT* rect)
{
    (void)rect;
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return FALSE;
    window->invalid = false;
    return TRUE;
}

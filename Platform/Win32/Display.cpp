#include "Platform/Win32/WindowState.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

struct DisplayState {
    std::vector<Win32Host::DisplayMode> injectedModes;
    Win32Host::DisplayMode injectedDesktop = {0, 0, 0};
    std::optional<Win32Host::DisplayMode> changedMode;
    int cursorCount = 0;
};

DisplayState& state()
{
    static DisplayState display;
    return display;
}

const int standardSizes[][2] = {
    {640, 480},   {800, 600},   {1024, 768},  {1152, 864},  {1280, 720},  {1280, 800},
    {1280, 960},  {1280, 1024}, {1366, 768},  {1440, 900},  {1600, 900},  {1600, 1200},
    {1680, 1050}, {1920, 1080}, {1920, 1200}, {2560, 1440}, {3840, 2160},
};

// SDL reports 0 for an unknown rate; Win32 programs expect a real one.
int knownRate(int rate) { return rate > 0 ? rate : 60; }

Win32Host::DisplayMode desktopMode()
{
    if (!state().injectedModes.empty())
        return state().injectedDesktop;
    SDL_DisplayMode mode;
    if (!Win32Host::ensureVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return {1024, 768, 60};
    return {mode.w, mode.h, knownRate(mode.refresh_rate)};
}

std::optional<Win32Host::DisplayMode> findMode(const DEVMODEA& request)
{
    Win32Host::DisplayMode current = Win32Host::currentDisplayMode();
    int width = (request.dmFields & DM_PELSWIDTH) ? static_cast<int>(request.dmPelsWidth) : current.width;
    int height = (request.dmFields & DM_PELSHEIGHT) ? static_cast<int>(request.dmPelsHeight) : current.height;
    if ((request.dmFields & DM_BITSPERPEL) && request.dmBitsPerPel != 32)
        return std::nullopt;
    for (const Win32Host::DisplayMode& mode : Win32Host::displayModes()) {
        if (mode.width != width || mode.height != height)
            continue;
        if ((request.dmFields & DM_DISPLAYFREQUENCY) && request.dmDisplayFrequency > 1 &&
            static_cast<int>(request.dmDisplayFrequency) != mode.refreshRate)
            continue;
        return mode;
    }
    return std::nullopt;
}

} // namespace

namespace Win32Host {

void pinLoadedLibraries()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name && info->dlpi_name[0])
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

bool ensureVideo()
{
    static bool started = false;
    if (started)
        return true;
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // Interrupts and termination are the frame loop's to answer (it ends as
    // on Escape); SDL would turn them into a quit event nothing listens for.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    // Every window can take the one OpenGL context of a device (which asks
    // for its version itself); frames are drawn into framebuffer objects and
    // only blitted to the window.
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    pinLoadedLibraries();
    started = true;
    return true;
}

std::vector<DisplayMode> displayModes()
{
    if (!state().injectedModes.empty())
        return state().injectedModes;
    std::vector<DisplayMode> modes;
    DisplayMode desktop = desktopMode();
    if (ensureVideo()) {
        int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode mode;
            if (SDL_GetDisplayMode(0, i, &mode) == 0 && mode.w > 0 && mode.h > 0)
                modes.push_back({mode.w, mode.h, knownRate(mode.refresh_rate)});
        }
    }
    modes.push_back(desktop);
    for (const auto& size : standardSizes) {
        if (size[0] <= desktop.width && size[1] <= desktop.height)
            modes.push_back({size[0], size[1], desktop.refreshRate});
    }
    std::sort(modes.begin(), modes.end(), [](const DisplayMode& a, const DisplayMode& b) {
        if (a.width != b.width)
            return a.width < b.width;
        if (a.height != b.height)
            return a.height < b.height;
        return a.refreshRate < b.refreshRate;
    });
    modes.erase(std::unique(modes.begin(), modes.end()), modes.end());
    return modes;
}

DisplayMode currentDisplayMode()
{
    if (state().changedMode)
        return *state().changedMode;
    return desktopMode();
}

void setDisplayModesForTesting(const std::vector<DisplayMode>& modes, DisplayMode desktop)
{
    state().injectedModes = modes;
    state().injectedDesktop = desktop;
    state().changedMode.reset();
}

namespace {

void restoreWindowed(HWND window)
{
    if (window->windowed.w <= 0 || window->windowed.h <= 0)
        return;
    SDL_SetWindowSize(window->sdl, window->windowed.w, window->windowed.h);
    SDL_SetWindowPosition(window->sdl, window->windowed.x, window->windowed.y);
}

} // namespace

bool setFullscreen(HWND handle, bool fullscreen, DisplayMode mode)
{
    HWND window = Win32Internal::lookup(handle);
    if (!window)
        return false;
    if (fullscreen) {
        state().changedMode = mode;
        if (!window->fullscreen) {
            // A bare X server has no window manager to act on the full-screen
            // request: SDL would then take the desktop's size for the window's
            // while the window keeps its own. Cover the desktop first.
            SDL_GetWindowPosition(window->sdl, &window->windowed.x, &window->windowed.y);
            SDL_GetWindowSize(window->sdl, &window->windowed.w, &window->windowed.h);
            SDL_Rect desktop;
            if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window->sdl)), &desktop) == 0) {
                SDL_SetWindowPosition(window->sdl, desktop.x, desktop.y);
                SDL_SetWindowSize(window->sdl, desktop.w, desktop.h);
            }
        }
        if (SDL_SetWindowFullscreen(window->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
            restoreWindowed(window);
            return false;
        }
        window->fullscreen = true;
        Win32Internal::placeClient(window, 0, 0, mode.width, mode.height, window->shownOnce);
    } else if (window->fullscreen) {
        SDL_SetWindowFullscreen(window->sdl, 0);
        window->fullscreen = false;
        restoreWindowed(window);
        int width = 0;
        int height = 0;
        SDL_GetWindowSize(window->sdl, &width, &height);
        int x = 0;
        int y = 0;
        SDL_GetWindowPosition(window->sdl, &x, &y);
        Win32Internal::placeClient(window, x, y, width, height, window->shownOnce);
    }
    return true;
}

bool isFullscreen(HWND handle)
{
    HWND window = Win32Internal::lookup(handle);
    return window && window->fullscreen;
}

} // namespace Win32Host

namespace Win32Internal {

void enterFullscreenIfModeSet(HWND window)
{
    const auto& mode = state().changedMode;
    if (mode && (window->style & WS_POPUP) && window->clientWidth == mode->width &&
        window->clientHeight == mode->height)
        Win32Host::setFullscreen(window, true, *mode);
}

} // namespace Win32Internal

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags)
{
    (void)flags;
    if (!mode) {
        // Back to the desktop: every full-screen window becomes a window again.
        state().changedMode.reset();
        for (HWND window : Win32Internal::allWindows()) {
            if (window->fullscreen)
                Win32Host::setFullscreen(window, false, {});
        }
        return DISP_CHANGE_SUCCESSFUL;
    }
    std::optional<Win32Host::DisplayMode> found = findMode(*mode);
    if (!found)
        return DISP_CHANGE_BADMODE;
    state().changedMode = *found;
    return DISP_CHANGE_SUCCESSFUL;
}

BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode)
{
    (void)deviceName;
    if (!mode)
        return FALSE;
    Win32Host::DisplayMode chosen;
    if (modeNumber == ENUM_CURRENT_SETTINGS) {
        chosen = Win32Host::currentDisplayMode();
    } else {
        std::vector<Win32Host::DisplayMode> modes = Win32Host::displayModes();
        if (modeNumber >= modes.size())
            return FALSE;
        chosen = modes[modeNumber];
    }
    WORD size = mode->dmSize;
    std::memset(mode, 0, sizeof(DEVMODEA));
    mode->dmSize = size ? size : sizeof(DEVMODEA);
    mode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    mode->dmBitsPerPel = 32;
    mode->dmPelsWidth = static_cast<DWORD>(chosen.width);
    mode->dmPelsHeight = static_cast<DWORD>(chosen.height);
    mode->dmDisplayFrequency = static_cast<DWORD>(chosen.refreshRate);
    return TRUE;
}

int ShowCursor(BOOL show)
{
    // Win32 counts: the cursor shows while the count is 0 or more.
    int& count = state().cursorCount;
    count += show ? 1 : -1;
    if (Win32Host::ensureVideo())
        SDL_ShowCursor(count >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return count;
}

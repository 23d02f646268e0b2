#pragma once

// What the other stand-ins (Direct3D, FMOD) and the tests need of the
// window system beyond the Win32 calls themselves.

#include "Platform/Win32/Windows.h"

#include <map>
#include <string>
#include <vector>

struct SDL_Window;

namespace Win32Host {

// Starts SDL's video (and the OpenGL attributes every window shares) once;
// false when there is no video driver at all.
bool ensureVideo();

// Keeps every shared library loaded so far for the life of the process.
// Drivers that SDL and OpenGL open at run time would otherwise be unloaded
// at exit before leak checkers can name what they still hold.
void pinLoadedLibraries();

// The SDL window behind a handle, or null for an unknown handle.
SDL_Window* sdlWindow(HWND window);
// The handle of an SDL window id, or null.
HWND windowFromSdlId(uint32_t id);

struct DisplayMode {
    int width;
    int height;
    int refreshRate;
    bool operator==(const DisplayMode& other) const
    {
        return width == other.width && height == other.height && refreshRate == other.refreshRate;
    }
};

// Full screen is the desktop-covering window with the frame scaled into it,
// so every standard size up to the desktop's is offered as a 32-bit mode at
// the desktop's rate, besides the modes SDL reports.
std::vector<DisplayMode> displayModes();
// The desktop's mode, or the mode a full-screen change has set.
DisplayMode currentDisplayMode();
// Tests replace the adapter's modes and the desktop mode; an empty list
// restores what SDL reports.
void setDisplayModesForTesting(const std::vector<DisplayMode>& modes, DisplayMode desktop);

// Puts a window full screen in the given mode (or back into a window).
// Direct3D calls it for a full-screen swap chain.
bool setFullscreen(HWND window, bool fullscreen, DisplayMode mode);
bool isFullscreen(HWND window);

// The in-process module registry behind LoadLibraryA and GetProcAddress:
// names match case-insensitively and without a directory.
void registerModule(const std::string& name, const std::map<std::string, FARPROC>& entryPoints);
void unregisterModule(const std::string& name);

// Virtual time for tests: while on, the performance counter starts from its
// present value and moves only by advanceCounter and by stepPerReading ticks
// after each reading. Off returns to the monotonic clock.
void setVirtualCounter(bool on, int64_t stepPerReading = 0);
void advanceCounter(int64_t ticks);

} // namespace Win32Host

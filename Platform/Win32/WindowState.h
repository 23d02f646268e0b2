#pragma once

// Internal: the state behind window handles, shared by the windowing,
// message and display parts of the stand-in.

#include "Platform/Win32/Host.h"

#include <SDL.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

struct HWND__ {
    SDL_Window* sdl = nullptr;
    uint32_t sdlId = 0;
    WNDPROC procedure = nullptr;
    std::string className;
    UINT classStyle = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    LONG_PTR userData = 0;
    std::string text;
    // Client area: its top-left on the desktop and its size. A full-screen
    // window keeps the size of its mode whatever SDL makes of it.
    int clientX = 0;
    int clientY = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    bool visible = false;
    bool shownOnce = false;
    bool fullscreen = false;
    // Where the SDL window was before it went full screen.
    SDL_Rect windowed = {0, 0, 0, 0};
    bool hasPixelFormat = false;
    int pixelFormat = 0;
    bool invalid = false;
    RECT invalidRect = {0, 0, 0, 0};
    std::unique_ptr<HDC__> dc;
};

struct HDC__ {
    HWND window = nullptr;
};

namespace Win32Internal {

// Every live window; null when the handle is unknown or destroyed.
HWND lookup(HWND window);
std::vector<HWND> allWindows();
// The frame a style adds around the client area, as AdjustWindowRectEx.
RECT frameInsets(DWORD style, BOOL menu, DWORD exStyle);
// Posts a message into the thread's queue.
void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Drops queued messages of a destroyed window.
void dropMessagesOf(HWND window);
// Sends WM_GETMINMAXINFO and passes the limits on to SDL.
void applyTrackingLimits(HWND window);
// Moves a window's client area; sends WM_MOVE / WM_SIZE as Win32 does.
void placeClient(HWND window, int clientX, int clientY, int clientWidth, int clientHeight, bool notify);
// Full screen while a mode change is in force.
void enterFullscreenIfModeSet(HWND window);

} // namespace Win32Internal

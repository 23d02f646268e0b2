#pragma once

// SDL events as a person at the desktop would cause them, for tests that
// drive windows through their message queue.

#include "Platform/Win32/Host.h"

#include <SDL.h>

namespace SdlEvents {

inline uint32_t windowId(HWND window)
{
    return SDL_GetWindowID(Win32Host::sdlWindow(window));
}

inline void pushKey(HWND window, SDL_Keycode key, bool down, Uint16 modifiers = 0,
                    SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN)
{
    SDL_Event event = {};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = windowId(window);
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = scancode;
    event.key.keysym.mod = modifiers;
    SDL_PushEvent(&event);
}

inline void pushMouseMove(HWND window, int x, int y)
{
    SDL_Event event = {};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = windowId(window);
    event.motion.x = x;
    event.motion.y = y;
    SDL_PushEvent(&event);
}

inline void pushWindowEvent(HWND window, SDL_WindowEventID kind, int data1 = 0, int data2 = 0)
{
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = kind;
    event.window.windowID = windowId(window);
    event.window.data1 = data1;
    event.window.data2 = data2;
    SDL_PushEvent(&event);
}

} // namespace SdlEvents

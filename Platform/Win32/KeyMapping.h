#pragma once

// Internal: SDL's keys as Win32 virtual-key codes.

#include "Platform/Win32/Windows.h"

#include <SDL.h>

namespace Win32Internal {

struct VirtualKey {
    DWORD code;     // 0 when Win32 has no key for it
    bool extended;  // bit 24 of the key message's lParam
};

// As a US keyboard reports it: shift, control and alt arrive as VK_SHIFT,
// VK_CONTROL and VK_MENU (the right-hand ones extended), keypad keys as the
// number keys only while Num Lock is on.
VirtualKey virtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode, Uint16 modifiers);

// The lParam of WM_KEYDOWN / WM_KEYUP: repeat count 1, scan code, extended
// bit, previous key state and transition state.
LPARAM keyMessageParameter(SDL_Scancode scancode, bool extended, bool down, bool repeat);

} // namespace Win32Internal

#include "Platform/Win32/KeyMapping.h"

namespace Win32Internal {

namespace {

VirtualKey plain(DWORD code) { return {code, false}; }
VirtualKey extended(DWORD code) { return {code, true}; }

VirtualKey keypad(SDL_Keycode key, bool numLock)
{
    switch (key) {
    case SDLK_KP_DIVIDE: return extended(VK_DIVIDE);
    case SDLK_KP_MULTIPLY: return plain(VK_MULTIPLY);
    case SDLK_KP_MINUS: return plain(VK_SUBTRACT);
    case SDLK_KP_PLUS: return plain(VK_ADD);
    case SDLK_KP_ENTER: return extended(VK_RETURN);
    default: break;
    }
    if (numLock) {
        switch (key) {
        case SDLK_KP_0: return plain(VK_NUMPAD0);
        case SDLK_KP_1: return plain(VK_NUMPAD1);
        case SDLK_KP_2: return plain(VK_NUMPAD2);
        case SDLK_KP_3: return plain(VK_NUMPAD3);
        case SDLK_KP_4: return plain(VK_NUMPAD4);
        case SDLK_KP_5: return plain(VK_NUMPAD5);
        case SDLK_KP_6: return plain(VK_NUMPAD6);
        case SDLK_KP_7: return plain(VK_NUMPAD7);
        case SDLK_KP_8: return plain(VK_NUMPAD8);
        case SDLK_KP_9: return plain(VK_NUMPAD9);
        case SDLK_KP_PERIOD: return plain(VK_DECIMAL);
        default: break;
        }
    } else {
        switch (key) {
        case SDLK_KP_0: return plain(VK_INSERT);
        case SDLK_KP_1: return plain(VK_END);
        case SDLK_KP_2: return plain(VK_DOWN);
        case SDLK_KP_3: return plain(VK_NEXT);
        case SDLK_KP_4: return plain(VK_LEFT);
        case SDLK_KP_5: return plain(VK_CLEAR);
        case SDLK_KP_6: return plain(VK_RIGHT);
        case SDLK_KP_7: return plain(VK_HOME);
        case SDLK_KP_8: return plain(VK_UP);
        case SDLK_KP_9: return plain(VK_PRIOR);
        case SDLK_KP_PERIOD: return plain(VK_DELETE);
        default: break;
        }
    }
    return plain(0);
}

} // namespace

VirtualKey virtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode, Uint16 modifiers)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return plain('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9)
        return plain('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return plain(VK_F1 + (key - SDLK_F1));
    if (key >= SDLK_F13 && key <= SDLK_F24)
        return plain(VK_F1 + 12 + (key - SDLK_F13));
    if ((key >= SDLK_KP_DIVIDE && key <= SDLK_KP_PERIOD))
        return keypad(key, (modifiers & KMOD_NUM) != 0);

    switch (key) {
    case SDLK_BACKSPACE: return plain(VK_BACK);
    case SDLK_TAB: return plain(VK_TAB);
    case SDLK_CLEAR: return plain(VK_CLEAR);
    case SDLK_RETURN: return plain(VK_RETURN);
    case SDLK_PAUSE: return plain(VK_PAUSE);
    case SDLK_CAPSLOCK: return plain(VK_CAPITAL);
    case SDLK_ESCAPE: return plain(VK_ESCAPE);
    case SDLK_SPACE: return plain(VK_SPACE);
    case SDLK_PAGEUP: return extended(VK_PRIOR);
    case SDLK_PAGEDOWN: return extended(VK_NEXT);
    case SDLK_END: return extended(VK_END);
    case SDLK_HOME: return extended(VK_HOME);
    case SDLK_LEFT: return extended(VK_LEFT);
    case SDLK_UP: return extended(VK_UP);
    case SDLK_RIGHT: return extended(VK_RIGHT);
    case SDLK_DOWN: return extended(VK_DOWN);
    case SDLK_PRINTSCREEN: return extended(VK_SNAPSHOT);
    case SDLK_INSERT: return extended(VK_INSERT);
    case SDLK_DELETE: return extended(VK_DELETE);
    case SDLK_LGUI: return extended(VK_LWIN);
    case SDLK_RGUI: return extended(VK_RWIN);
    case SDLK_APPLICATION: return extended(VK_APPS);
    case SDLK_NUMLOCKCLEAR: return extended(VK_NUMLOCK);
    case SDLK_SCROLLLOCK: return plain(VK_SCROLL);
    case SDLK_LSHIFT: return plain(VK_SHIFT);
    case SDLK_RSHIFT: return plain(VK_SHIFT);
    case SDLK_LCTRL: return plain(VK_CONTROL);
    case SDLK_RCTRL: return extended(VK_CONTROL);
    case SDLK_LALT: return plain(VK_MENU);
    case SDLK_RALT: return extended(VK_MENU);
    case SDLK_SEMICOLON: return plain(VK_OEM_1);
    case SDLK_EQUALS: return plain(VK_OEM_PLUS);
    case SDLK_COMMA: return plain(VK_OEM_COMMA);
    case SDLK_MINUS: return plain(VK_OEM_MINUS);
    case SDLK_PERIOD: return plain(VK_OEM_PERIOD);
    case SDLK_SLASH: return plain(VK_OEM_2);
    case SDLK_BACKQUOTE: return plain(VK_OEM_3);
    case SDLK_LEFTBRACKET: return plain(VK_OEM_4);
    case SDLK_BACKSLASH: return plain(VK_OEM_5);
    case SDLK_RIGHTBRACKET: return plain(VK_OEM_6);
    case SDLK_QUOTE: return plain(VK_OEM_7);
    default: break;
    }
    (void)scancode;
    return plain(0);
}

LPARAM keyMessageParameter(SDL_Scancode scancode, bool extended, bool down, bool repeat)
{
    DWORD value = 1;
    value |= (static_cast<DWORD>(scancode) & 0xFF) << 16;
    if (extended)
        value |= 1u << 24;
    if (!down || repeat)
        value |= 1u << 30;
    if (!down)
        value |= 1u << 31;
    return static_cast<LPARAM>(value);
}

} // namespace Win32Internal

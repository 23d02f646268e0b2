#pragma once

#include <string>

namespace Vostrel {
namespace Core {

// The main window and the device to create. A full-screen request must give
// width and height. The device reads width, height, fullscreen, multisample
// and vSync; the render window reads the rest.
struct WindowParameters {
    std::string title = "(no title)";
    int x = -1; // -1: the system chooses
    int y = -1;
    int width = -1; // client size; -1: unspecified
    int height = -1;
    int minWidth = 32; // limits of a resizable window's client size
    int minHeight = 32;
    int maxWidth = 2048;
    int maxHeight = 2048;
    int fullscreenBitsPerPixel = 32;
    int depthBits = 24;
    int stencilBits = 8;
    bool doubleBuffered = true;
    bool fullscreen = false;
    bool showCursor = true;
    bool reservedFlag = false; // carried along; nothing reads it
    int multisample = -1; // used only within 2..16
    bool vSync = false;
    bool resizable = false;
    bool decorated = true; // framed and captioned; otherwise a bare pop-up
};

} // namespace Core
} // namespace Vostrel

#pragma once

namespace Vostrel {
namespace Core {

class RenderWindow;

// Event records handed to window listeners; each starts with the window.
struct WindowEvent {
    RenderWindow* window;
};

struct VisibilityEvent {
    RenderWindow* window;
    bool visible;
};

struct CharEvent {
    RenderWindow* window;
    int character;
    int count;
};

// Key codes are the engine's own (see keyCodeFromVirtualKey).
struct KeyEvent {
    RenderWindow* window;
    bool pressed;
    int key;
};

struct MouseEvent {
    RenderWindow* window;
    int previousButtons;
    int buttons;
    int x;
    int y;
    int dx;
    int dy;
};

struct MoveEvent {
    RenderWindow* window;
    int x;
    int y;
};

struct ResizeEvent {
    RenderWindow* window;
    int width;
    int height;
};

struct PaintEvent {
    RenderWindow* window;
    int x;
    int y;
    int width;
    int height;
};

struct FocusEvent {
    RenderWindow* window;
    bool focused;
};

class WindowEventListener {
public:
    virtual ~WindowEventListener() = default;
    virtual void onChar(const CharEvent& event) {}
    virtual void onKey(const KeyEvent& event) {}
    virtual void onMouseMove(const MouseEvent& event) {}
    virtual void onMouseButton(const MouseEvent& event) {}
    virtual void onMove(const MoveEvent& event) {}
    virtual void onResize(const ResizeEvent& event) {}
    virtual void onPaint(const PaintEvent& event) {}
    virtual void onFocus(const FocusEvent& event) {}
    virtual void onClose(const WindowEvent& event) {}
    virtual void onShow(const VisibilityEvent& event) {}
    virtual void onHide(const VisibilityEvent& event) {}
};

} // namespace Core
} // namespace Vostrel

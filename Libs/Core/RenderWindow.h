#pragma once

#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/WindowEventListener.h"

#include <string>
#include <vector>

namespace Vostrel {
namespace Core {

const int KEY_TABLE_SIZE = 323;

// Modifier bits of the keyboard state.
enum KeyModifier : int {
    MODIFIER_LEFT_SHIFT = 0x0001,
    MODIFIER_RIGHT_SHIFT = 0x0002,
    MODIFIER_LEFT_CONTROL = 0x0040,
    MODIFIER_RIGHT_CONTROL = 0x0080,
    MODIFIER_LEFT_ALT = 0x0100,
    MODIFIER_RIGHT_ALT = 0x0200,
    MODIFIER_LEFT_META = 0x0400,
    MODIFIER_RIGHT_META = 0x0800,
    MODIFIER_NUM_LOCK = 0x1000,
    MODIFIER_CAPS_LOCK = 0x2000,
};

// The program's top-level window: a render target that owns a window of the
// platform, keeps the keyboard state and tells its listeners what happens to
// it. Made by the rendering interface (the core's main window, or
// createRenderWindow).
class RenderWindow : public RenderTarget {
public:
    RenderWindow();
    ~RenderWindow() override;

    // The platform's window implements these; a window without one (a
    // recording stand-in) handles no messages and stays hidden.
    // Handles every pending message; returns how many there were.
    virtual int processMessages() { return 0; }
    virtual bool isVisible() { return false; }
    virtual void setVisible(bool visible) {}
    virtual void setRect(int x, int y, int width, int height) {}
    virtual void setMinimumSize(int width, int height) {}
    virtual void setMaximumSize(int width, int height) {}
    virtual std::string getTitle();
    virtual void setTitle(const std::string& title);
    virtual void showCursor(bool show);
    virtual void emptyHook();

    void getRect(int& x, int& y, int& width, int& height) const;
    void getPosition(int& x, int& y) const;
    void getSize(int& width, int& height) const;
    void setPosition(int x, int y);
    void setSize(int width, int height);
    void setKeyState(int key, bool pressed);
    bool isKeyPressed(int key) const;
    int getModifiers() const { return modifiers; }
    int getMouseButtons() const { return mouseButtons; }

    // Listeners are not owned; each is told once per event, in the order
    // they were added.
    void addListener(WindowEventListener* listener);
    void removeListener(WindowEventListener* listener);

protected:
    template <typename Event>
    void notify(void (WindowEventListener::*handler)(const Event&), const Event& event)
    {
        // A listener may remove itself while it is told.
        std::vector<WindowEventListener*> snapshot = listeners;
        for (WindowEventListener* listener : snapshot)
            (listener->*handler)(event);
    }

    std::vector<WindowEventListener*> listeners;
    bool keys[KEY_TABLE_SIZE];
    bool fullscreen;
    bool cursorShown;
    int mouseButtons; // 1 left, 2 right, 4 middle
    int modifiers;
    std::string title;
    int x;
    int y;
    int minimumWidth;
    int minimumHeight;
    int maximumWidth;
    int maximumHeight;
};

// The modifier bit of an engine key code, 0 for keys that are no modifier.
int modifierBit(int key);

} // namespace Core
} // namespace Vostrel

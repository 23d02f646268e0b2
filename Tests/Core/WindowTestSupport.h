#pragma once

#include "Libs/Core/RenderWindowWin32.h"
#include "Platform/Win32/Host.h"

#include <string>
#include <vector>

namespace WindowTestSupport {

// A window of the given title, place and size, the rest as defaulted.
inline Vostrel::Core::WindowParameters placed(const char* title, int x, int y, int width, int height)
{
    Vostrel::Core::WindowParameters parameters;
    parameters.title = title;
    parameters.x = x;
    parameters.y = y;
    parameters.width = width;
    parameters.height = height;
    return parameters;
}

// What reached a listener, one line per event.
class RecordingListener : public Vostrel::Core::WindowEventListener {
public:
    void onChar(const Vostrel::Core::CharEvent& e) override { add("char " + std::to_string(e.character)); }
    void onKey(const Vostrel::Core::KeyEvent& e) override
    {
        add(std::string("key ") + (e.pressed ? "down " : "up ") + std::to_string(e.key));
    }
    void onMouseMove(const Vostrel::Core::MouseEvent& e) override { mouse.push_back(e); }
    void onMouseButton(const Vostrel::Core::MouseEvent& e) override { buttons.push_back(e); }
    void onResize(const Vostrel::Core::ResizeEvent& e) override
    {
        add("resize " + std::to_string(e.width) + "x" + std::to_string(e.height));
    }
    void onClose(const Vostrel::Core::WindowEvent&) override { add("close"); }
    void onShow(const Vostrel::Core::VisibilityEvent&) override { add("show"); }
    void onHide(const Vostrel::Core::VisibilityEvent&) override { add("hide"); }
    void onFocus(const Vostrel::Core::FocusEvent& e) override { add(e.focused ? "focus" : "blur"); }

    void add(const std::string& line) { lines.push_back(line); }
    bool saw(const std::string& line) const
    {
        for (const std::string& seen : lines)
            if (seen == line)
                return true;
        return false;
    }

    std::vector<std::string> lines;
    std::vector<Vostrel::Core::MouseEvent> mouse;
    std::vector<Vostrel::Core::MouseEvent> buttons;
};

} // namespace WindowTestSupport

#pragma once

#include "Libs/Core/RenderWindow.h"
#include "Libs/Core/WindowParameters.h"
#include "Platform/Win32/Windows.h"

namespace Vostrel {
namespace Core {

// The render window over a Win32 window: makes the window (changing the
// display mode for full screen), pumps its messages and turns them into
// listener calls. The drawing side comes from the derived class.
class RenderWindowWin32 : public RenderWindow {
public:
    explicit RenderWindowWin32(const WindowParameters& parameters);
    ~RenderWindowWin32() override;

    int processMessages() override;
    bool isVisible() override;
    void setVisible(bool visible) override;
    void setRect(int x, int y, int width, int height) override;
    void setMinimumSize(int width, int height) override;
    void setMaximumSize(int width, int height) override;
    void setTitle(const std::string& title) override;
    void showCursor(bool show) override;
    // A new client size; the Direct3D window rebuilds its swap chain.
    virtual void resize(int width, int height);

    HWND getHandle() const { return handle; }
    static void registerWindowClass(WNDPROC procedure);

private:
    void create(const WindowParameters& parameters, bool sizeGiven);
    void tearDown();
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void minMaxInfo(MINMAXINFO& info);

    HINSTANCE instance;
    DEVMODEA fullscreenMode;
    HWND handle;
    HDC deviceContext;
    bool resizable;
    int borderWidth;
    int borderHeight;
    int lastMouseX;
    int lastMouseY;
    bool visible;
};

// The engine's key code of a Windows virtual key (its low 8 bits); 0 for
// keys without one.
int keyCodeFromVirtualKey(int virtualKey);

} // namespace Core
} // namespace Vostrel

#include "Libs/Core/RenderWindowWin32.h"

#include "Libs/Common/Exception.h"

#include <algorithm>
#include <cstring>

namespace Vostrel {
namespace Core {

namespace {

const char* const windowClassName = "RenderWindowWin32";
bool classRegistered = false;

} // namespace

int keyCodeFromVirtualKey(int virtualKey)
{
    virtualKey &= 0xFF;
    if (virtualKey >= '0' && virtualKey <= '9')
        return virtualKey;
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return virtualKey - 'A' + 'a';
    if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9)
        return 256 + virtualKey - VK_NUMPAD0;
    if (virtualKey >= VK_F1 && virtualKey <= VK_F15)
        return 282;
    switch (virtualKey) {
    case VK_BACK: return 8;
    case VK_TAB: return 9;
    case VK_CLEAR: return 12;
    case VK_RETURN: return 13;
    case VK_PAUSE: return 19;
    case VK_CAPITAL: return 301;
    case VK_ESCAPE: return 27;
    case VK_SPACE: return 32;
    case VK_PRIOR: return 280;
    case VK_NEXT: return 281;
    case VK_END: return 279;
    case VK_HOME: return 278;
    case VK_LEFT: return 276;
    case VK_UP: return 273;
    case VK_RIGHT: return 275;
    case VK_DOWN: return 274;
    case VK_SNAPSHOT: return 316;
    case VK_INSERT: return 277;
    case VK_DELETE: return 127;
    case VK_LWIN: return 311;
    case VK_RWIN: return 312;
    case VK_MULTIPLY: return 268;
    case VK_ADD: return 270;
    case VK_SEPARATOR: return 271;
    case VK_SUBTRACT: return 269;
    case VK_DECIMAL: return 266;
    case VK_DIVIDE: return 267;
    case VK_NUMLOCK: return 300;
    case VK_SCROLL: return 302;
    case VK_LSHIFT: return 304;
    case VK_RSHIFT: return 303;
    case VK_LCONTROL: return 306;
    case VK_RCONTROL: return 305;
    case VK_LMENU: return 308;
    case VK_RMENU: return 307;
    default: return 0;
    }
}

void RenderWindowWin32::registerWindowClass(WNDPROC procedure)
{
    if (classRegistered)
        return;
    WNDCLASSEXA windowClass;
    std::memset(&windowClass, 0, sizeof(windowClass));
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.lpszClassName = windowClassName;
    if (!RegisterClassExA(&windowClass))
        VOSTREL_THROW("RenderWindowWin32::registerWindowClass: failed to register window class.");
    classRegistered = true;
}

RenderWindowWin32::RenderWindowWin32(const WindowParameters& parameters)
    : instance(GetModuleHandleA(nullptr)), handle(nullptr), deviceContext(nullptr), resizable(false),
      borderWidth(0), borderHeight(0), lastMouseX(-1), lastMouseY(-1), visible(false)
{
    std::memset(&fullscreenMode, 0, sizeof(fullscreenMode));
    bool sizeGiven = parameters.width != -1 && parameters.height != -1;
    if (parameters.fullscreen && !sizeGiven)
        VOSTREL_THROW("RenderWindowWin32: invalid parameters, a fullscreen window request must describe the "
                      "window size");
    title = parameters.title;
    resizable = parameters.resizable && !parameters.fullscreen;
    if (sizeGiven) {
        width = parameters.width;
        height = parameters.height;
    }
    registerWindowClass(&RenderWindowWin32::windowProcedure);
    ShowCursor(parameters.showCursor ? TRUE : FALSE);
    cursorShown = parameters.showCursor;

    // From here on a failure undoes what was done so far: the cursor, the
    // display mode and the window.
    try {
        create(parameters, sizeGiven);
    } catch (...) {
        tearDown();
        throw;
    }
}

void RenderWindowWin32::create(const WindowParameters& parameters, bool sizeGiven)
{
    DWORD exStyle;
    DWORD style;
    int left = CW_USEDEFAULT;
    int top = CW_USEDEFAULT;
    if (!parameters.fullscreen) {
        if (parameters.x != -1 && parameters.y != -1) {
            left = parameters.x;
            top = parameters.y;
        }
        if (parameters.decorated) {
            exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
            style = WS_OVERLAPPEDWINDOW;
        } else {
            exStyle = WS_EX_APPWINDOW;
            style = WS_POPUP;
        }
    } else {
        fullscreenMode.dmSize = sizeof(fullscreenMode);
        fullscreenMode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        fullscreenMode.dmPelsWidth = static_cast<DWORD>(parameters.width);
        fullscreenMode.dmPelsHeight = static_cast<DWORD>(parameters.height);
        fullscreenMode.dmBitsPerPel = static_cast<DWORD>(parameters.fullscreenBitsPerPixel);
        if (ChangeDisplaySettingsA(&fullscreenMode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL)
            VOSTREL_THROW("failed to change to fullscreen mode " << parameters.width << "x" << parameters.height
                                                                  << "x" << parameters.fullscreenBitsPerPixel);
        exStyle = WS_EX_TOPMOST;
        style = WS_POPUP;
        fullscreen = true;
    }
    style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

    int outerWidth = CW_USEDEFAULT;
    int outerHeight = CW_USEDEFAULT;
    if (sizeGiven) {
        RECT rect = {0, 0, parameters.width, parameters.height};
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
        outerWidth = rect.right - rect.left;
        outerHeight = rect.bottom - rect.top;
    }
    handle = CreateWindowExA(exStyle, windowClassName, "Quintrel Window", style, left, top, outerWidth, outerHeight,
                             nullptr, nullptr, instance, nullptr);
    if (!handle)
        VOSTREL_THROW("RenderWindowWin32: failed to create window.");

    if (!fullscreen) {
        RECT client;
        RECT outer;
        GetClientRect(handle, &client);
        GetWindowRect(handle, &outer);
        width = client.right - client.left;
        height = client.bottom - client.top;
        borderWidth = (outer.right - outer.left) - width;
        borderHeight = (outer.bottom - outer.top) - height;
        x = outer.left;
        y = outer.top;
    }
    if (resizable) {
        minimumWidth = parameters.minWidth;
        minimumHeight = parameters.minHeight;
        maximumWidth = parameters.maxWidth;
        maximumHeight = parameters.maxHeight;
    } else {
        minimumWidth = maximumWidth = width;
        minimumHeight = maximumHeight = height;
    }
    setTitle(parameters.title);
    SetWindowLongA(handle, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));

    deviceContext = GetDC(handle);
    if (!deviceContext)
        VOSTREL_THROW("RenderWindowWin32: failed to get device context.");
    PIXELFORMATDESCRIPTOR descriptor;
    std::memset(&descriptor, 0, sizeof(descriptor));
    descriptor.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | (parameters.doubleBuffered ? PFD_DOUBLEBUFFER : 0);
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 24;
    descriptor.cDepthBits = static_cast<BYTE>(parameters.depthBits & 0xFF);
    descriptor.cStencilBits = static_cast<BYTE>(parameters.stencilBits & 0xFF);
    int format = ChoosePixelFormat(deviceContext, &descriptor);
    if (!format)
        VOSTREL_THROW("RenderWindowWin32: failed to find suitable pixel format .");
    if (!SetPixelFormat(deviceContext, format, &descriptor))
        VOSTREL_THROW("RenderWindowWin32: unable to set the requested pixel format.");

    if (fullscreen) {
        ShowWindow(handle, SW_SHOWNORMAL);
        BringWindowToTop(handle);
        SetForegroundWindow(handle);
    }
    setTitle(parameters.title);
}

RenderWindowWin32::~RenderWindowWin32()
{
    tearDown();
}

void RenderWindowWin32::tearDown()
{
    // The messages of the window's end (giving the desktop its mode back
    // moves and resizes it) find no object behind it.
    if (handle)
        SetWindowLongA(handle, GWL_USERDATA, 0);
    if (fullscreen)
        ChangeDisplaySettingsA(nullptr, 0);
    if (!cursorShown)
        ShowCursor(TRUE);
    if (handle) {
        if (deviceContext)
            ReleaseDC(handle, deviceContext);
        DestroyWindow(handle);
    }
}

int RenderWindowWin32::processMessages()
{
    MSG message;
    int count = 0;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
        ++count;
    }
    return count;
}

bool RenderWindowWin32::isVisible()
{
    return visible;
}

void RenderWindowWin32::setVisible(bool show)
{
    if (show == visible)
        return;
    visible = show;
    if (show) {
        ShowWindow(handle, SW_SHOWNORMAL);
        if (GetFocus() != handle)
            SetFocus(handle);
        notify(&WindowEventListener::onShow, VisibilityEvent{this, true});
    } else {
        ShowWindow(handle, SW_HIDE);
        notify(&WindowEventListener::onHide, VisibilityEvent{this, false});
    }
}

void RenderWindowWin32::setRect(int newX, int newY, int newWidth, int newHeight)
{
    if (fullscreen)
        return;
    if (!resizable) {
        newWidth = width;
        newHeight = height;
    }
    MoveWindow(handle, newX, newY, newWidth + borderWidth, newHeight + borderHeight, TRUE);
    x = newX;
    y = newY;
    width = newWidth;
    height = newHeight;
}

void RenderWindowWin32::setMinimumSize(int newWidth, int newHeight)
{
    if (!resizable || fullscreen)
        return;
    minimumWidth = newWidth;
    minimumHeight = newHeight;
    if (width < newWidth || height < newHeight)
        setRect(x, y, std::max(width, newWidth), std::max(height, newHeight));
}

void RenderWindowWin32::setMaximumSize(int newWidth, int newHeight)
{
    if (!resizable || fullscreen)
        return;
    maximumWidth = newWidth;
    maximumHeight = newHeight;
    if (width > newWidth || height > newHeight)
        setRect(x, y, std::min(width, newWidth), std::min(height, newHeight));
}

void RenderWindowWin32::setTitle(const std::string& newTitle)
{
    title = newTitle;
    SetWindowTextA(handle, title.c_str());
}

void RenderWindowWin32::showCursor(bool show)
{
    ShowCursor(show ? TRUE : FALSE);
    cursorShown = show;
}

void RenderWindowWin32::resize(int newWidth, int newHeight)
{
    width = newWidth;
    height = newHeight;
}

void RenderWindowWin32::minMaxInfo(MINMAXINFO& info)
{
    if (resizable) {
        info.ptMinTrackSize.x = minimumWidth + borderWidth;
        info.ptMinTrackSize.y = minimumHeight + borderHeight;
        info.ptMaxTrackSize.x = maximumWidth + borderWidth;
        info.ptMaxTrackSize.y = maximumHeight + borderHeight;
        return;
    }
    RECT rect = {0, 0, width, height};
    DWORD style = static_cast<DWORD>(GetWindowLongA(handle, GWL_STYLE));
    AdjustWindowRect(&rect, style, !(style & WS_CHILD) && GetMenu(handle) != nullptr);
    POINT size = {rect.right - rect.left, rect.bottom - rect.top};
    info.ptMaxSize = size;
    info.ptMinTrackSize = size;
    info.ptMaxTrackSize = size;
    RECT outer;
    GetWindowRect(handle, &outer);
    info.ptMaxPosition = {outer.left, outer.top};
}

LRESULT CALLBACK RenderWindowWin32::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<RenderWindowWin32*>(GetWindowLongA(window, GWL_USERDATA));
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER)
            return 0;
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_GETMINMAXINFO:
    case WM_MOVE:
    case WM_SIZE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_PAINT:
    case WM_CLOSE:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
        if (!self)
            return 0;
        return self->handleMessage(message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT RenderWindowWin32::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETMINMAXINFO:
        minMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_MOVE: {
        RECT outer;
        GetWindowRect(handle, &outer);
        x = outer.left;
        y = outer.top;
        notify(&WindowEventListener::onMove, MoveEvent{this, x, y});
        return 0;
    }
    case WM_SIZE: {
        int newWidth = LOWORD(lParam);
        int newHeight = HIWORD(lParam);
        if (!fullscreen)
            resize(newWidth, newHeight);
        notify(&WindowEventListener::onResize, ResizeEvent{this, newWidth, newHeight});
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        notify(&WindowEventListener::onFocus, FocusEvent{this, message == WM_SETFOCUS});
        return 0;
    case WM_PAINT: {
        RECT update;
        if (GetUpdateRect(handle, &update, TRUE))
            notify(&WindowEventListener::onPaint,
                   PaintEvent{this, update.left, update.top, update.right - update.left, update.bottom - update.top});
        return DefWindowProcA(handle, message, wParam, lParam);
    }
    case WM_CLOSE:
        notify(&WindowEventListener::onClose, WindowEvent{this});
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP: {
        int key = keyCodeFromVirtualKey(static_cast<int>(wParam & 0xFF));
        bool pressed = message == WM_KEYDOWN;
        setKeyState(key, pressed);
        notify(&WindowEventListener::onKey, KeyEvent{this, pressed, key});
        return 0;
    }
    case WM_CHAR:
        notify(&WindowEventListener::onChar, CharEvent{this, static_cast<int>(wParam), 1});
        return 0;
    case WM_MOUSEMOVE: {
        int mouseX = GET_X_LPARAM(lParam);
        int mouseY = GET_Y_LPARAM(lParam);
        if (lastMouseX == -1)
            lastMouseX = mouseX;
        if (lastMouseY == -1)
            lastMouseY = mouseY;
        notify(&WindowEventListener::onMouseMove,
               MouseEvent{this, mouseButtons, mouseButtons, mouseX, mouseY, mouseX - lastMouseX, mouseY - lastMouseY});
        lastMouseX = mouseX;
        lastMouseY = mouseY;
        return 0;
    }
    case WM_MOUSEWHEEL: {
        int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        int buttons = mouseButtons | (delta >= 1 ? 8 : 16);
        notify(&WindowEventListener::onMouseButton, MouseEvent{this, mouseButtons, buttons, GET_X_LPARAM(lParam),
                                                               GET_Y_LPARAM(lParam), 0, 0});
        return 0;
    }
    default: {
        // The button messages.
        int bit = 0;
        bool down = false;
        bool doubleClick = false;
        switch (message) {
        case WM_LBUTTONDOWN: bit = 1; down = true; break;
        case WM_LBUTTONUP: bit = 1; break;
        case WM_LBUTTONDBLCLK: doubleClick = true; break;
        case WM_RBUTTONDOWN: bit = 2; down = true; break;
        case WM_RBUTTONUP: bit = 2; break;
        case WM_RBUTTONDBLCLK: doubleClick = true; break;
        case WM_MBUTTONDOWN: bit = 4; down = true; break;
        case WM_MBUTTONUP: bit = 4; break;
        case WM_MBUTTONDBLCLK: doubleClick = true; break;
        default: return DefWindowProcA(handle, message, wParam, lParam);
        }
        int previous = mouseButtons;
        int buttons = doubleClick ? previous : down ? (previous | bit) : (previous & ~bit);
        notify(&WindowEventListener::onMouseButton,
               MouseEvent{this, previous, buttons, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), 0, 0});
        mouseButtons = buttons;
        return 0;
    }
    }
}

} // namespace Core
} // namespace Vostrel

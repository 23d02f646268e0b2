#pragma once

#include "Platform/Win32/Host.h"
#include "Tests/Support/SdlEvents.h"

#include <SDL.h>

#include <string>
#include <vector>

// A window procedure that records what reaches it, then behaves as Win32's
// default procedure.
struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<Received>& received()
{
    static std::vector<Received> log;
    return log;
}

inline LRESULT CALLBACK recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    received().push_back({message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

inline std::vector<Received> receivedOf(UINT message)
{
    std::vector<Received> result;
    for (const Received& entry : received())
        if (entry.message == message)
            result.push_back(entry);
    return result;
}

inline void registerRecorderClass()
{
    static bool done = false;
    if (done)
        return;
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = recordingProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "Recorder";
    RegisterClassExA(&windowClass);
    done = true;
}

// A framed window whose client area is width x height at (x, y).
inline HWND createRecorderWindow(int x, int y, int width, int height, DWORD style = WS_OVERLAPPEDWINDOW)
{
    registerRecorderClass();
    RECT rect = {0, 0, width, height};
    AdjustWindowRectEx(&rect, style, FALSE, WS_EX_APPWINDOW);
    return CreateWindowExA(WS_EX_APPWINDOW, "Recorder", "test", style, x, y, rect.right - rect.left,
                           rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// Drains the queue the way the render window does.
inline int pumpMessages()
{
    MSG msg;
    int count = 0;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        ++count;
    }
    return count;
}

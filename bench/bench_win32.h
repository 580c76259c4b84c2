#pragma once

// What the Windows bench programs share: their clock, and a window made as the driver makes its own.
#include <windows.h>

// The performance counter in microseconds.
inline double NowUs() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

// A top-level window whose class and name are `name`. With `minimiseHide` it is minimised and then
// hidden, as the driver's start-up does with its main window: under Wine on an X server without a
// window manager, that waits for the X server to withdraw the window.
inline HWND MakeWindow(const wchar_t* name, WNDPROC proc, bool minimiseHide) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(name, name, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window != nullptr && minimiseHide) {
        ShowWindow(window, SW_MINIMIZE);
        UpdateWindow(window);
        ShowWindow(window, SW_HIDE);
        UpdateWindow(window);
    }
    return window;
}

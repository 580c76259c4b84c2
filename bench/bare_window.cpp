// bare-window.exe: the yardstick of two benchmarks. A GUI program, linked as lodevar.exe is, that
// does the least a resident driver must: a window class, a hidden top-level window (class and name
// "Lodevar bench window", answering every WM_COPYDATA with 1 and closing on WM_CLOSE), the start-up
// event a launcher waits on set as the driver sets it, the message loop. With --minimise-hide it
// minimises and then hides its window before the signal, as the driver's start-up must: under Wine
// on an X server without a window manager that waits for the X server to withdraw the window.
#include <windows.h>

#include <cstring>

namespace {

constexpr wchar_t kWindowName[] = L"Lodevar bench window";
constexpr wchar_t kStartupEvent[] = L"WAIT FOR THE LODEVAR TO INITIALIZED....";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COPYDATA:
            return 1;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine, int /*show*/) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowName;
    if (RegisterClassW(&windowClass) == 0) {
        return 1;
    }
    HWND window = CreateWindowW(kWindowName, kWindowName, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    if (commandLine != nullptr && std::strstr(commandLine, "--minimise-hide") != nullptr) {
        ShowWindow(window, SW_MINIMIZE);
        UpdateWindow(window);
        ShowWindow(window, SW_HIDE);
        UpdateWindow(window);
    }
    if (HANDLE started = OpenEventW(EVENT_MODIFY_STATE, FALSE, kStartupEvent)) {
        SetEvent(started);
        CloseHandle(started);
    }
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    return 0;
}

// bare-window.exe [--minimise-hide]: the yardstick of two benchmarks. A GUI program, linked as
// lodevar.exe is, that does the least a resident driver must: a hidden window of class and name
// "Lodevar bench window" that answers every WM_COPYDATA with 1 and closes on WM_CLOSE, the start-up
// event a launcher waits on set as the driver sets it, the message loop. With --minimise-hide the
// window is minimised and hidden before the signal, as the driver's start-up must.
#include <cstring>

#include "bench/bench_win32.h"

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        return 1;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    const bool minimiseHide =
        commandLine != nullptr && std::strstr(commandLine, "--minimise-hide") != nullptr;
    if (MakeWindow(L"Lodevar bench window", WindowProc, minimiseHide) == nullptr) {
        return 1;
    }
    if (HANDLE started = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"WAIT FOR THE LODEVAR TO INITIALIZED....")) {
        SetEvent(started);
        CloseHandle(started);
    }
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    return 0;
}

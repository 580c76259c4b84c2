#pragma once

#include <windows.h>

#include "os/window.h"

namespace win32 {

// The driver's windows through the Win32 window manager. Every window made here has the same
// window procedure: it hands each message to the window's IWindowProc (kept in GWLP_USERDATA from
// WM_NCCREATE on) as an os::Message and runs DefWindowProc for what the logic leaves unhandled.
// The windows are Unicode windows; every text the seam hands over is code page 949.
class CWin32Windows : public os::IWindows {
public:
    CWin32Windows();

    bool RegisterMainClass(const char* className) override;
    os::Window CreateMainWindow(const char* className, const char* windowName,
                                os::IWindowProc& proc) override;
    os::Window CreateGateWindow(os::Window parent, os::IWindowProc& proc) override;
    void Destroy(os::Window window) override;
    bool IsWindow(os::Window window) override;
    void Show(os::Window window, int showCommand) override;
    void SetText(os::Window window, const char* text) override;
    bool Post(os::Window window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void PostQuit() override;
    std::intptr_t SendCopyData(os::Window target, os::Window from, std::uintptr_t tag, const void* data,
                               std::uint32_t size) override;
    void SetTimer(os::Window window, std::uintptr_t id, std::uint32_t periodMs) override;
    void KillTimer(os::Window window, std::uintptr_t id) override;

    // win32_tray.cpp
    bool AddTrayIcon(os::Window owner, std::uint32_t id, std::uint32_t callbackMessage,
                     const char* tip) override;
    void DeleteTrayIcon(os::Window owner, std::uint32_t id) override;
    bool SetTrayTip(os::Window owner, std::uint32_t id, const char* tip) override;
    bool ShowTrayBalloon(os::Window owner, std::uint32_t id, const char* title, const char* text,
                         bool warning) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Lets the messages that other programs send to the driver's windows through when the driver
    // runs at a higher integrity level than they do.
    static void AllowFromLowerIntegrity(HWND window);
    const wchar_t* GateClass();

    HINSTANCE m_hInstance;
    ATOM m_gateClass = 0;
};

// Converts between the seam's integer window handles and HWND.
inline HWND ToHwnd(os::Window window) {
    return reinterpret_cast<HWND>(window);
}

inline os::Window FromHwnd(HWND window) {
    return reinterpret_cast<os::Window>(window);
}

}  // namespace win32

#pragma once

#include <cstdint>

#include "os/handle.h"

namespace os {

// A window handle (HWND on the real platform). 0 means "none".
using Window = std::uintptr_t;

// Window messages the driver handles or sends, with their Win32 values.
constexpr std::uint32_t kWmCreate = 0x0001;
constexpr std::uint32_t kWmDestroy = 0x0002;
constexpr std::uint32_t kWmClose = 0x0010;
constexpr std::uint32_t kWmQueryEndSession = 0x0011;
constexpr std::uint32_t kWmEndSession = 0x0016;
constexpr std::uint32_t kWmCopyData = 0x004A;
constexpr std::uint32_t kWmCommand = 0x0111;
constexpr std::uint32_t kWmTimer = 0x0113;
constexpr std::uint32_t kWmLButtonUp = 0x0202;
constexpr std::uint32_t kWmRButtonUp = 0x0205;
// The shell's "TaskbarCreated" broadcast (a registered message on the real platform) reaches the
// driver's windows under this fixed number.
constexpr std::uint32_t kWmTaskbarCreated = 0x8FFF;

// The driver's private messages that come from outside its own code: the tray icon's callback
// (sent by the shell), the quiet close (other programs) and a gate's queued request (posted by the
// gate to itself). The platform lets them through where the driver runs at a higher integrity
// level than the programs that send them.
constexpr std::uint32_t kWmTrayNotify = 1324;
constexpr std::uint32_t kWmCloseQuiet = 2023;
constexpr std::uint32_t kWmGateRequest = 2025;

// The answer of the operator's settings dialog or close question (os/desktop.h): sent to the main
// window by the platform, from within the driver's own process, and not let through from programs
// of a lower integrity level.
constexpr std::uint32_t kWmOperatorAnswer = 2030;

// Show commands.
constexpr int kShowHide = 0;      // SW_HIDE
constexpr int kShowMinimize = 6;  // SW_MINIMIZE

// One window message as the driver's logic sees it. For WM_COPYDATA the platform has already
// taken the block out of its COPYDATASTRUCT: `copyTag` (dwData), `copySize` (cbData) and
// `copyData` (lpData, exactly `copySize` bytes, or null).
struct Message {
    std::uint32_t id = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::uintptr_t copyTag = 0;
    std::uint32_t copySize = 0;
    void* copyData = nullptr;
};

struct MessageResult {
    bool handled = false;  // false: the platform's default processing runs
    std::intptr_t value = 0;
};

// The logic behind one window: the platform calls it for every message of that window.
class IWindowProc {
public:
    virtual ~IWindowProc() = default;
    virtual MessageResult OnMessage(Window self, const Message& message) = 0;
};

// The driver's windows, timers, tray icon and messages.
class IWindows {
public:
    virtual ~IWindows() = default;

    // Registers the main window's class (styles CS_VREDRAW | CS_HREDRAW | CS_NOCLOSE, application
    // icon 128, no cursor, brush or menu) unless it is registered already; false on failure.
    virtual bool RegisterMainClass(const char* className) = 0;
    // Creates the hidden top-level main window; WM_CREATE has reached `proc` when this returns.
    // 0 when creation fails (also when WM_CREATE answered -1).
    virtual Window CreateMainWindow(const char* className, const char* windowName, IWindowProc& proc) = 0;
    // Creates a gate: an invisible child of `parent` of an anonymous class (CS_VREDRAW |
    // CS_HREDRAW | CS_DBLCLKS), no name, WS_CHILD | WS_VISIBLE, rectangle (0, 0, 0, 0), child id 1.
    virtual Window CreateGateWindow(Window parent, IWindowProc& proc) = 0;
    // Destroys a window; WM_DESTROY reaches its logic (the parent's first, then its children's).
    virtual void Destroy(Window window) = 0;
    virtual bool IsWindow(Window window) = 0;
    virtual void Show(Window window, int showCommand) = 0;
    virtual void SetText(Window window, const char* text) = 0;
    virtual bool Post(Window window, std::uint32_t message, std::uintptr_t wParam = 0,
                      std::intptr_t lParam = 0) = 0;
    // Ends the message loop once the current message has been handled.
    virtual void PostQuit() = 0;
    // Sends WM_COPYDATA synchronously; wParam is `from`. The receiver's result, 0 when the target is
    // not a window or does not take the message within a bounded time (5 s on the real platform).
    virtual std::intptr_t SendCopyData(Window target, Window from, std::uintptr_t tag, const void* data,
                                       std::uint32_t size) = 0;
    virtual void SetTimer(Window window, std::uintptr_t id, std::uint32_t periodMs) = 0;
    virtual void KillTimer(Window window, std::uintptr_t id) = 0;

    // The notification-area icon (application icon 128) with its callback message and tip.
    virtual bool AddTrayIcon(Window owner, std::uint32_t id, std::uint32_t callbackMessage,
                             const char* tip) = 0;
    virtual void DeleteTrayIcon(Window owner, std::uint32_t id) = 0;
    // Changes the tip of the icon (at most 127 characters are shown).
    virtual bool SetTrayTip(Window owner, std::uint32_t id, const char* tip) = 0;
    // Shows a balloon at the icon with a title and a text, with the warning sign or the information one.
    virtual bool ShowTrayBalloon(Window owner, std::uint32_t id, const char* title, const char* text,
                                 bool warning) = 0;
};

}  // namespace os

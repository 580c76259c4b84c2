#include "os/win32/win32_pump.h"

#include <windows.h>

namespace win32 {

// The wait loops look at the queue between their waits, never to go idle: PM_NOYIELD, so that a look
// that finds nothing does not yield the processor (under Wine a sched_yield, which on a busy machine
// hands it to another program in the middle of an exchange). The main message loop still lets a
// WaitForInputIdle caller go when it waits.
bool CWin32Pump::DispatchOne() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
        return false;
    }
    if (msg.message == WM_QUIT) {
        // A wait loop must not swallow the end of the program: leave the quit for the main loop.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return true;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

bool CWin32Pump::PeekKeyMessage(os::KeyMessage& key) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, os::kWmKeyFirst, os::kWmKeyLast, PM_NOREMOVE | PM_NOYIELD)) {
        return false;
    }
    key.message = msg.message;
    key.wParam = msg.wParam;
    return true;
}

}  // namespace win32

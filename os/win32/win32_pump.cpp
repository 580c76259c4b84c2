#include "os/win32/win32_pump.h"

#include <windows.h>

namespace win32 {

bool CWin32Pump::DispatchOne() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
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
    if (!PeekMessageA(&msg, nullptr, os::kWmKeyFirst, os::kWmKeyLast, PM_NOREMOVE)) {
        return false;
    }
    key.message = msg.message;
    key.wParam = msg.wParam;
    return true;
}

}  // namespace win32

#include "os/win32/win32_clock.h"

#include <windows.h>

namespace win32 {

std::uint32_t CWin32Clock::Ticks() {
    return GetTickCount();
}

void CWin32Clock::Sleep(std::uint32_t ms) {
    ::Sleep(ms);
}

void CWin32Clock::Idle() {
    // MWMO_INPUTAVAILABLE: a message that is already in the queue (one a PeekMessage has seen but
    // left there) ends the wait at once, not only one that arrives during it.
    MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

}  // namespace win32

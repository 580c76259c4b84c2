#pragma once

#include "os/platform.h"
#include "os/win32/win32_clock.h"
#include "os/win32/win32_desktop.h"
#include "os/win32/win32_library.h"
#include "os/win32/win32_module.h"
#include "os/win32/win32_pump.h"
#include "os/win32/win32_serial.h"
#include "os/win32/win32_system.h"
#include "os/win32/win32_windows.h"

namespace win32 {

// The real platform of the Windows programs: one per program, used on the GUI thread.
class CWin32Platform {
public:
    CWin32Platform() : m_platform{serial, clock, pump, library, desktop, module, windows, system} {}
    CWin32Platform(const CWin32Platform&) = delete;
    CWin32Platform& operator=(const CWin32Platform&) = delete;

    os::Platform& Platform() { return m_platform; }

    CWin32Serial serial;
    CWin32Clock clock;
    CWin32Pump pump;
    CWin32LibraryLoader library;
    CWin32Desktop desktop;
    CWin32Module module;
    CWin32Windows windows;
    CWin32System system;

private:
    os::Platform m_platform;
};

}  // namespace win32

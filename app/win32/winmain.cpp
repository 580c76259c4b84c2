// lodevar.exe: the resident driver. Brings the application up on the real platform and runs the
// thread's message loop until the main window has closed.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>

#include "app/lodevar_app.h"
#include "os/win32/win32_library.h"
#include "os/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    // Before anything can load a DLL by name.
    win32::HardenDllSearch();
    // The manifest asks for version 6 of the common controls: load them before any dialog.
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    win32::CWin32Platform platform;
    CLodevarApp app(platform.Platform());
    if (!app.InitInstance(__argc, __argv)) {
        return 1;
    }
    MSG msg{};
    BOOL got = FALSE;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) {
            return 1;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

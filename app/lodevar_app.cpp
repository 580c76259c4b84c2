// Start-up: the main window, the printer open and the start-up signal.
#include "app/lodevar_app.h"

#include <cstring>

namespace {

// Sets the start-up signal and releases the handle; nothing when the launcher made no event.
void Signal(os::ISystem& system, os::Handle event) {
    if (event != 0) {
        system.SetEvent(event);
        system.CloseHandle(event);
    }
}

}  // namespace

bool CLodevarApp::HasNoInitArgument(int argc, const char* const* argv) {
    bool found = false;
    for (int i = 1; i < argc && argv != nullptr; ++i) {
        const char* argument = argv[i];
        if (argument != nullptr && (argument[0] == '-' || argument[0] == '/') &&
            std::strcmp(argument + 1, "noinit") == 0) {
            found = true;
        }
    }
    return found;
}

bool CLodevarApp::InitInstance(int argc, const char* const* argv) {
    os::ISystem& system = m_pPlatform->system;
    os::IWindows& windows = m_pPlatform->windows;
    os::Handle started = system.OpenNamedEvent(kStartupEventName);

    if (!windows.RegisterMainClass(kMainWindowName)) {
        // The one failure that ends without the signal.
        if (started != 0) {
            system.CloseHandle(started);
        }
        return false;
    }
    m_pMainWnd = std::make_unique<CMainFrame>(*m_pPlatform);
    if (!m_pMainWnd->Create()) {
        m_pMainWnd.reset();
        Signal(system, started);
        return false;
    }

    bool init = !HasNoInitArgument(argc, argv);
    windows.Show(m_pMainWnd->Window(), os::kShowHide);
    if (init) {
        m_pMainWnd->OpenPrinter(1);  // a failure has been put to the operator already
    }
    Signal(system, started);
    return true;
}

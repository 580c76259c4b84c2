#pragma once

#include <memory>

#include "app/main_frame.h"
#include "os/platform.h"

// The named event a launcher may create and wait on; the driver only opens and sets it.
inline constexpr char kStartupEventName[] = "WAIT FOR THE LODEVAR TO INITIALIZED....";

// The application: brings the driver up (main window, settings, tray icon, printer) and signals
// the launcher. The platform's message loop runs afterwards until the main window is destroyed.
class CLodevarApp {
public:
    explicit CLodevarApp(os::Platform& platform) : m_pPlatform(&platform) {}

    // Start-up with the program's arguments (argv[0] is the program). True when the message loop
    // is to run; false when start-up failed and the program ends.
    bool InitInstance(int argc, const char* const* argv);

    // True when an argument after the program name is "-noinit" or "/noinit", exactly.
    static bool HasNoInitArgument(int argc, const char* const* argv);

    CMainFrame* MainFrame() { return m_pMainWnd.get(); }

private:
    os::Platform* m_pPlatform;
    std::unique_ptr<CMainFrame> m_pMainWnd;
};

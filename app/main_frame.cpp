// The main window: construction, creation, and the dispatch of its messages and commands.
#include "app/main_frame.h"

#include <cstdio>

#include "app/dialogs.h"
#include "gate/gate.h"

CMainFrame::CMainFrame(os::Platform& platform)
    : m_comm(platform), m_log(platform.system), m_pPlatform(&platform) {}

CMainFrame::~CMainFrame() {
    // The window normally goes before its object; if it has not, it goes now, so that no message
    // can reach this object once it is gone.
    if (WindowAlive()) {
        Platform().windows.Destroy(m_hWnd);
    }
    m_pMsrGate = nullptr;
    m_mapGate.clear();
    m_listGate.clear();
    m_releasedGates.clear();
    m_gates.clear();
}

bool CMainFrame::Create() {
    m_hWnd = Platform().windows.CreateMainWindow(m_szClassName, m_szWindowName, *this);
    return m_hWnd != 0;
}

bool CMainFrame::WindowAlive() {
    return m_hWnd != 0 && Platform().windows.IsWindow(m_hWnd);
}

os::MessageResult CMainFrame::OnMessage(os::Window self, const os::Message& message) {
    switch (message.id) {
        case os::kWmCreate:
            m_hWnd = self;
            return {true, OnCreate()};
        case os::kWmClose:
            OnClose();
            return {true, 0};
        case WM_CLOSEQUIET:
            OnCloseQuiet();
            return {true, 0};
        case os::kWmQueryEndSession:
            return {true, OnQueryEndSession() ? 1 : 0};
        case os::kWmEndSession:
            OnEndSession(message.wParam != 0);
            return {true, 0};
        case os::kWmDestroy:
            OnDestroy();
            return {false, 0};
        case os::kWmTimer:
            if (message.wParam == kRetryTimerId) {
                OnRetryTimer();
                return {true, 0};
            }
            OnTimer();
            return {false, 0};
        case WM_TRAYNOTIFY:
            OnTrayNotify(message.lParam);
            return {true, 1};
        case os::kWmCommand:
            OnCommand(static_cast<int>(message.wParam & 0xFFFF));
            return {true, 0};
        case os::kWmCopyData:
            return {true, OnCopyData(static_cast<os::Window>(message.wParam), message)};
        case os::kWmTaskbarCreated:
            OnTaskbarCreated();
            return {true, 0};
        case WM_EXCHANGEDONE:
            OnExchangeDone();
            return {true, 0};
        case os::kWmOperatorAnswer:
            OnOperatorAnswer(message.wParam);
            return {true, 0};
        default:
            return {};
    }
}

int CMainFrame::OnCreate() {
    LoadSettings();
    if (m_log.Enabled()) {
        char detail[400];
        std::snprintf(detail, sizeof(detail), "Lodevar %s pid %u %s", LODEVAR_VERSION,
                      Platform().system.ProcessId(), Platform().module.FileName(260).c_str());
        m_log.Write("START", detail);
        LogSettings("SETTINGS");
    }
    AddTrayIcon();
    os::IWindows& windows = Platform().windows;
    windows.Show(m_hWnd, os::kShowMinimize);
    windows.SetText(m_hWnd, m_szWindowName);
    if (MonitorEnabled()) {
        StartMonitor();
    }
    return 0;
}

void CMainFrame::OnCommand(int command) {
    switch (command) {
        case ID_TRAY_INIT:
            OnInitPrinter();
            break;
        case ID_TRAY_CONFIG:
            OnTrayConfig();
            break;
        case ID_TRAY_EXIT:
            // WM_CLOSE to the window itself, handled before the command returns.
            OnClose();
            break;
        case ID_APP_ABOUT:
            CAboutDlg(Platform().desktop, m_hWnd).Open();
            break;
        default:
            break;
    }
}

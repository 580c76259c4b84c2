// The notification-area icon and its menu.
#include "app/main_frame.h"
#include "device/bounded_text.h"

void CMainFrame::AddTrayIcon() {
    // The icon's tip holds 128 bytes: at most 127 characters of m_strTip.
    char tip[128];
    CopyBounded(tip, static_cast<int>(sizeof(tip)), m_strTip.c_str(), 1);
    Platform().windows.AddTrayIcon(m_hWnd, kTrayIconId, WM_TRAYNOTIFY, tip);
}

void CMainFrame::OnTrayNotify(std::intptr_t mouseMessage) {
    // Only a released button opens the menu; moving over the icon or pressing a button does not.
    if (mouseMessage == os::kWmLButtonUp || mouseMessage == os::kWmRButtonUp) {
        Platform().windows.ShowTrayMenu(m_hWnd);
    }
}

void CMainFrame::OnTaskbarCreated() {
    // The shell restarted and forgot the icon.
    AddTrayIcon();
}

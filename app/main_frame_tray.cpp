// The notification-area icon: its menu, and its tip and balloons, which show the printer's state.
#include "app/main_frame.h"
#include "device/bounded_text.h"
#include "device/texts.h"

std::string CMainFrame::TrayTip() const {
    return m_strTrayState.empty() ? m_strTip : m_strTip + "\n" + m_strTrayState;
}

void CMainFrame::AddTrayIcon() {
    // The icon's tip holds 128 bytes: at most 127 characters.
    char tip[128];
    CopyBounded(tip, static_cast<int>(sizeof(tip)), TrayTip().c_str(), 1);
    Platform().windows.AddTrayIcon(m_hWnd, kTrayIconId, WM_TRAYNOTIFY, tip);
}

void CMainFrame::SetTrayState(const std::string& state) {
    if (state == m_strTrayState) {
        return;
    }
    m_strTrayState = state;
    char tip[128];
    CopyBounded(tip, static_cast<int>(sizeof(tip)), TrayTip().c_str(), 1);
    Platform().windows.SetTrayTip(m_hWnd, kTrayIconId, tip);
}

void CMainFrame::DeviceOpened() {
    SetTrayState(text::kInitDone);
    if (m_nLinkState == 2) {
        Platform().windows.ShowTrayBalloon(m_hWnd, kTrayIconId, kAppTitle, text::kInitDone, false);
    }
    m_nLinkState = 1;
}

void CMainFrame::DeviceOpenFailed() {
    // The question that follows tells the operator; the tip keeps the reason.
    SetTrayState(m_comm.m_strError);
    m_nLinkState = 2;
}

void CMainFrame::DeviceLost() {
    SetTrayState(text::kLinkLost);
    if (m_nLinkState != 2) {
        Platform().windows.ShowTrayBalloon(m_hWnd, kTrayIconId, kAppTitle, text::kLinkLost, true);
    }
    m_nLinkState = 2;
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

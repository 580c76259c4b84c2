// The notification-area icon: its menu, its tip and balloons (which show the printer's state), and
// the UI the operator opens from it.
//
// The tray menu, the About box, the settings dialog and the close question (of the tray's exit, a
// client's shut-down request or WM_CLOSE) run beside the driver's work: the desktop opens them and
// returns at once, and the main window's thread never sits in a modal loop for as long as the
// operator leaves them open. Otherwise a printer exchange that is waiting further down the stack
// (a passbook wait, a status answer) would stand still under that loop: a passbook put in would not
// be taken, an answer that arrived would be judged late, and every other client would get 85 all
// the while. The operator's choice comes back as a message: the menu's item as WM_COMMAND, the
// settings dialog's and the close question's answers as kWmOperatorAnswer. Both are sent, not
// posted, so that neither is lost to a full message queue, and both may arrive in the middle of an
// exchange, where the usual rules apply: a settings OK is taken over, with its open, when the
// exchange has ended, and so is a confirmed close.
//
// Only the questions of a printer open (the retry question and the library's boxes) stay modal on
// the main window's thread: the open waits for their answer anyway. A quiet close or the end of the
// session ends them as "no" (app/main_frame_close.cpp).
#include "app/main_frame.h"
#include "base/bounded_text.h"
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
        Platform().desktop.OpenTrayMenu(m_hWnd);
    }
}

void CMainFrame::OnTaskbarCreated() {
    // The shell restarted and forgot the icon.
    AddTrayIcon();
}

void CMainFrame::OnOperatorAnswer(std::uintptr_t ui) {
    const auto which = static_cast<os::OperatorUi>(ui);
    os::OperatorAnswer answer;
    if (!Platform().desktop.TakeAnswer(which, answer)) {
        return;  // not an answer of the desktop's
    }
    if (which == os::OperatorUi::kSettings) {
        OnSettingsAnswer(answer);
    } else if (which == os::OperatorUi::kCloseQuestion) {
        OnCloseAnswer(answer.result == os::kIdOk);
    }
}

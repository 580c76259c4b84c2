// The notification-area icon, its menu, and the UI the operator opens from it.
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

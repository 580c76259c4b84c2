// Closing the main window: with the operator's confirmation while clients are registered, quietly
// on WM_CLOSEQUIET, and the destruction that follows.
//
// A declined close leaves a running MSR wait exactly as it was: timer 1 is not touched before the
// question, keeps ticking while the question is up, and keeps running after "No", so the client
// that is waiting for stripe data still gets it. Only the closing steps stop the timer.
//
// A close that arrives during a printer exchange (through a message dispatched by one of its waits)
// is deferred until the exchange has ended: neither the window nor the link goes while code that
// uses them is still on the stack.
#include "app/main_frame.h"
#include "device/texts.h"
#include "gate/gate.h"

void CMainFrame::OnClose() {
    if (!WindowAlive()) {
        return;
    }
    if (ExchangeRunning()) {
        m_bCloseDeferred = 1;
        return;
    }
    if (m_bAskingClose != 0) {
        return;  // the question already up answers this close too
    }
    if (!m_listGate.empty()) {
        m_bAskingClose = 1;
        bool yes = Platform().desktop.MessageBoxYesNo(m_hWnd, text::kCloseQuestion, kAppTitle);
        m_bAskingClose = 0;
        if (!yes || !WindowAlive()) {
            return;
        }
    }
    ClosingSteps();
}

void CMainFrame::OnCloseQuiet() {
    if (!WindowAlive()) {
        return;
    }
    m_log.Write("QUIET CLOSE", ExchangeRunning() ? "during a printer exchange" : "");
    if (ExchangeRunning()) {
        // The running exchange may wait without end (a passbook wait): it is interrupted, answers
        // 242, and the close runs as soon as it has returned.
        m_bQuietCloseDeferred = 1;
        m_comm.InterruptWaits();
        return;
    }
    ClosingSteps();
}

void CMainFrame::ClosingSteps() {
    os::IWindows& windows = Platform().windows;
    m_log.Write("END", "");
    if (m_bMsrWait != 0) {
        windows.KillTimer(m_hWnd, kMsrTimerId);
        m_bMsrWait = 0;
    }
    DestroyAllGates();
    RemoveAllGates();
    windows.DeleteTrayIcon(m_hWnd, kTrayIconId);
    windows.Destroy(m_hWnd);
    windows.PostQuit();
}

void CMainFrame::OnDestroy() {
    // Gates of the map whose window still exists go with the main window; a gate whose window a
    // client has already closed is left as it is.
    os::IWindows& windows = Platform().windows;
    for (auto entry = m_mapGate.begin(); entry != m_mapGate.end();) {
        CGate* gate = entry->second;
        if (gate != nullptr && windows.IsWindow(gate->m_hWnd)) {
            windows.Destroy(gate->m_hWnd);
            DeleteGate(gate);
            entry = m_mapGate.erase(entry);
        } else {
            ++entry;
        }
    }
    DeleteReleasedGates();
}

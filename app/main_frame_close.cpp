// Closing the main window: with the operator's confirmation while clients are registered, quietly
// on WM_CLOSEQUIET, at the end of the Windows session, and the destruction that follows.
//
// A declined close leaves a running MSR wait exactly as it was: timer 1 is not touched before the
// question, keeps ticking while the question is open, and keeps running after "No", so the client
// that is waiting for stripe data still gets it. Only the closing steps stop the timer.
//
// The close question runs beside the driver's work (app/main_frame_tray.cpp): asking it holds
// nothing up, and its answer comes later. A close that arrives during a printer exchange (through a
// message dispatched by one of its waits), or is confirmed during one, runs when the exchange has
// ended: neither the window nor the link goes while code that uses them is still on the stack.
//
// A quiet close always ends the driver, whoever is waiting for what: the running exchange is
// interrupted (its waits end at once and its request answers 242), a question of an open that is
// up (the retry question, the library's boxes) ends as "no", and the operator's open UI is closed
// without an answer. At the end of the session the closing steps cannot wait for the exchange to
// unwind, since the process may be ended as soon as the message has been answered: they run at
// once, and the port is closed with them.
#include "app/main_frame.h"
#include "device/texts.h"
#include "gate/gate.h"

void CMainFrame::OnClose() {
    if (!WindowAlive() || m_bAskingClose != 0) {
        return;  // the question already open answers this close too
    }
    if (!m_listGate.empty()) {
        if (Platform().desktop.OpenCloseQuestion(m_hWnd, text::kCloseQuestion, kAppTitle)) {
            m_bAskingClose = 1;
        }
        return;
    }
    if (ExchangeRunning()) {
        m_bCloseDeferred = 1;  // asked again, or closed, when the exchange has ended
        return;
    }
    ClosingSteps();
}

void CMainFrame::OnCloseAnswer(bool yes) {
    m_bAskingClose = 0;
    if (!yes || !WindowAlive()) {
        return;
    }
    if (ExchangeRunning()) {
        m_bQuietCloseDeferred = 1;  // confirmed: the closing steps once the exchange has ended
        return;
    }
    ClosingSteps();
}

void CMainFrame::OnCloseQuiet() {
    if (!WindowAlive()) {
        return;
    }
    m_log.Write("QUIET CLOSE", ExchangeRunning() ? "during a printer exchange" : "");
    if (ExchangeRunning()) {
        // The running exchange may wait without end (a passbook that never comes, an operator who
        // does not answer): it is interrupted, answers 242, and the close runs once it has returned.
        m_bQuietCloseDeferred = 1;
        m_comm.InterruptWaits();
        Platform().desktop.CancelModal();
        return;
    }
    ClosingSteps();
}

bool CMainFrame::OnQueryEndSession() {
    return true;  // nothing the driver holds is worth keeping a session for
}

void CMainFrame::OnEndSession(bool ending) {
    if (!ending || !WindowAlive()) {
        return;
    }
    m_comm.InterruptWaits();
    Platform().desktop.CancelModal();
    ClosingSteps();
    m_comm.ClosePort();
    m_comm.m_bOpen = 0;
}

void CMainFrame::ClosingSteps() {
    os::IWindows& windows = Platform().windows;
    m_log.Write("END", "");
    Platform().desktop.CloseOperatorUi();
    m_bAskingClose = 0;
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
        if (gate != nullptr && windows.IsWindow(gate->Window())) {
            windows.Destroy(gate->Window());
            DeleteGate(gate);
            entry = m_mapGate.erase(entry);
        } else {
            ++entry;
        }
    }
    // At the end of a session the window goes in the middle of an exchange, whose gate may be one
    // of these: they are deleted with the main window object then.
    if (!ExchangeRunning()) {
        DeleteReleasedGates();
    }
}

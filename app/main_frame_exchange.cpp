// Re-entrancy. The driver's work runs on one thread, but the link's waits and the questions of an
// open dispatch window messages, so a tray command, a settings OK, a close or a timer tick can
// arrive in the middle of a printer exchange. Each exchange the main window runs (an open, a device
// operation, the initialise of the tray menu, an MSR poll) is marked with CExchange. While one runs:
//   - OpenPrinter does not start: it answers 242 and leaves the device to the running exchange;
//   - a timer tick does not poll;
//   - the tray's initialise, a settings OK and a close (confirmed, or without clients) are noted
//     and run once the exchange has ended, from the message loop (WM_EXCHANGEDONE), closes first;
//   - a released gate object is kept until then;
//   - a gate's queued requests wait, and their messages are posted again then (gate/gate.cpp has
//     the gates' side of the rule);
//   - a WM_CLOSEQUIET interrupts it: its waits end at once, a question of the open ends as "no" and
//     its request answers 242, so that the close is not held up by a wait without end (a passbook
//     that never comes, an operator who does not answer).
// When the outermost exchange ends on a link that was lost (the device reported a hard failure), the
// device is closed and marked closed, with the re-open flag set: the next request, or the tray's
// initialise, opens it again.
#include <algorithm>

#include "app/main_frame.h"
#include "gate/gate.h"

void CMainFrame::CloseLostDevice() {
    if (m_comm.m_bOpen == 0 || !m_comm.LinkLost()) {
        return;
    }
    FrameTrace("LINK LOST", m_comm.DeviceName(m_comm.m_nPortNo).c_str());
    m_comm.ClosePort();
    m_comm.m_bOpen = 0;
    m_bAutoReopen = 1;
}

void CMainFrame::EndOfExchange() {
    CloseLostDevice();
    bool requestsWait = std::any_of(m_listGate.begin(), m_listGate.end(),
                                    [](const CGate* gate) { return gate->m_nDeferredRequests > 0; });
    if (requestsWait || !m_releasedGates.empty() || m_bInitDeferred != 0 || m_bOpenDeferred != 0 ||
        m_bCloseDeferred != 0 || m_bQuietCloseDeferred != 0) {
        Platform().windows.Post(m_hWnd, WM_EXCHANGEDONE);
    }
}

void CMainFrame::OnExchangeDone() {
    if (ExchangeRunning()) {
        return;  // dispatched inside another exchange: its end posts this again
    }
    DeleteReleasedGates();
    // Walk a copy: nothing here removes a gate, but the list is the gates' to change.
    std::vector<CGate*> gates = m_listGate;
    for (CGate* gate : gates) {
        gate->RepostDeferredRequests();
    }
    while (WindowAlive()) {
        if (m_bQuietCloseDeferred != 0) {
            m_bQuietCloseDeferred = 0;
            m_bCloseDeferred = 0;
            OnCloseQuiet();
        } else if (m_bCloseDeferred != 0) {
            m_bCloseDeferred = 0;
            OnClose();
        } else if (m_bInitDeferred != 0) {
            m_bInitDeferred = 0;
            OnInitPrinter();
        } else if (m_bOpenDeferred != 0) {
            m_bOpenDeferred = 0;
            ApplySettingsAndOpen(m_pendingSettings);
        } else {
            break;
        }
    }
}

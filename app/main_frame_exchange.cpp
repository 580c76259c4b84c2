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
//
// Nothing waits on a post alone. Windows refuses a post while 10,000 posted messages wait for the
// thread; when WM_EXCHANGEDONE or a gate's WM_GATEREQUEST is refused, timer 2 is armed. A timer
// tick is not a posted message: the system makes it when the thread asks for a message and none
// is posted, in the message loop and in every modal loop alike, so the cap cannot lose it. Its tick
// runs the deferred work and a record of each gate that has no message on its way, then disarms.
#include <algorithm>

#include "app/main_frame.h"
#include "gate/gate.h"

void CMainFrame::CloseLostDevice() {
    if (m_comm.m_bOpen == 0 || !m_comm.LinkLost()) {
        return;
    }
    FrameTrace("LINK LOST", m_comm.DeviceName(m_comm.m_nPortNo).c_str());
    LogDevice("LINK LOST", m_comm.m_nPortNo, m_comm.m_strError);
    m_comm.ClosePort();
    m_comm.m_bOpen = 0;
    m_bAutoReopen = 1;
    DeviceLost();
}

void CMainFrame::EndOfExchange() {
    CloseLostDevice();
    if (!m_releasedGates.empty() || m_bInitDeferred != 0 || m_bOpenDeferred != 0 || m_bCloseDeferred != 0 ||
        m_bQuietCloseDeferred != 0) {
        // The deferred work goes before the queued records (a close drops them); it has the gates
        // post their messages when it is done.
        PostExchangeDone();
        return;
    }
    PostGateRequests();
}

void CMainFrame::PostGateRequests() {
    for (CGate* gate : m_listGate) {
        gate->PostNextRequest();
    }
}

void CMainFrame::PostExchangeDone() {
    if (m_bExchangeDonePosted != 0) {
        return;
    }
    if (Platform().windows.Post(m_hWnd, WM_EXCHANGEDONE)) {
        m_bExchangeDonePosted = 1;
    } else {
        RetryLater();
    }
}

void CMainFrame::OnExchangeDone() {
    m_bExchangeDonePosted = 0;
    RunDeferredWork();
}

void CMainFrame::RetryLater() {
    if (m_bRetryTimer == 0 && WindowAlive()) {
        Platform().windows.SetTimer(m_hWnd, kRetryTimerId, kRetryTimerPeriodMs);
        m_bRetryTimer = 1;
    }
}

void CMainFrame::OnRetryTimer() {
    if (m_bRetryTimer == 0 || ExchangeRunning()) {
        return;  // an exchange's end posts what waits, and the timer stays for what it cannot
    }
    Platform().windows.KillTimer(m_hWnd, kRetryTimerId);
    m_bRetryTimer = 0;
    RunDeferredWork();
    // A record may close or release other gates: only gates still listed run. A refused post
    // meanwhile arms the timer again.
    std::vector<CGate*> gates = m_listGate;
    for (CGate* gate : gates) {
        if (WindowAlive() && std::find(m_listGate.begin(), m_listGate.end(), gate) != m_listGate.end() &&
            !gate->RequestPosted()) {
            gate->OnGateRequest();
        }
    }
}

void CMainFrame::RunDeferredWork() {
    if (ExchangeRunning()) {
        return;  // dispatched inside another exchange: its end posts this again
    }
    DeleteReleasedGates();
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
    PostGateRequests();
}

// Re-entrancy. Everything runs on one thread, but the link's waits and the modal dialogs dispatch
// window messages, so a tray command, a settings OK, a close or a timer tick can arrive in the
// middle of a printer exchange. Each exchange the main window runs (an open, the initialise of the
// tray menu, an MSR poll) is marked with CExchange. While one runs:
//   - OpenPrinter does not start: it answers 242 and leaves the device to the running exchange;
//   - a timer tick does not poll;
//   - the tray's initialise, a settings OK and a close are noted and run once the exchange has
//     ended, from the message loop (WM_EXCHANGEDONE), closes first;
//   - a released gate object is kept until then.
#include "app/main_frame.h"
#include "gate/gate.h"

void CMainFrame::EndOfExchange() {
    if (!m_releasedGates.empty() || m_bInitDeferred != 0 || m_bOpenDeferred != 0 || m_bCloseDeferred != 0 ||
        m_bQuietCloseDeferred != 0) {
        Platform().windows.Post(m_hWnd, WM_EXCHANGEDONE);
    }
}

void CMainFrame::OnExchangeDone() {
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
}

// The MSR wait: timer 1 polls the stripe reader once a second while a gate waits for stripe data.
//
// Starting or stopping the wait sends the printer's clear command when the device is open, except
// while a printer exchange runs further down the stack (an 'A' or 'U' that arrives inside one of
// its waits): the wait's state changes, but nothing is written into the running exchange.
#include "app/main_frame.h"
#include "gate/gate.h"

int CMainFrame::StartMsrAdvise(CGate* gate) {
    os::IWindows& windows = Platform().windows;
    if (m_bMsrWait != 0) {
        windows.KillTimer(m_hWnd, kMsrTimerId);
    }
    if (m_comm.m_bOpen != 0 && !ExchangeRunning()) {
        m_comm.SendClear();
    }
    m_pMsrGate = gate;
    windows.SetTimer(m_hWnd, kMsrTimerId, kMsrTimerPeriodMs);
    m_bMsrWait = 1;
    return 1;
}

int CMainFrame::StopMsrAdvise(CGate* gate) {
    if (gate == nullptr || gate != m_pMsrGate) {
        return 1;
    }
    m_pMsrGate = nullptr;
    m_bMsrWait = 0;
    Platform().windows.KillTimer(m_hWnd, kMsrTimerId);
    if (m_comm.m_bOpen != 0 && !ExchangeRunning()) {
        m_comm.SendClear();
    }
    return 1;
}

void CMainFrame::OnTimer() {
    // A tick that arrives inside a printer exchange (a poll that is still waiting, an open) is
    // skipped: the link is busy, and the next tick polls again.
    if (ExchangeRunning() || m_comm.m_bOpen == 0) {
        return;
    }
    CExchange exchange(*this);
    char buffer[256] = {};
    if (m_comm.MsrPoll(buffer, static_cast<int>(sizeof(buffer))) != 1) {
        return;
    }
    buffer[sizeof(buffer) - 1] = '\0';
    os::IWindows& windows = Platform().windows;
    if (m_pMsrGate != nullptr && windows.IsWindow(m_pMsrGate->Window())) {
        m_pMsrGate->SendAdviseMsr(buffer);
    }
    m_bMsrWait = 0;
    windows.KillTimer(m_hWnd, kMsrTimerId);
}

// A stand-in for the gate window while gate/ has no implementation of its own. It does only what
// the main window relies on, the way the real gate does it: its window is a child of the main
// window, it joins the gate list when created and leaves it when closed or destroyed (ending its
// MSR wait), and it hands stripe data to its client as the 108-byte advise reply. It is built into
// the unit tests only while no lodevar_gate target exists.
#include <cstdio>
#include <cstring>

#include "app/main_frame.h"
#include "device/bounded_text.h"
#include "gate/gate.h"

CGate::CGate(CMainFrame* frame, os::Window client) : m_pFrame(frame), m_hClient(client) {
    m_hWnd = frame->Platform().windows.CreateGateWindow(frame->m_hWnd, *this);
    m_bCreated = m_hWnd != 0 ? 1 : 0;
}

CGate::~CGate() {
    if (m_bCreated != 0) {
        m_pFrame->Platform().windows.Destroy(m_hWnd);
    }
}

os::MessageResult CGate::OnMessage(os::Window self, const os::Message& message) {
    switch (message.id) {
        case os::kWmCreate:
            m_hWnd = self;
            m_pFrame->AddGate(this);
            return {true, 0};
        case os::kWmClose:
        case os::kWmDestroy:
            if (m_bAdvise != 0) {
                m_pFrame->StopMsrAdvise(this);
            }
            m_pFrame->RemoveGate(this);
            m_bAdvise = 0;
            if (message.id == os::kWmDestroy) {
                m_bCreated = 0;
            }
            return {false, 0};
        default:
            return {};
    }
}

int CGate::SendAdviseMsr(const char* text) {
    if (m_hClient == 0) {
        return 0;
    }
    char record[kQueuedRequestBytes] = {};
    record[0] = 'A';
    char length[16];
    std::snprintf(length, sizeof(length), "%03d", static_cast<int>(std::strlen(text)));
    std::memcpy(record + 6, length, 3);
    CopyBounded(record + 9, 99, text, 1);
    m_pFrame->Platform().windows.SendCopyData(m_hClient, m_hWnd, 0, record, sizeof(record));
    return 1;
}

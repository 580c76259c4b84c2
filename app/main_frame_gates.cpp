// The gates of the main window: registration and release by clients, the list of live gates and
// the ownership of the gate objects.
#include <algorithm>
#include <cstring>

#include "app/main_frame.h"
#include "gate/gate.h"

namespace {

std::uint16_t ClientKey(os::Window client) {
    return static_cast<std::uint16_t>(client & 0xFFFF);
}

}  // namespace

std::intptr_t CMainFrame::OnCopyData(os::Window sender, const os::Message& message) {
    switch (message.copyTag) {
        case GATE_REGISTER:
            return RegisterGate(sender, NoticeWindow(message));
        case GATE_RELEASE:
            ReleaseGate(sender);
            return 0;
        case GATE_SHUTDOWN:
            if (!Platform().windows.Post(m_hWnd, os::kWmClose)) {
                m_bCloseDeferred = 1;  // the retry timer runs the close
                RetryLater();
            }
            return 0;
        case GATE_INFO:
            return AnswerInfo(sender);
        default:
            return 0;
    }
}

os::Window CMainFrame::NoticeWindow(const os::Message& message) {
    const auto* bytes = static_cast<const unsigned char*>(message.copyData);
    if (bytes == nullptr || message.copySize != kNoticeRecordBytes ||
        std::memcmp(bytes, kNoticeRecordTag, kNoticeRecordTagBytes) != 0) {
        return static_cast<os::Window>(message.copySize);
    }
    std::uint32_t window = 0;
    for (int i = 3; i >= 0; --i) {
        window = (window << 8) | bytes[kNoticeRecordTagBytes + static_cast<std::size_t>(i)];
    }
    return window;
}

std::intptr_t CMainFrame::RegisterGate(os::Window client, os::Window noticeWindow) {
    if (m_listGate.size() >= kMaxGates) {
        ReleaseGatesOfGoneClients();
        if (m_listGate.size() >= kMaxGates) {
            return 0;
        }
    }
    auto gate = std::make_unique<CGate>(this, client);
    if (!gate->Created() || !Platform().windows.IsWindow(gate->Window())) {
        return 0;
    }
    m_hClientWnd = noticeWindow;
    // A second registration under the same key replaces the entry; the earlier gate stays live.
    m_mapGate[ClientKey(client)] = gate.get();
    auto window = static_cast<std::intptr_t>(gate->Window());
    m_gates.push_back(std::move(gate));
    return window;
}

void CMainFrame::ReleaseGate(os::Window client) {
    auto entry = m_mapGate.find(ClientKey(client));
    if (entry == m_mapGate.end() || entry->second == nullptr ||
        !Platform().windows.IsWindow(entry->second->Window())) {
        return;
    }
    CGate* gate = entry->second;
    m_mapGate.erase(entry);
    Platform().windows.Destroy(gate->Window());
    DeleteGate(gate);
}

void CMainFrame::ReleaseGatesOfGoneClients() {
    // Destroying a gate takes it off the list: walk a copy.
    std::vector<CGate*> gates = m_listGate;
    for (CGate* gate : gates) {
        if (Platform().windows.IsWindow(gate->Client())) {
            continue;
        }
        std::erase_if(m_mapGate, [gate](const auto& entry) { return entry.second == gate; });
        Platform().windows.Destroy(gate->Window());
        DeleteGate(gate);
    }
}

void CMainFrame::DeleteGate(CGate* gate) {
    if (m_pMsrGate == gate) {
        m_pMsrGate = nullptr;  // its window is gone: stripe data would be dropped anyway
    }
    auto owned = std::find_if(m_gates.begin(), m_gates.end(),
                              [gate](const std::unique_ptr<CGate>& held) { return held.get() == gate; });
    if (owned == m_gates.end()) {
        return;
    }
    if (ExchangeRunning()) {
        // The gate's own request may be the exchange that is waiting: keep the object until the
        // exchange has ended and the message loop runs again.
        m_releasedGates.push_back(std::move(*owned));
    }
    m_gates.erase(owned);
}

void CMainFrame::DeleteReleasedGates() {
    m_releasedGates.clear();
}

int CMainFrame::AddGate(CGate* gate) {
    m_listGate.push_back(gate);
    return 1;
}

int CMainFrame::RemoveGate(CGate* gate) {
    std::erase(m_listGate, gate);
    if (m_listGate.empty() && m_bMsrWait == 1) {
        // Nobody is left to receive stripe data.
        Platform().windows.KillTimer(m_hWnd, kMsrTimerId);
        m_bMsrWait = 0;
    }
    return 1;
}

void CMainFrame::RemoveAllGates() {
    m_listGate.clear();
}

void CMainFrame::DestroyAllGates() {
    // Destroying a gate takes it off the list: walk a copy.
    std::vector<CGate*> gates = m_listGate;
    for (CGate* gate : gates) {
        Platform().windows.Destroy(gate->Window());
    }
}

CGate* CMainFrame::GateOfClient(os::Window client) const {
    auto entry = m_mapGate.find(ClientKey(client));
    return entry == m_mapGate.end() ? nullptr : entry->second;
}

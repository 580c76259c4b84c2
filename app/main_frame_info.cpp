// The driver's state for diagnostic programs (GATE_INFO): who and where the driver is, its settings,
// its clients and the printer's state, sent back to the asking window. Answering reads state only:
// no gate is made, the notice window stays, and the printer is not touched, so a teller session that
// runs meanwhile (even one waiting inside a printer exchange) sees nothing of it.
#include <algorithm>
#include <cstdio>

#include "app/main_frame.h"
#include "gate/gate.h"

namespace {

constexpr std::uint32_t kInfoBytes = 4096;

void Add(std::string& text, const char* key, const std::string& value) {
    text += key;
    text += '=';
    // One value per line, whatever it holds.
    for (char c : value) {
        text += c == '\r' || c == '\n' ? ' ' : c;
    }
    text += '\n';
}

void Add(std::string& text, const char* key, long long value) {
    Add(text, key, std::to_string(value));
}

}  // namespace

std::string CMainFrame::InfoText() {
    std::string text = kInfoSignature;
    Add(text, "version", LODEVAR_VERSION);
    Add(text, "pid", Platform().system.ProcessId());
    Add(text, "program", Platform().module.FileName(260));
    Add(text, "settings", SettingsPath());
    for (const SettingsKey& key : kSettingsKeys) {
        if (key.stored) {
            Add(text, key.name, m_settings.*key.field);
        }
    }
    Add(text, "log", m_log.Enabled() ? m_log.Path() : std::string("off"));
    Add(text, "gates", static_cast<long long>(m_listGate.size()));
    Add(text, "msr_wait", m_bMsrWait);
    Add(text, "device", OpenRunning() ? "opening" : m_comm.m_bOpen != 0 ? "open" : "closed");
    Add(text, "port", m_comm.m_bOpen != 0 ? CComm::DeviceName(m_comm.m_nPortNo) : std::string());
    Add(text, "family", m_comm.m_nFamily);
    Add(text, "busy", ExchangeRunning() ? 1 : 0);
    Add(text, "reopen", m_bAutoReopen);
    Add(text, "status", m_strTrayState);
    return text;
}

std::intptr_t CMainFrame::AnswerInfo(os::Window sender) {
    // Never to the driver's own windows: the main window would ask itself again, and a gate would
    // take the state for a request to run.
    auto gateWindow = [sender](const std::unique_ptr<CGate>& gate) { return gate->Window() == sender; };
    if (sender == 0 || sender == m_hWnd || !Platform().windows.IsWindow(sender) ||
        std::any_of(m_gates.begin(), m_gates.end(), gateWindow) ||
        std::any_of(m_releasedGates.begin(), m_releasedGates.end(), gateWindow)) {
        return 0;
    }
    std::string text = InfoText();
    if (text.size() > kInfoBytes) {
        text.resize(text.rfind('\n', kInfoBytes - 1) + 1);  // whole lines only
    }
    Platform().windows.SendCopyData(sender, m_hWnd, GATE_INFO, text.data(),
                                    static_cast<std::uint32_t>(text.size()));
    return 1;
}

// The device connection: opening the printer with the port fallback and the settings write-back,
// the initialise command of the tray menu, the end-of-print notice and the naming of statuses.
#include <cstdio>
#include <cstring>

#include "app/dialogs.h"
#include "app/main_frame.h"
#include "base/bounded_text.h"
#include "base/status_codes.h"
#include "device/texts.h"

namespace {

constexpr int kOpenAttempts = 2;

void StoreLittleEndian32(char* at, std::int32_t value) {
    auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    }
}

}  // namespace

int CMainFrame::OpenPrinter(int /*unused*/) {
    // Never inside another open or printer exchange: the waits of the link and the question
    // dialog dispatch messages, so a client request can call this from the middle of one. Such a
    // caller finds the device closed (an open marks it closed first) or in use, and gets 242
    // without a second open of the port.
    if (ExchangeRunning()) {
        return status::ERR_PBPROFF;
    }
    CExchange exchange(*this);
    m_bOpening = 1;
    int result = OpenAttempts();
    m_bOpening = 0;
    return result;
}

int CMainFrame::OpenAttempts() {
    m_strStatus.clear();
    int port = m_settings.port;
    const std::string path = SettingsPath();
    m_comm.m_bOpen = 0;

    int result = 0;
    for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
        m_comm.SetFamily(m_settings.model);  // a MODEL that names no family leaves the family as it is
        result = m_comm.OpenDevice(static_cast<std::uint8_t>(port),
                                   static_cast<std::uint32_t>(m_settings.speed), 8, 0, 0);
        if (result != 0 && result != status::ERR_PBPROFF) {
            m_settings.port = port;
            m_settings.model = m_comm.m_nFamily;
            StoreSettings(path);
            m_strStatus = text::kInitDone;
            m_comm.m_bOpen = 1;
            m_bAutoReopen = 0;
            LogDevice("OPEN", port, m_strStatus);
            DeviceOpened();
            return status::DONE;
        }
        // The family as far as it is known: 242 when no printer answered the probe.
        LogDevice("OPEN FAILED", port, m_comm.m_strError);
        if (m_comm.LinkDown()) {
            // Interrupted by a quiet close: no second attempt and no question.
            return status::ERR_PBPROFF;
        }
        port = port == 1 ? 2 : 1;
    }

    DeviceOpenFailed();
    NotifyPrintEnd(result);
    CMsgDlg question(Platform().desktop, m_hWnd);
    question.m_strMessage = text::kRetryQuestion;
    if (question.DoModal() != os::kIdOk) {
        m_bAutoReopen = 0;
    }
    m_log.Write("QUESTION", m_bAutoReopen != 0 ? "yes: the next request opens the printer again"
                                               : "no: no open until the tray's initialise or the settings");
    return status::ERR_PBPROFF;
}

void CMainFrame::OnInitPrinter() {
    if (ExchangeRunning()) {
        m_bInitDeferred = 1;  // runs when the exchange has ended
        return;
    }
    if (m_bMsrWait != 0) {
        StopMsrAdvise(m_pMsrGate);
    }
    m_log.Write("INIT", m_comm.m_bOpen == 0 ? "open" : "initialise command");
    if (m_comm.m_bOpen == 0) {
        m_bAutoReopen = 1;
        OpenPrinter(0);
        return;
    }
    CExchange exchange(*this);
    m_comm.InitPrinter();
}

void CMainFrame::NotifyPrintEnd(int status) {
    char record[kPrintEndBytes] = {};
    CopyBounded(record, 64, kPrintEndName, 1);
    // The handle as the 32-bit signed number a window handle is across processes.
    auto handle = static_cast<long>(static_cast<std::int32_t>(static_cast<std::uint32_t>(m_hWnd)));
    std::snprintf(record + 64, 32, "%ld", handle);
    StoreLittleEndian32(record + 96, -1);
    StoreLittleEndian32(record + 100,
                        StatusName(status) == status::ERR_PBPROFF ? status::ERR_PBPROFF : status);
    if (m_hClientWnd != 0) {
        Platform().windows.SendCopyData(m_hClientWnd, 0, kPrintEndTag, record, kPrintEndBytes);
    }
}

int CMainFrame::StatusName(int code) {
    if (m_comm.m_bOpen == 0) {
        return status::ERR_PBPROFF;
    }
    m_strStatus = m_comm.GetErrorText();
    const char* name = status::Name(code);
    char tag[16];
    if (name != nullptr) {
        FrameTrace(name, m_strStatus.c_str());
    } else {
        std::snprintf(tag, sizeof(tag), "0x%02x", static_cast<unsigned>(code));
        FrameTrace(tag, "NO Define Msg");
    }
    // The status and the driver's own text: never data of the request that failed.
    char detail[400];
    std::snprintf(detail, sizeof(detail), "%d %s: %s", code, name != nullptr ? name : tag,
                  m_strStatus.c_str());
    m_log.Write("STATUS", detail);
    if (!m_strStatus.empty()) {
        SetTrayState(m_strStatus);
    }
    return 1;
}

void CMainFrame::LogDevice(const char* event, int port, const std::string& text) {
    char detail[400];
    std::snprintf(detail, sizeof(detail), "%s family %d: %s",
                  CComm::DeviceName(static_cast<std::uint8_t>(port)).c_str(), m_comm.m_nFamily, text.c_str());
    m_log.Write(event, detail);
}

void CMainFrame::FrameTrace(const char* tag, const char* detail) {
    // Records go to the debugger channel only: nothing is written to disk and nothing depends on it.
    char record[512];
    std::snprintf(record, sizeof(record), "Lodevar %s: %s\n", tag != nullptr ? tag : "",
                  detail != nullptr ? detail : "");
    Platform().system.DebugOutput(record);
}

// Family 2 printers are driven through the printer maker's library, loaded at run time from the
// program's own folder and bound by export name.
#include <cstdio>
#include <cstring>

#include "base/status_codes.h"
#include "comm/comm.h"
#include "comm/timing.h"
#include "device/texts.h"

namespace {

constexpr int kPathBytes = 260;

}  // namespace

std::string CComm::GetModuleFolder(os::IModule& module) {
    std::string name = module.FileName(255);
    std::size_t slash = name.rfind('\\');
    return slash == std::string::npos ? name : name.substr(0, slash);
}

int CComm::LoadPrinterLibrary() {
    char path[kPathBytes];
    int length =
        std::snprintf(path, sizeof(path), "%s\\VSK_ALL.dll", GetModuleFolder(m_pPlatform->module).c_str());
    // A folder too long for the path buffer cannot hold a loadable library: treated as missing.
    m_hPrinterLib = length < kPathBytes ? m_pPlatform->library.Load(path) : 0;
    if (m_hPrinterLib == 0) {
        m_pPlatform->desktop.MessageBoxOk(text::kLibraryMissing, text::kPrinterErrorCaption);
        m_bLibLoaded = 0;
        return 0;
    }
    bool complete = true;
#define LODEVAR_BIND_SLOT(name, type)                                      \
    if (complete) {                                                        \
        os::Proc proc = m_pPlatform->library.Symbol(m_hPrinterLib, #name); \
        complete = proc != nullptr;                                        \
        m_p##name = reinterpret_cast<type>(proc);                          \
    }
    LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_BIND_SLOT)
#undef LODEVAR_BIND_SLOT
    if (!complete) {
        UnloadPrinterLibrary();
        return 0;
    }
    m_bLibLoaded = 1;
    return 1;
}

void CComm::UnloadPrinterLibrary() {
    if (m_hPrinterLib != 0) {
        m_pPlatform->library.Free(m_hPrinterLib);
    }
    m_hPrinterLib = 0;
    m_bLibLoaded = 0;
#define LODEVAR_CLEAR_SLOT(name, type) m_p##name = nullptr;
    LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_CLEAR_SLOT)
#undef LODEVAR_CLEAR_SLOT
}

int CComm::PaperInLibrary() {
    if (m_bLibLoaded != 1 || m_pOpenPbpr == nullptr) {
        return 0;
    }
    for (int calls = 1;; ++calls) {
        m_pPlatform->clock.Sleep(timing::kPaperInPauseMs);
        int answer = m_pOpenPbpr(12, 5, 1, 160);
        if (answer == 1 || answer == 16) {
            return status::DONE;
        }
        if (answer == 9) {
            return 0;
        }
        // A library that keeps answering "not yet" for a printer that was switched off or pulled
        // out would keep the driver here for good: the library's own power check tells the two apart.
        if (calls % timing::kPaperInCallsPerPowerCheck == 0 && m_pPrtIsPowerOn != nullptr &&
            m_pPrtIsPowerOn() != 1) {
            m_bLibraryLost = 1;
            return 0;
        }
    }
}

int CComm::MsrReadLibrary(char* buffer, int capacity) {
    if (m_bLibLoaded != 1 || m_pOpenMsrw == nullptr || m_pReadMsrw == nullptr) {
        return 0;
    }
    if (m_pOpenMsrw() != 1) {
        return 0;
    }
    char data[kLibraryBufferBytes] = {};
    if (m_pReadMsrw(data) != 1) {
        return 0;
    }
    data[kLibraryBufferBytes - 1] = '\0';  // a library that fills the buffer to the end is cut there
    if (data[0] == '\0' || buffer == nullptr || capacity <= 0) {
        return 0;
    }
    // The first character is not stripe data.
    std::size_t count = std::strlen(data + 1);
    if (count > static_cast<std::size_t>(capacity - 1)) {
        count = static_cast<std::size_t>(capacity - 1);
    }
    std::memcpy(buffer, data + 1, count);
    buffer[count] = '\0';
    return status::DONE;
}

int CComm::MsrWriteLibrary(const char* data) {
    if (m_bLibLoaded != 1 || m_pWriteMsrw == nullptr) {
        return 0;
    }
    char command[kLibraryBufferBytes];
    std::snprintf(command, sizeof(command), ":%s", data);
    int code = m_pWriteMsrw(command);
    SetErrorText(code);
    return code == status::BANK_TONGJN ? status::DONE : code;
}

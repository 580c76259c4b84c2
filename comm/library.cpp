// The printer maker's library, through which family 2 printers are driven (family_cedar.cpp):
// loaded at run time from the program's own folder and bound by export name.
#include <cstdio>
#include <cstring>

#include "comm/comm.h"
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

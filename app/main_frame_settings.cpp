// The device settings: the profile file beside the program, the monitor program switch, and the
// settings dialog.
//
// Every path is built in a 260-byte buffer. A path that does not fit is not cut to fit (a cut path
// names another file): when the program folder is so long that "<folder>\User\CommData.ini" does
// not fit, or the program's own file name is longer than the 255 characters fetched (so the folder
// taken from it would be a different, shorter one), the driver runs on the settings in memory
// (the defaults) and stores nothing. A monitor program path that does not fit is not started.
#include <cstdio>

#include "app/dialogs.h"
#include "app/main_frame.h"

namespace {

constexpr int kPathBytes = 260;
constexpr unsigned kModuleNameChars = 255;
constexpr unsigned kMonitorNameChars = 260;
constexpr char kSection[] = "Lodevar";
constexpr char kMonitorFile[] = "qrva.ini";

// "<folder><suffix>", or an empty text when that does not fit a path buffer.
std::string BuildPath(const std::string& folder, const char* suffix) {
    char path[kPathBytes];
    int length = std::snprintf(path, sizeof(path), "%s%s", folder.c_str(), suffix);
    return length >= 0 && length < kPathBytes ? std::string(path) : std::string();
}

// True when the program's file name has at most `maxChars` characters, so that a fetch of that
// many has not cut it.
bool ModuleNameFits(os::IModule& module, unsigned maxChars) {
    return module.FileName(maxChars + 1).size() <= maxChars;
}

}  // namespace

std::string CMainFrame::SettingsPath() const {
    os::IModule& module = m_pPlatform->module;
    if (!ModuleNameFits(module, kModuleNameChars)) {
        return {};
    }
    return BuildPath(CComm::GetModuleFolder(module), "\\User\\CommData.ini");
}

void CMainFrame::LoadSettings() {
    os::IModule& module = Platform().module;
    os::ISystem& system = Platform().system;
    std::string folder = CComm::GetModuleFolder(module);
    std::string user;
    if (ModuleNameFits(module, kModuleNameChars)) {
        user = BuildPath(folder, "\\User");
        if (!user.empty()) {
            system.CreateFolder(user.c_str());  // an existing folder or a failure is fine
        }
    }
    m_strHomeDir = folder;

    std::string path = SettingsPath();
    if (path.empty()) {
        FrameTrace("SETTINGS", "program folder too long: defaults in memory, nothing stored");
        return;
    }
    Settings defaults;
    for (const SettingsKey& key : kSettingsKeys) {
        m_settings.*key.field = system.ProfileInt(kSection, key.name, defaults.*key.field, path.c_str());
    }
    // The diagnostics log is switched on here only, by hand: nothing the driver writes touches LOG.
    m_log.Open(user, m_settings.log != 0);
}

std::string DescribeSettings(const Settings& settings) {
    std::string text;
    for (const SettingsKey& key : kSettingsKeys) {
        if (key.stored) {
            if (!text.empty()) {
                text += ' ';
            }
            text += key.name;
            text += '=';
            text += std::to_string(settings.*key.field);
        }
    }
    return text;
}

void CMainFrame::LogSettings(const char* event) {
    m_log.Write(event, DescribeSettings(m_settings).c_str());
}

void CMainFrame::StoreSettings(const std::string& path) {
    if (path.empty()) {
        return;
    }
    os::ISystem& system = Platform().system;
    for (const SettingsKey& key : kSettingsKeys) {
        if (key.stored) {
            char value[16];
            std::snprintf(value, sizeof(value), "%d", m_settings.*key.field);
            system.WriteProfileValue(kSection, key.name, value, path.c_str());  // a failed write is ignored
        }
    }
}

bool CMainFrame::MonitorEnabled() {
    return Platform().system.ProfileInt("KOVASK", "IS_USE", 1, kMonitorFile) == 1;
}

void CMainFrame::StartMonitor() {
    os::IModule& module = Platform().module;
    if (!ModuleNameFits(module, kMonitorNameChars)) {
        return;
    }
    std::string name = module.FileName(kMonitorNameChars);
    std::size_t slash = name.rfind('\\');
    std::string folder = slash == std::string::npos ? name : name.substr(0, slash);
    // By full path, so that no other "kovask.exe" on the search path is started.
    std::string file = BuildPath(folder, "\\kovask.exe");
    if (file.empty()) {
        return;
    }
    char processId[16];
    std::snprintf(processId, sizeof(processId), "%u", Platform().system.ProcessId());
    Platform().system.ShellExecuteHidden("open", file.c_str(), processId, folder.c_str());
}

void CMainFrame::OnTrayConfig() {
    // One settings dialog at a time: the desktop brings an open one to the front instead.
    CProperty dialog(Platform().desktop, m_hWnd);
    dialog.Open(m_settings, static_cast<int>(m_listGate.size()), m_bMsrWait != 0);
}

void CMainFrame::OnSettingsAnswer(const os::OperatorAnswer& answer) {
    if (answer.result != os::kIdOk || !WindowAlive()) {
        return;
    }
    Settings choice = m_settings;
    CProperty::Read(answer.fields, choice);
    if (ExchangeRunning()) {
        // The OK came in the middle of a printer exchange. The running exchange reads the settings
        // and an open stores its own port and family, so the new settings are taken over only when
        // it has ended, together with their open.
        m_pendingSettings = choice;
        m_bOpenDeferred = 1;
        return;
    }
    ApplySettingsAndOpen(choice);
}

void CMainFrame::ApplySettingsAndOpen(const Settings& choice) {
    m_settings = choice;
    LogSettings("SETTINGS DIALOG");
    m_bAutoReopen = 1;
    OpenPrinter(0);
}

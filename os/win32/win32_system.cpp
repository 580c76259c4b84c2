#include "os/win32/win32_system.h"

#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <string>

#include "os/win32/win32_handle.h"
#include "os/win32/win32_text.h"

namespace win32 {

os::Handle CWin32System::OpenNamedEvent(const char* name) {
    return FromHandle(OpenEventA(EVENT_ALL_ACCESS, FALSE, name));
}

void CWin32System::SetEvent(os::Handle event) {
    ::SetEvent(ToHandle(event));
}

void CWin32System::CloseHandle(os::Handle handle) {
    if (handle != 0) {
        ::CloseHandle(ToHandle(handle));
    }
}

void CWin32System::ShellExecuteHidden(const char* verb, const char* file, const char* parameters,
                                      const char* folder) {
    ShellExecuteA(nullptr, verb, file, parameters, folder, SW_HIDE);
}

unsigned CWin32System::ProcessId() {
    return GetCurrentProcessId();
}

bool CWin32System::CreateFolder(const char* path) {
    return CreateDirectoryA(path, nullptr) != FALSE;
}

int CWin32System::ProfileInt(const char* section, const char* key, int defaultValue, const char* file) {
    // The profile API answers a negative number as its two's complement.
    return static_cast<int>(GetPrivateProfileIntA(section, key, defaultValue, file));
}

bool CWin32System::WriteProfileValue(const char* section, const char* key, const char* value,
                                     const char* file) {
    return WritePrivateProfileStringA(section, key, value, file) != FALSE;
}

long long CWin32System::FileSize(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &attributes)) {
        return -1;
    }
    return static_cast<long long>((static_cast<unsigned long long>(attributes.nFileSizeHigh) << 32) |
                                  attributes.nFileSizeLow);
}

bool CWin32System::AppendText(const char* path, const char* text) {
    std::string utf8 = Utf8FromCp949(text);
    if (utf8.empty() && text != nullptr) {
        utf8 = text;  // not code page 949 after all: kept as it is rather than lost
    }
    // Shared with readers, writers and a rename, so that branch IT can open the file while the driver
    // runs, and the driver's rotation works while they do.
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        utf8.insert(0, "\xEF\xBB\xBF");
    }
    DWORD written = 0;
    bool done = WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) != FALSE &&
                written == utf8.size();
    ::CloseHandle(file);
    return done;
}

bool CWin32System::RenameFile(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != FALSE;
}

os::LocalTime CWin32System::Now() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    os::LocalTime time;
    time.year = now.wYear;
    time.month = now.wMonth;
    time.day = now.wDay;
    time.hour = now.wHour;
    time.minute = now.wMinute;
    time.second = now.wSecond;
    time.millisecond = now.wMilliseconds;
    return time;
}

namespace {

// How long the finding that a monitor of the debugger channel runs, or does not, is trusted.
constexpr DWORD kMonitorCheckMs = 1000;

bool EventExists(const char* name) {
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, name);
    if (event == nullptr) {
        return false;
    }
    ::CloseHandle(event);
    return true;
}

}  // namespace

bool CWin32System::DebugChannelWatched() {
    // OutputDebugStringA raises an exception for a debugger and then looks for a monitor's buffer
    // events (DebugView and its kind make them); with neither, the record goes nowhere, at a cost of
    // tens of microseconds under Wine. So a record is handed over only when someone can see it: a
    // debugger, a monitor (looked for at most once a second, so that one started later sees the
    // records within a second), or Wine's own debugstr channel, switched on through WINEDEBUG.
    if (m_nDebugStrChannel < 0) {
        char value[256] = {};
        const DWORD length = GetEnvironmentVariableA("WINEDEBUG", value, sizeof(value));
        m_nDebugStrChannel =
            length > 0 && length < sizeof(value) && std::strstr(value, "debugstr") != nullptr;
    }
    if (IsDebuggerPresent() || m_nDebugStrChannel != 0) {
        return true;
    }
    const DWORD now = GetTickCount();
    if (!m_bMonitorKnown || now - m_nMonitorCheckedAt >= kMonitorCheckMs) {
        m_bMonitor = EventExists("DBWIN_BUFFER_READY") || EventExists("Global\\DBWIN_BUFFER_READY");
        m_bMonitorKnown = true;
        m_nMonitorCheckedAt = now;
    }
    return m_bMonitor;
}

void CWin32System::DebugOutput(const char* text) {
    if (DebugChannelWatched()) {
        OutputDebugStringA(text);
    }
}

}  // namespace win32

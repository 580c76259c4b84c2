#include "os/win32/win32_system.h"

#include <windows.h>

#include <shellapi.h>

#include "os/win32/win32_handle.h"

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

void CWin32System::DebugOutput(const char* text) {
    OutputDebugStringA(text);
}

}  // namespace win32

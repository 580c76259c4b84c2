#include "os/win32/win32_library.h"

#include <windows.h>

namespace win32 {

namespace {

HMODULE ToModule(os::Handle library) {
    return reinterpret_cast<HMODULE>(library);
}

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// LOAD_LIBRARY_SEARCH_* flags, which older headers may lack.
constexpr DWORD kSearchDllLoadDir = 0x00000100;
constexpr DWORD kSearchDefaultDirs = 0x00001000;

// Whether the loader understands the LOAD_LIBRARY_SEARCH_* flags: the same systems that have
// SetDefaultDllDirectories.
bool HasSearchFlags() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel != nullptr && GetProcAddress(kernel, "SetDefaultDllDirectories") != nullptr;
}

}  // namespace

bool HardenDllSearch() {
    bool removed = SetDllDirectoryA("") != FALSE;
    if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
        auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
        if (setDefault != nullptr) {
            setDefault(kSearchDefaultDirs);
        }
    }
    return removed;
}

os::Handle CWin32LibraryLoader::Load(const char* fullPath) {
    // Only ever a full path. The DLLs the library imports are found beside it and in the system
    // folders, never in the current folder: with the search flags where the system has them,
    // else with the altered search order, from which HardenDllSearch has taken the current folder.
    DWORD flags = HasSearchFlags() ? kSearchDllLoadDir | kSearchDefaultDirs : LOAD_WITH_ALTERED_SEARCH_PATH;
    HMODULE module = LoadLibraryExA(fullPath, nullptr, flags);
    return reinterpret_cast<os::Handle>(module);
}

os::Proc CWin32LibraryLoader::Symbol(os::Handle library, const char* name) {
    if (library == 0) {
        return nullptr;
    }
    // FARPROC is a WINAPI function on i686; any function pointer converts to void (*)() and
    // back without a warning, and the call site casts to the export's real type.
    return reinterpret_cast<os::Proc>(GetProcAddress(ToModule(library), name));
}

void CWin32LibraryLoader::Free(os::Handle library) {
    if (library != 0) {
        FreeLibrary(ToModule(library));
    }
}

}  // namespace win32

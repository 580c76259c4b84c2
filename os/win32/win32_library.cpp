#include "os/win32/win32_library.h"

#include <windows.h>

namespace win32 {

namespace {

HMODULE ToModule(os::Handle library) {
    return reinterpret_cast<HMODULE>(library);
}

}  // namespace

os::Handle CWin32LibraryLoader::Load(const char* fullPath) {
    // LOAD_WITH_ALTERED_SEARCH_PATH needs a full path; with it the DLLs the library imports are
    // found beside it rather than beside the program.
    HMODULE module = LoadLibraryExA(fullPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
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

#pragma once

#include "os/library.h"

namespace win32 {

// Takes the current folder out of the DLL search path of the process, for good: a DLL planted in
// whatever folder the driver was started from is never loaded. Call first thing at start-up.
// SetDllDirectoryA("") does it for the standard and the altered search order; where the system has
// SetDefaultDllDirectories (looked up at run time: Windows 8, or 7 with its update), the search is
// narrowed further to the program's folder and the system folders. True when the first took effect.
bool HardenDllSearch();

// Libraries loaded by full path; the folder of the library is searched for its own dependencies.
class CWin32LibraryLoader : public os::ILibraryLoader {
public:
    os::Handle Load(const char* fullPath) override;
    os::Proc Symbol(os::Handle library, const char* name) override;
    void Free(os::Handle library) override;
};

}  // namespace win32

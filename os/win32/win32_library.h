#pragma once

#include "os/library.h"

namespace win32 {

// Libraries loaded by full path; the folder of the library is searched for its own dependencies.
class CWin32LibraryLoader : public os::ILibraryLoader {
public:
    os::Handle Load(const char* fullPath) override;
    os::Proc Symbol(os::Handle library, const char* name) override;
    void Free(os::Handle library) override;
};

}  // namespace win32

#pragma once

#include <windows.h>

#include "os/handle.h"

namespace win32 {

// The seam carries handles as plain integers; these convert at the Win32 boundary.
inline HANDLE ToHandle(os::Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

inline os::Handle FromHandle(HANDLE handle) {
    return reinterpret_cast<os::Handle>(handle);
}

}  // namespace win32

#pragma once

#include "os/handle.h"

namespace os {

// Any exported function; cast to its real type at the call site.
using Proc = void (*)();

// Loading a DLL at run time.
class ILibraryLoader {
public:
    virtual ~ILibraryLoader() = default;

    // Loads the library at a full path (never searched for); 0 on failure.
    virtual Handle Load(const char* fullPath) = 0;
    // The address of an export by name, or nullptr.
    virtual Proc Symbol(Handle library, const char* name) = 0;
    virtual void Free(Handle library) = 0;
};

}  // namespace os

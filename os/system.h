#pragma once

#include "os/handle.h"

namespace os {

// Process-wide services: named events, starting a program, profile files, the debugger channel.
class ISystem {
public:
    virtual ~ISystem() = default;

    // Opens an existing named event with full access, not inheritable; 0 when it does not exist.
    virtual Handle OpenNamedEvent(const char* name) = 0;
    virtual void SetEvent(Handle event) = 0;
    virtual void CloseHandle(Handle handle) = 0;

    // Starts a program through the shell, hidden, with no owner window.
    virtual void ShellExecuteHidden(const char* verb, const char* file, const char* parameters,
                                    const char* folder) = 0;
    virtual unsigned ProcessId() = 0;

    // Creates a folder; false when it could not be created (an existing folder is left alone).
    virtual bool CreateFolder(const char* path) = 0;
    // Profile files with the platform's rules: a missing file, section or key gives the default; a
    // file name without a folder lives in the system's standard place for profile files.
    virtual int ProfileInt(const char* section, const char* key, int defaultValue, const char* file) = 0;
    virtual bool WriteProfileValue(const char* section, const char* key, const char* value,
                                   const char* file) = 0;

    // The debugger channel: records sent here are seen only by a debugger or a monitor of it.
    virtual void DebugOutput(const char* text) = 0;
};

}  // namespace os

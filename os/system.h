#pragma once

#include "os/handle.h"

namespace os {

// A local date and time, to the millisecond.
struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Process-wide services: named events, starting a program, profile files, the diagnostics log's
// files, the clock of the day, the debugger channel.
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

    // Files of the diagnostics log. The size of a file in bytes, -1 when it does not exist.
    virtual long long FileSize(const char* path) = 0;
    // Appends a text in the system's code page to a file, making it when it does not exist; false
    // when that failed. The real platform stores the text as UTF-8 and starts a new file with the
    // UTF-8 byte-order mark, so that the file reads right on any machine.
    virtual bool AppendText(const char* path, const char* text) = 0;
    // Renames `from` to `to`, replacing a file `to`; false when that failed.
    virtual bool RenameFile(const char* from, const char* to) = 0;
    virtual LocalTime Now() = 0;

    // The debugger channel: records sent here are seen only by a debugger or a monitor of it.
    virtual void DebugOutput(const char* text) = 0;
};

}  // namespace os

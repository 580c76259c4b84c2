#pragma once

#include "os/system.h"

namespace win32 {

// Named events, the shell, profile files and the debugger channel, through the ANSI API: the
// names and paths are the program's own (its module file name comes from the ANSI API too).
class CWin32System : public os::ISystem {
public:
    os::Handle OpenNamedEvent(const char* name) override;
    void SetEvent(os::Handle event) override;
    void CloseHandle(os::Handle handle) override;
    void ShellExecuteHidden(const char* verb, const char* file, const char* parameters,
                            const char* folder) override;
    unsigned ProcessId() override;
    bool CreateFolder(const char* path) override;
    int ProfileInt(const char* section, const char* key, int defaultValue, const char* file) override;
    bool WriteProfileValue(const char* section, const char* key, const char* value,
                           const char* file) override;
    long long FileSize(const char* path) override;
    bool AppendText(const char* path, const char* text) override;
    bool RenameFile(const char* from, const char* to) override;
    os::LocalTime Now() override;
    // Sends the record to the debugger channel when anyone watches it (see DebugChannelWatched).
    void DebugOutput(const char* text) override;

private:
    bool DebugChannelWatched();

    int m_nDebugStrChannel = -1;  // Wine's debugstr channel is on: 1, off: 0, not looked at yet: -1
    bool m_bMonitorKnown = false;
    bool m_bMonitor = false;
    unsigned long m_nMonitorCheckedAt = 0;
};

}  // namespace win32

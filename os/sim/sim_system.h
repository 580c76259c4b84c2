#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "os/system.h"

namespace sim {

// Process-wide services for tests: named events a test creates and counts, programs started,
// folders and profile files kept in memory with the platform's rules, and the debugger channel.
class CSimSystem : public os::ISystem {
public:
    os::Handle OpenNamedEvent(const char* name) override;
    void SetEvent(os::Handle event) override;
    void CloseHandle(os::Handle handle) override;
    void ShellExecuteHidden(const char* verb, const char* file, const char* parameters,
                            const char* folder) override;
    unsigned ProcessId() override { return processId; }
    bool CreateFolder(const char* path) override;
    int ProfileInt(const char* section, const char* key, int defaultValue, const char* file) override;
    bool WriteProfileValue(const char* section, const char* key, const char* value,
                           const char* file) override;
    long long FileSize(const char* path) override;
    bool AppendText(const char* path, const char* text) override;
    bool RenameFile(const char* from, const char* to) override;
    os::LocalTime Now() override { return now; }
    void DebugOutput(const char* text) override { debugLines.emplace_back(text); }

    // ---- the test's side ----------------------------------------------------------------------
    // A launcher or a client creates the event before the driver opens it.
    void CreateNamedEvent(const std::string& name) { m_events[name]; }
    int TimesSet(const std::string& name) const;
    int OpenHandles() const { return static_cast<int>(m_handles.size()); }

    struct Launch {
        std::string verb;
        std::string file;
        std::string parameters;
        std::string folder;
    };
    std::vector<Launch> launches;
    unsigned processId = 4242;

    // Folders that exist; a profile file can only be written inside one (or without a folder).
    std::set<std::string> folders;
    bool failCreateFolder = false;
    // The profile text of a key, or "<missing>".
    std::string ProfileValue(const std::string& file, const std::string& section,
                             const std::string& key) const;
    void SetProfileValue(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& value);
    bool ProfileFileExists(const std::string& file) const;
    // Every write, in order, as "section/key=value".
    std::vector<std::string> profileWrites;
    std::vector<std::string> debugLines;

    // Plain files (the diagnostics log), kept as the bytes given; "<missing>" for none. A file can
    // only be made inside a folder that exists.
    std::string FileText(const std::string& path) const;
    bool failAppend = false;
    bool failReplace = false;
    os::LocalTime now = {2026, 12, 6, 9, 30, 0, 0};

private:
    using Section = std::map<std::string, std::string>;  // lower-case key -> value
    using File = std::map<std::string, Section>;         // lower-case section -> keys
    static std::string Lower(const std::string& text);

    struct Event {
        int sets = 0;
    };
    std::map<std::string, Event> m_events;
    std::map<os::Handle, std::string> m_handles;
    os::Handle m_hNext = 0x7000;
    std::map<std::string, File> m_files;              // lower-case path -> contents
    std::map<std::string, std::string> m_plainFiles;  // lower-case path -> bytes
    bool FolderOf(const std::string& path) const;
};

}  // namespace sim

#pragma once

#include <map>
#include <string>
#include <vector>

#include "os/library.h"

namespace sim {

// Libraries for tests: a full path is registered with a table of exports; loading any other path
// fails, as a missing file.
class CSimLibraryLoader : public os::ILibraryLoader {
public:
    using Exports = std::map<std::string, os::Proc>;

    void Register(const std::string& fullPath, Exports exports) { m_files[fullPath] = std::move(exports); }
    void Remove(const std::string& fullPath) { m_files.erase(fullPath); }

    os::Handle Load(const char* fullPath) override;
    os::Proc Symbol(os::Handle library, const char* name) override;
    void Free(os::Handle library) override;

    const std::vector<std::string>& LoadAttempts() const { return m_attempts; }
    // Every export name asked for, in order, whether found or not.
    const std::vector<std::string>& Lookups() const { return m_lookups; }
    int Loaded() const { return static_cast<int>(m_loaded.size()); }
    int Frees() const { return m_nFrees; }

private:
    std::map<std::string, Exports> m_files;
    std::map<os::Handle, std::string> m_loaded;
    std::vector<std::string> m_attempts;
    std::vector<std::string> m_lookups;
    os::Handle m_hNext = 0x5000;
    int m_nFrees = 0;
};

}  // namespace sim

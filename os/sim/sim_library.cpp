#include "os/sim/sim_library.h"

namespace sim {

os::Handle CSimLibraryLoader::Load(const char* fullPath) {
    m_attempts.emplace_back(fullPath);
    if (m_files.count(fullPath) == 0) {
        return 0;
    }
    os::Handle handle = m_hNext++;
    m_loaded[handle] = fullPath;
    return handle;
}

os::Proc CSimLibraryLoader::Symbol(os::Handle library, const char* name) {
    m_lookups.emplace_back(name);
    auto loaded = m_loaded.find(library);
    if (loaded == m_loaded.end()) {
        return nullptr;
    }
    const Exports& exports = m_files[loaded->second];
    auto it = exports.find(name);
    return it == exports.end() ? nullptr : it->second;
}

void CSimLibraryLoader::Free(os::Handle library) {
    ++m_nFrees;
    m_loaded.erase(library);
}

}  // namespace sim

#include "os/sim/sim_system.h"

#include <cctype>

namespace sim {

std::string CSimSystem::Lower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

os::Handle CSimSystem::OpenNamedEvent(const char* name) {
    if (m_events.count(name) == 0) {
        return 0;
    }
    os::Handle handle = m_hNext++;
    m_handles[handle] = name;
    return handle;
}

void CSimSystem::SetEvent(os::Handle event) {
    auto it = m_handles.find(event);
    if (it != m_handles.end()) {
        ++m_events[it->second].sets;
    }
}

void CSimSystem::CloseHandle(os::Handle handle) {
    m_handles.erase(handle);
}

int CSimSystem::TimesSet(const std::string& name) const {
    auto it = m_events.find(name);
    return it == m_events.end() ? 0 : it->second.sets;
}

void CSimSystem::ShellExecuteHidden(const char* verb, const char* file, const char* parameters,
                                    const char* folder) {
    launches.push_back(Launch{verb, file, parameters, folder});
}

bool CSimSystem::CreateFolder(const char* path) {
    if (failCreateFolder || folders.count(Lower(path)) != 0) {
        return false;
    }
    folders.insert(Lower(path));
    return true;
}

int CSimSystem::ProfileInt(const char* section, const char* key, int defaultValue, const char* file) {
    std::string value = ProfileValue(file, section, key);
    if (value == "<missing>" || value.empty()) {
        return defaultValue;
    }
    // Decimal, with leading blanks and a sign allowed; reading stops at the first non-digit.
    std::size_t at = value.find_first_not_of(" \t");
    if (at == std::string::npos) {
        return defaultValue;
    }
    bool negative = false;
    if (value[at] == '-' || value[at] == '+') {
        negative = value[at] == '-';
        ++at;
    }
    long long number = 0;
    for (; at < value.size() && std::isdigit(static_cast<unsigned char>(value[at])) != 0; ++at) {
        number = number * 10 + (value[at] - '0');
        if (number > 0x7FFFFFFF) {
            number = 0x7FFFFFFF;
        }
    }
    return static_cast<int>(negative ? -number : number);
}

bool CSimSystem::FolderOf(const std::string& path) const {
    std::size_t slash = path.rfind('\\');
    return slash == std::string::npos || folders.count(path.substr(0, slash)) != 0;
}

bool CSimSystem::WriteProfileValue(const char* section, const char* key, const char* value,
                                   const char* file) {
    std::string path = Lower(file);
    if (!FolderOf(path)) {
        return false;  // the folder does not exist
    }
    m_files[path][Lower(section)][Lower(key)] = value;
    profileWrites.push_back(std::string(section) + "/" + key + "=" + value);
    return true;
}

std::string CSimSystem::ProfileValue(const std::string& file, const std::string& section,
                                     const std::string& key) const {
    auto f = m_files.find(Lower(file));
    if (f == m_files.end()) {
        return "<missing>";
    }
    auto s = f->second.find(Lower(section));
    if (s == f->second.end()) {
        return "<missing>";
    }
    auto k = s->second.find(Lower(key));
    return k == s->second.end() ? "<missing>" : k->second;
}

void CSimSystem::SetProfileValue(const std::string& file, const std::string& section, const std::string& key,
                                 const std::string& value) {
    m_files[Lower(file)][Lower(section)][Lower(key)] = value;
}

bool CSimSystem::ProfileFileExists(const std::string& file) const {
    return m_files.count(Lower(file)) != 0;
}

}  // namespace sim

namespace sim {

long long CSimSystem::FileSize(const char* path) {
    auto it = m_plainFiles.find(Lower(path));
    return it == m_plainFiles.end() ? -1 : static_cast<long long>(it->second.size());
}

bool CSimSystem::AppendText(const char* path, const char* text) {
    std::string lower = Lower(path);
    if (failAppend || !FolderOf(lower)) {
        return false;
    }
    m_plainFiles[lower] += text;
    return true;
}

bool CSimSystem::RenameFile(const char* from, const char* to) {
    auto it = m_plainFiles.find(Lower(from));
    if (failReplace || it == m_plainFiles.end()) {
        return false;
    }
    std::string bytes = std::move(it->second);
    m_plainFiles.erase(it);
    m_plainFiles[Lower(to)] = std::move(bytes);
    return true;
}

std::string CSimSystem::FileText(const std::string& path) const {
    auto it = m_plainFiles.find(Lower(path));
    return it == m_plainFiles.end() ? "<missing>" : it->second;
}

}  // namespace sim

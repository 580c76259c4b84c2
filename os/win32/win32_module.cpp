#include "os/win32/win32_module.h"

#include <windows.h>

#include <algorithm>

namespace win32 {

namespace {

constexpr unsigned kLongestPath = 32767;

}  // namespace

std::string CWin32Module::FileName(unsigned maxChars) {
    maxChars = std::min(maxChars, kLongestPath);
    // One more than asked for: GetModuleFileNameA always keeps room for the terminator, and a
    // name that does not fit comes back cut to the buffer size with the full size as result.
    std::string name(maxChars + 1, '\0');
    DWORD length = GetModuleFileNameA(nullptr, name.data(), maxChars + 1);
    name.resize(std::min<std::size_t>(length, maxChars));
    return name;
}

}  // namespace win32

#pragma once

#include <cstdint>

namespace os {

// An opaque platform handle (a Windows HANDLE or HMODULE on the real platform, a small
// number in the simulation). 0 means "none".
using Handle = std::uintptr_t;

}  // namespace os

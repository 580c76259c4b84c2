#include "base/bounded_text.h"

#include <algorithm>
#include <cstring>

int CopyBounded(char* destination, int size, const char* source, int reserve) {
    if (size < 0 || destination == nullptr || source == nullptr) {
        return 0;
    }
    std::memset(destination, 0, static_cast<std::size_t>(size));
    int length = static_cast<int>(std::strlen(source));
    int count = std::min(length, size - reserve);
    if (count < 1) {
        return 0;
    }
    std::memcpy(destination, source, static_cast<std::size_t>(count));
    return count;
}

#include "os/win32/win32_text.h"

#include <windows.h>

namespace win32 {

std::wstring WideFromCp949(const char* text) {
    if (text == nullptr || text[0] == '\0') {
        return {};
    }
    int length = MultiByteToWideChar(kKoreanCodePage, 0, text, -1, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(kKoreanCodePage, 0, text, -1, wide.data(), length) != length) {
        return {};
    }
    wide.resize(static_cast<std::size_t>(length - 1));  // the terminator was counted
    return wide;
}

std::string Utf8FromCp949(const char* text) {
    std::wstring wide = WideFromCp949(text);
    if (wide.empty()) {
        return {};
    }
    int wideLength = static_cast<int>(wide.size());
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return {};
    }
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::string Cp949FromWide(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    int wideLength = static_cast<int>(text.size());
    int length =
        WideCharToMultiByte(kKoreanCodePage, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(kKoreanCodePage, 0, text.data(), wideLength, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

}  // namespace win32

#pragma once

#include <string>

namespace win32 {

// The driver keeps its texts as code page 949 bytes whatever the machine's ANSI code page is.
constexpr unsigned kKoreanCodePage = 949;

// Converts NUL-terminated code page 949 text (nullptr counts as empty); an empty result when the
// text cannot be converted.
std::wstring WideFromCp949(const char* text);
std::string Utf8FromCp949(const char* text);
// Converts wide text to code page 949; characters that code page lacks become '?'.
std::string Cp949FromWide(const std::wstring& text);

}  // namespace win32

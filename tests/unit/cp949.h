#pragma once

#include <iconv.h>

#include <string>

// Converts a UTF-8 text to code page 949 with glibc's converter, independently of the driver's
// own byte tables.
inline std::string Cp949(const std::string& utf8) {
    iconv_t converter = iconv_open("CP949", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return "<no converter>";
    }
    std::string in = utf8;
    std::string out(in.size() * 2 + 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1)) {
        return "<not convertible>";
    }
    out.resize(out.size() - outLeft);
    return out;
}

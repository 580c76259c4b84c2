#pragma once

#include <iconv.h>

#include <string>

// A UTF-8 text in code page 949 by glibc's converter, independently of the driver's byte tables.
inline std::string Cp949(std::string utf8) {
    iconv_t converter = iconv_open("CP949", "UTF-8");  // a failed open fails the conversion too
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = utf8.data();
    char* at = out.data();
    std::size_t inLeft = utf8.size();
    std::size_t outLeft = out.size();
    const bool converted = iconv(converter, &in, &inLeft, &at, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return converted ? out : "<not convertible>";
}

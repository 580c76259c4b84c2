#pragma once

#include <string>

namespace os {

// Facts about the running program.
class IModule {
public:
    virtual ~IModule() = default;

    // The program's full module file name, at most `maxChars` characters.
    virtual std::string FileName(unsigned maxChars) = 0;
};

}  // namespace os

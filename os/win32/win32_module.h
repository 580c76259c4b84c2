#pragma once

#include "os/module.h"

namespace win32 {

class CWin32Module : public os::IModule {
public:
    std::string FileName(unsigned maxChars) override;
};

}  // namespace win32

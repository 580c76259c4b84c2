#pragma once

#include "os/desktop.h"

namespace win32 {

class CWin32Desktop : public os::IDesktop {
public:
    // The texts are code page 949; they are shown through the wide API so that Korean reads
    // correctly on a machine with any ANSI code page.
    void MessageBoxOk(const char* text, const char* caption) override;
};

}  // namespace win32

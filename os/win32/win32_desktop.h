#pragma once

#include "os/desktop.h"

namespace win32 {

// Message boxes and the driver's dialogs from the program's resources. The texts handed over are
// code page 949; everything is shown through the wide API so that Korean reads correctly on a
// machine with any ANSI code page. The dialogs are modal: their own loops keep dispatching the
// messages of the driver's other windows while they are up.
class CWin32Desktop : public os::IDesktop {
public:
    void MessageBoxOk(const char* text, const char* caption) override;
    bool MessageBoxYesNo(os::Window owner, const char* text, const char* caption) override;

    // win32_dialogs.cpp
    int RunMessageDialog(os::Window parent, const char* message) override;
    int RunPropertyDialog(os::Window parent, os::PropertyFields& fields) override;
    void RunAboutDialog(os::Window parent) override;
};

}  // namespace win32

#pragma once

#include <string>

#include "os/window.h"

namespace os {

// The fields of the settings dialog, as its controls show them.
struct PropertyFields {
    int portRadio = -1;   // 0 = Com1, 1 = Com2, -1 = none checked
    std::string speed;    // at most 5 characters
    int trace = 0;        // check box
    std::string msrWait;  // "ON" or "OFF", read-only
    int users = 0;        // read-only
    int modelRadio = -1;  // 0, 1, 2 = first, second, third (hidden) button; -1 = none checked
};

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// What the operator sees of the driver: message boxes and dialogs. Every text handed to the
// desktop is in the driver's code page 949; the platform converts it for display, so it reads
// correctly whatever the machine's ANSI code page is. The modal ones keep dispatching window
// messages while they are up.
class IDesktop {
public:
    virtual ~IDesktop() = default;

    // A modal box with an OK button and no owner window.
    virtual void MessageBoxOk(const char* text, const char* caption) = 0;
    // A modal box with Yes and No buttons; true for Yes.
    virtual bool MessageBoxYesNo(Window owner, const char* text, const char* caption) = 0;
    // The topmost yes/no question about the printer (dialog 132): kIdOk for yes, kIdCancel for no,
    // Escape or the close box.
    virtual int RunMessageDialog(Window parent, const char* message) = 0;
    // The settings dialog (dialog 130): kIdOk with the fields as the operator left them, or kIdCancel.
    virtual int RunPropertyDialog(Window parent, PropertyFields& fields) = 0;
    // The About box (dialog 100).
    virtual void RunAboutDialog(Window parent) = 0;
};

}  // namespace os

#pragma once

namespace os {

// What the operator sees of the driver: message boxes and, later, dialogs and the tray icon.
// Every text handed to the desktop is in the driver's code page 949; the platform converts it for
// display, so it reads correctly whatever the machine's ANSI code page is.
class IDesktop {
public:
    virtual ~IDesktop() = default;

    // A modal box with an OK button and no owner window.
    virtual void MessageBoxOk(const char* text, const char* caption) = 0;
};

}  // namespace os

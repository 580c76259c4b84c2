#pragma once

#include "os/clock.h"
#include "os/desktop.h"
#include "os/library.h"
#include "os/module.h"
#include "os/pump.h"
#include "os/serial.h"
#include "os/system.h"
#include "os/window.h"

namespace os {

// Everything the driver's logic needs from the platform, in one place. The real program builds
// one from os/win32, the tests one from os/sim.
struct Platform {
    ISerial& serial;
    IClock& clock;
    IMessagePump& pump;
    ILibraryLoader& library;
    IDesktop& desktop;
    IModule& module;
    IWindows& windows;
    ISystem& system;
};

}  // namespace os

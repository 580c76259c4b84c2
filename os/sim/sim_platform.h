#pragma once

#include "os/platform.h"
#include "os/sim/sim_clock.h"
#include "os/sim/sim_desktop.h"
#include "os/sim/sim_library.h"
#include "os/sim/sim_pump.h"
#include "os/sim/sim_serial.h"
#include "os/sim/sim_system.h"
#include "os/sim/sim_windows.h"

namespace sim {

// A whole simulated platform for one test: the clock, the message queue, serial devices,
// libraries, windows, the desktop and the system services, wired together.
class CSimPlatform {
public:
    explicit CSimPlatform(std::uint32_t startTicks = 1000)
        : clock(startTicks), pump(clock), serial(clock), windows(pump), m_platform{serial,  clock,   pump,
                                                                                   library, desktop, module,
                                                                                   windows, system} {
        clock.Attach(&pump, &serial);
        desktop.Attach(windows, pump);
    }
    CSimPlatform(const CSimPlatform&) = delete;
    CSimPlatform& operator=(const CSimPlatform&) = delete;

    os::Platform& Platform() { return m_platform; }

    CSimClock clock;
    CSimPump pump;
    CSimSerial serial;
    CSimLibraryLoader library;
    CSimDesktop desktop;
    CSimModule module;
    CSimWindows windows;
    CSimSystem system;

private:
    os::Platform m_platform;
};

}  // namespace sim

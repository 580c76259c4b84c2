#pragma once

#include <cstdint>
#include <vector>

#include "os/clock.h"

namespace sim {

class CSimPump;
class CSimSerial;

// A virtual millisecond clock: time moves only when the code sleeps or idles, so a ten-second
// wait costs no real time and the emulator sees exactly the timing the printer would.
class CSimClock : public os::IClock {
public:
    explicit CSimClock(std::uint32_t start = 0) : m_nNow(start) {}

    std::uint32_t Ticks() override { return m_nNow; }
    void Sleep(std::uint32_t ms) override;
    // Returns at once when a message is due in the attached pump or the wake handle is signalled;
    // otherwise lets time run on to the first of the deadline, the next message falling due and the
    // next byte the wake handle's read-ahead takes (1 ms at least), as a real wait would end there.
    void IdleUntil(std::uint32_t deadline, os::Handle wake) override;

    void Attach(CSimPump* pump, CSimSerial* serial) {
        m_pPump = pump;
        m_pSerial = serial;
    }
    void Advance(std::uint32_t ms) { m_nNow += ms; }

    // Every plain pause taken, in order (idle passes are not recorded).
    const std::vector<std::uint32_t>& Sleeps() const { return m_sleeps; }
    std::uint64_t IdlePasses() const { return m_nIdlePasses; }

private:
    std::uint32_t m_nNow;
    CSimPump* m_pPump = nullptr;
    CSimSerial* m_pSerial = nullptr;
    std::vector<std::uint32_t> m_sleeps;
    std::uint64_t m_nIdlePasses = 0;
};

}  // namespace sim

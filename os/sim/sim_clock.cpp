#include "os/sim/sim_clock.h"

#include <algorithm>

#include "os/sim/sim_pump.h"
#include "os/sim/sim_serial.h"

namespace sim {

void CSimClock::Sleep(std::uint32_t ms) {
    m_sleeps.push_back(ms);
    m_nNow += ms;
}

void CSimClock::IdleUntil(std::uint32_t deadline, os::Handle wake) {
    ++m_nIdlePasses;
    const bool serialWakes = m_pSerial != nullptr && wake != 0;
    if ((m_pPump != nullptr && m_pPump->HasDueMessage()) || (serialWakes && m_pSerial->Signalled(wake))) {
        return;
    }
    std::uint32_t step = os::Ahead(m_nNow, deadline);
    std::uint32_t time = 0;
    if (m_pPump != nullptr && m_pPump->NextDue(time)) {
        step = std::min(step, os::Ahead(m_nNow, time));
    }
    if (serialWakes && m_pSerial->NextSignal(wake, time)) {
        step = std::min(step, os::Ahead(m_nNow, time));
    }
    m_nNow += std::max<std::uint32_t>(step, 1);
}

}  // namespace sim

#include "os/sim/sim_clock.h"

#include "os/sim/sim_pump.h"

namespace sim {

void CSimClock::Sleep(std::uint32_t ms) {
    m_sleeps.push_back(ms);
    m_nNow += ms;
}

void CSimClock::Idle() {
    ++m_nIdlePasses;
    if (m_pPump != nullptr && m_pPump->HasDueMessage()) {
        return;
    }
    m_nNow += 1;
}

}  // namespace sim

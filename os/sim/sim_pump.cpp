#include "os/sim/sim_pump.h"

#include <utility>

namespace sim {

bool CSimPump::IsDue(const Message& message) {
    return static_cast<std::int32_t>(m_clock.Ticks() - message.due) >= 0;
}

bool CSimPump::HasDueMessage() {
    for (const Message& message : m_queue) {
        if (IsDue(message)) {
            return true;
        }
    }
    return false;
}

bool CSimPump::NextDue(std::uint32_t& due) const {
    bool found = false;
    const std::uint32_t now = m_clock.Ticks();
    for (const Message& message : m_queue) {
        // Compared as distances from now, so that the counter's wrap-around does not matter.
        if (!found || static_cast<std::int32_t>(message.due - now) < static_cast<std::int32_t>(due - now)) {
            due = message.due;
            found = true;
        }
    }
    return found;
}

bool CSimPump::DispatchOne() {
    ++m_nLooks;
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
        if (IsDue(*it)) {
            Message message = std::move(*it);
            m_queue.erase(it);
            ++m_nDispatched;
            if (message.handler) {
                message.handler();
            }
            return true;
        }
    }
    return false;
}

bool CSimPump::PeekKeyMessage(os::KeyMessage& key) {
    for (const Message& message : m_queue) {
        if (IsDue(message) && message.message >= os::kWmKeyFirst && message.message <= os::kWmKeyLast) {
            key.message = message.message;
            key.wParam = message.wParam;
            return true;
        }
    }
    return false;
}

void CSimPump::Post(std::uint32_t message, std::uintptr_t wParam, std::function<void()> handler,
                    std::uint32_t delayMs) {
    m_queue.push_back(Message{m_clock.Ticks() + delayMs, message, wParam, std::move(handler)});
}

void CSimPump::PostKeyDown(std::uint16_t virtualKey, std::uint32_t delayMs) {
    Post(os::kWmKeyDown, virtualKey, {}, delayMs);
}

}  // namespace sim

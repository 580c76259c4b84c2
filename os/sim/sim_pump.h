#pragma once

#include <cstdint>
#include <deque>
#include <functional>

#include "os/clock.h"
#include "os/pump.h"

namespace sim {

// A scriptable message queue. A test posts messages that become due at a virtual time; the
// handler of a message runs when the code under test dispatches it.
class CSimPump : public os::IMessagePump {
public:
    explicit CSimPump(os::IClock& clock) : m_clock(clock) {}

    bool DispatchOne() override;
    bool PeekKeyMessage(os::KeyMessage& key) override;

    // Queues a message that is due `delayMs` from now. The handler may be empty.
    void Post(std::uint32_t message, std::uintptr_t wParam, std::function<void()> handler = {},
              std::uint32_t delayMs = 0);
    void PostKeyDown(std::uint16_t virtualKey, std::uint32_t delayMs = 0);
    bool HasDueMessage();
    // When the earliest queued message falls due; false when nothing is queued.
    bool NextDue(std::uint32_t& due) const;
    std::size_t Waiting() const { return m_queue.size(); }
    std::uint64_t Dispatched() const { return m_nDispatched; }
    // How often DispatchOne looked at the queue, whether or not it found a message (on Windows each
    // look is a PeekMessage).
    std::uint64_t Looks() const { return m_nLooks; }

private:
    struct Message {
        std::uint32_t due;
        std::uint32_t message;
        std::uintptr_t wParam;
        std::function<void()> handler;
    };

    bool IsDue(const Message& message);

    os::IClock& m_clock;
    std::deque<Message> m_queue;
    std::uint64_t m_nDispatched = 0;
    std::uint64_t m_nLooks = 0;
};

}  // namespace sim

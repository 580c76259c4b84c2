#pragma once

#include <cstdint>

namespace os {

constexpr std::uint32_t kWmKeyFirst = 0x0100;  // WM_KEYFIRST, also WM_KEYDOWN
constexpr std::uint32_t kWmKeyDown = 0x0100;
constexpr std::uint32_t kWmKeyLast = 0x0109;

// A keyboard message seen at the head of the key range of the thread's queue.
struct KeyMessage {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
};

// The calling thread's window-message queue.
class IMessagePump {
public:
    virtual ~IMessagePump() = default;

    // Removes, translates and dispatches one waiting message of any window; false when none waits.
    virtual bool DispatchOne() = 0;
    // Looks, without removing it, for the first message in the key range (0x100 to 0x109).
    virtual bool PeekKeyMessage(KeyMessage& key) = 0;
};

}  // namespace os

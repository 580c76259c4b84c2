#pragma once

#include <cstdint>

#include "os/handle.h"

namespace os {

// The millisecond tick counter and the two ways of letting time pass.
class IClock {
public:
    virtual ~IClock() = default;

    // A free-running millisecond counter that wraps around after 2^32 ms.
    virtual std::uint32_t Ticks() = 0;
    // A plain pause: no window message is handled meanwhile.
    virtual void Sleep(std::uint32_t ms) = 0;
    // Waits, using no processor, until a window message is waiting for this thread, `wake` is
    // signalled (the wake handle of a serial device: its input has arrived), or the counter reaches
    // `deadline`, whichever comes first. `wake` 0 leaves messages and the deadline. A wait loop calls
    // it once per pass, after it has looked for its data and dispatched a message; the pass after
    // it sees what ended the wait.
    virtual void IdleUntil(std::uint32_t deadline, Handle wake) = 0;
};

// True once more than `timeoutMs` have passed since `start`. The difference is taken as a
// signed 32-bit number, so the test survives the counter's wrap-around.
inline bool TimedOut(std::uint32_t start, std::uint32_t now, std::int32_t timeoutMs) {
    return static_cast<std::int32_t>(now - start) > timeoutMs;
}

// The distance from `now` to a later `time` on the wrapping counter; 0 for a time already reached.
inline std::uint32_t Ahead(std::uint32_t now, std::uint32_t time) {
    return static_cast<std::int32_t>(time - now) > 0 ? time - now : 0;
}

}  // namespace os

#pragma once

#include <cstdint>

namespace os {

// The millisecond tick counter and the two ways of letting time pass.
class IClock {
public:
    virtual ~IClock() = default;

    // A free-running millisecond counter that wraps around after 2^32 ms.
    virtual std::uint32_t Ticks() = 0;
    // A plain pause: no window message is handled meanwhile.
    virtual void Sleep(std::uint32_t ms) = 0;
    // Returns when a window message is waiting for this thread or after about 1 ms, whichever
    // comes first. Wait loops call it once per pass so that they do not spin.
    virtual void Idle() = 0;
    // One pass of a wait that times out once the counter reaches `deadline`. On the real platform
    // this is Idle(). A simulated clock may let time run on to the next moment at which anything
    // can happen (a byte arriving, a message falling due), never past `deadline`: the wait then
    // ends at the same virtual time after fewer passes.
    virtual void IdleUntil(std::uint32_t deadline) {
        (void)deadline;
        Idle();
    }
};

// True once more than `timeoutMs` have passed since `start`. The difference is taken as a
// signed 32-bit number, so the test survives the counter's wrap-around.
inline bool TimedOut(std::uint32_t start, std::uint32_t now, std::int32_t timeoutMs) {
    return static_cast<std::int32_t>(now - start) > timeoutMs;
}

}  // namespace os

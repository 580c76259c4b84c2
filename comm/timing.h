#pragma once

#include <cstdint>

// The printer protocol's time-outs and pauses in milliseconds, with the counts that go with them:
// how long the driver waits for the printer, and how long it lets the printer be.
namespace timing {
constexpr int kCtsPolls = 11;  // a write waits for CTS through this many polls at most
constexpr std::uint32_t kCtsPollMs = 100;
constexpr std::int32_t kProbeWaitMs = 1000;  // each family's answer to the probe
constexpr int kAttemptsA = 6;                // family 0 status query: the attempts
constexpr int kAttemptsB = 3;                // family 1 status query: the attempts
constexpr std::uint32_t kAttemptPauseMs = 100;
constexpr std::int32_t kReplyWaitAMs = 1000;   // family 0 status: the STX
constexpr std::int32_t kReplyWaitBMs = 10000;  // family 1 status: the first byte
constexpr std::int32_t kNextByteBMs = 1000;    // family 1 status: each further byte
constexpr std::int32_t kMsrDataWaitMs = 500;   // family 1 status: the stripe data after 'M'
constexpr std::uint32_t kInitialisePauseMs = 500;
constexpr std::int32_t kFrameStartMs = 10000;   // family 0 stripe frame: the STX
constexpr std::uint32_t kBlockPauseMs = 1000;   // between the 400-byte blocks of a long text
constexpr std::uint32_t kRowPassMs = 1000;      // family 0: a pass of the wait for the row feed
constexpr std::uint32_t kPaperInPauseMs = 200;  // library family: before each paper-in call
// Library family: after this many paper-in calls that did not settle (about 5 s), the library is
// asked whether the printer is still on; the wait for the passbook goes on while it is.
constexpr int kPaperInCallsPerPowerCheck = 25;
}  // namespace timing

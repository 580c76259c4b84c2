#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/comm.h"
#include "emu/scripted_peer.h"
#include "os/sim/sim_platform.h"

// How often `needle` occurs in `haystack`, overlapping occurrences included.
inline int CountOf(const std::string& haystack, const std::string& needle) {
    int count = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

// Family 0 status frames and requests, and a family 1 status answer (0x40, one byte, the bits).
inline std::string FrameA(unsigned char status) {
    return "\002xr" + std::string(1, static_cast<char>(status)) + "\003";
}
inline std::string AnswerB(unsigned char bits) {
    return "\100x" + std::string(1, static_cast<char>(bits));
}
// For a time taken: within [low, high].
inline bool Within(std::uint32_t value, std::uint32_t low, std::uint32_t high) {
    return low <= value && value <= high;
}
inline const std::string kStatusRequestA = "\033j";
inline const std::string kStatusRequestB = "\033h";
inline const std::string kClearA = "\033l";

// A driver link on a simulated COM1 whose far end answers what a test scripts.
struct CommLink {
    explicit CommLink(std::uint32_t startTicks = 1000) : sim(startTicks) {
        sim.serial.Attach("COM1", &printer);
    }
    // Opens COM1 for `family` and forgets the traffic so far.
    void Open(int family) {
        EXPECT_NE(comm.OpenPort(1, 9600, 8, 0, 0), 0) << comm.m_strError;
        comm.m_nFamily = family;
        sim.serial.ClearWire();
    }
    std::string Written() const { return sim.serial.Written(); }
    // What was written since the last look, which is forgotten.
    std::string Sent() {
        std::string bytes = Written();
        sim.serial.ClearWire();
        return bytes;
    }
    // Each of `replies` answers one `request`, in order.
    void Answers(const std::string& request, const std::vector<std::string>& replies) {
        for (const std::string& reply : replies) {
            printer.Answer(reply, request);
        }
    }
    std::uint32_t Now() { return sim.clock.Ticks(); }

    sim::CSimPlatform sim;
    emu::CScriptedPeer printer;
    CComm comm{sim.Platform()};
};

class CommTest : public ::testing::Test, public CommLink {};

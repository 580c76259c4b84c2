#pragma once

#include <gtest/gtest.h>

#include <string>

#include "comm/comm.h"
#include "emu/scripted_peer.h"
#include "os/sim/sim_platform.h"

// A driver link on a simulated COM1 whose far end answers what a test scripts.
class CommTest : public ::testing::Test {
protected:
    explicit CommTest(std::uint32_t startTicks = 1000) : sim(startTicks) {
        sim.serial.Attach("COM1", &printer);
    }

    void Open(int family) {
        ASSERT_NE(comm.OpenPort(1, 9600, 8, 0, 0), 0) << comm.m_strError;
        comm.m_nFamily = family;
        sim.serial.ClearWire();
    }
    std::string Written() const { return sim.serial.Written(); }
    std::uint32_t Now() { return sim.clock.Ticks(); }
    static int Count(const std::string& haystack, const std::string& needle) {
        int count = 0;
        for (std::size_t at = haystack.find(needle); at != std::string::npos;
             at = haystack.find(needle, at + 1)) {
            ++count;
        }
        return count;
    }

    sim::CSimPlatform sim;
    emu::CScriptedPeer printer;
    CComm comm{sim.Platform()};
};

// Family 0 status frames and requests, spelt out as the printer sends and receives them.
inline std::string FrameA(unsigned char status) {
    return std::string(
               "\x02"
               "x"
               "r",
               3) +
           char(status) + "\x03";
}
inline const std::string kStatusRequestA =
    "\x1b"
    "j";
inline const std::string kStatusRequestB =
    "\x1b"
    "h";
inline const std::string kClearA =
    "\x1b"
    "l";
// A family 1 status answer: 0x40, one byte, the status bits.
inline std::string AnswerB(unsigned char bits) {
    return std::string(
               "\x40"
               "x",
               2) +
           char(bits);
}

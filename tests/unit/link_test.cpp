// The serial link: opening, line settings, byte reads and waits, paced writes, the cancel key.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "comm_fixture.h"

using LinkTest = CommTest;
using Sleeps = std::vector<std::uint32_t>;

TEST(LinkNames, PortNumbersNameComDevicesUpToFourAndTelnetFromFive) {
    EXPECT_EQ(CComm::DeviceName(4), "COM4");
    EXPECT_EQ(CComm::DeviceName(5), "\\\\.\\TELNET");
    EXPECT_EQ(CComm::DeviceName(255), "\\\\.\\TELNET");
}

TEST_F(LinkTest, OpenSetsThePrintersLineSettingsTimeoutsAndQueues) {
    ASSERT_NE(comm.OpenPort(1, 19200, 8, 0, 0), 0);
    EXPECT_EQ(comm.m_bConnected, 1);
    const os::LineSettings& l = sim.serial.LastSettings();
    EXPECT_EQ(std::tuple(l.baudRate, l.byteSize, l.parity, l.stopBits), std::tuple(19200u, 8, 0, 0));
    EXPECT_EQ(std::tuple(l.binary, l.parityCheck, l.outxCtsFlow, l.outxDsrFlow, l.outX, l.inX),
              std::tuple(true, true, false, false, true, true));
    EXPECT_EQ(std::tuple(l.dtrControl, l.rtsControl, l.xonChar, l.xoffChar, l.xonLim, l.xoffLim),
              std::tuple(1, 1, 0x11, 0x13, 100, 100));
    const os::Timeouts& t = sim.serial.LastTimeouts();
    EXPECT_EQ(std::tuple(t.readInterval, t.readTotalMultiplier, t.readTotalConstant, t.writeTotalMultiplier,
                         t.writeTotalConstant),
              std::tuple(0xFFFFFFFFu, 0u, 1000u, 0u, 1000u));
    EXPECT_EQ(sim.serial.LastEventMask(), 0x0001u);
    EXPECT_EQ(sim.serial.LastPurge(), 0x0Fu);
}

TEST_F(LinkTest, OpenFailuresLeaveThePortClosedWithTheirText) {
    EXPECT_EQ(comm.OpenPort(3, 9600, 8, 0, 0), 0);  // nothing on COM3
    EXPECT_EQ(comm.m_strError, "Create File Error");
    EXPECT_EQ(comm.m_bConnected, 0);

    sim.serial.Fail().rejectBaudBelow = 1200;
    EXPECT_EQ(comm.OpenPort(1, 300, 8, 0, 0), 0);
    EXPECT_EQ(comm.m_strError, "Setup Connection Error");
    EXPECT_EQ(comm.m_bConnected, 0);
    EXPECT_EQ(sim.serial.Count().close, 1);
    EXPECT_FALSE(sim.serial.IsOpen(comm.m_hPort));
}

TEST_F(LinkTest, ClosePortReleasesTheDeviceOnceAndLeavesAClosedPortAlone) {
    EXPECT_EQ(comm.ClosePort(), 1);
    EXPECT_EQ(sim.serial.Count().close, 0);
    Open(0);
    EXPECT_EQ(comm.ClosePort(), 1);
    EXPECT_EQ(comm.m_bConnected, 0);
    EXPECT_EQ(sim.serial.LastEventMask(), 0u);
    EXPECT_EQ(sim.serial.Count().clearDtr, 1);
    EXPECT_EQ(sim.serial.LastPurge(), 0x0Fu);
    EXPECT_FALSE(sim.serial.IsOpen(comm.m_hPort));
    EXPECT_EQ(comm.ClosePort(), 1);
    EXPECT_EQ(sim.serial.Count().close, 1);
}

TEST(LinkEvents, EventFailuresAreReportedAndNothingLeaks) {
    sim::CSimPlatform sim;
    const char* texts[] = {"Create Communcation Read Event Error", "Create Communcation Write Event Error"};
    for (int failing : {0, 1}) {
        sim.serial.Fail().eventsBeforeFailure = failing;
        CComm comm(sim.Platform());
        EXPECT_EQ(comm.m_strError, texts[failing]);
        EXPECT_EQ(sim.serial.LiveEvents(), 0);  // a read event made first is closed again
    }
    sim.serial.Fail().eventsBeforeFailure = -1;
    {
        CComm comm(sim.Platform());
        EXPECT_EQ(sim.serial.LiveEvents(), 2);
    }
    EXPECT_EQ(sim.serial.LiveEvents(), 0);
}

TEST_F(LinkTest, ReadsTakeOnlyWhatIsWaitingAsBytesFrom0To255AndAFailureIsReadError) {
    Open(0);
    char buffer[8];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(comm.ReadAvailable(buffer, 8), 0);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(comm.GetByte(), -1);
    printer.Send("abc\xff", Now());
    EXPECT_EQ(comm.ReadAvailable(buffer, 1), 1);
    EXPECT_EQ(comm.ReadAvailable(buffer + 1, 2), 2);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(comm.GetByte(), 0xFF);

    printer.Send("abc", Now());
    sim.serial.Fail().read = true;
    EXPECT_EQ(comm.ReadAvailable(buffer, 4), 0);
    EXPECT_EQ(comm.m_strError, "Read Error");
}

TEST_F(LinkTest, WaitByteDispatchesMessagesUntilTheByteOrALittleAfterItsTimeout) {
    Open(0);
    std::uint32_t start = Now();
    int dispatched = 0;
    for (std::uint32_t due : {100u, 200u, 1299u}) {
        sim.pump.Post(
            0x0400, 0, [&] { ++dispatched; }, due);
    }
    printer.Send("Z", start, 300);
    EXPECT_EQ(comm.WaitByte(1000), 'Z');
    EXPECT_EQ(Now() - start, 300u);
    EXPECT_EQ(dispatched, 2);

    start = Now();
    EXPECT_EQ(comm.WaitByte(1000), -1);
    EXPECT_GT(Now() - start, 1000u);
    EXPECT_LE(Now() - start, 1002u);
    EXPECT_EQ(dispatched, 3);
    EXPECT_GE(sim.clock.IdlePasses(), 1000u);  // it idled in 1 ms steps instead of spinning
}

TEST_F(LinkTest, WaitDataReturnsWhatArrivedWithoutWaitingForTheRest) {
    Open(0);
    std::uint32_t start = Now();
    printer.Send("1234", start, 50);
    char buffer[10] = {};
    EXPECT_EQ(comm.WaitData(buffer, 10, 500), 4);
    EXPECT_EQ(std::string(buffer, 4), "1234");
    EXPECT_EQ(Now() - start, 50u);

    start = Now();
    EXPECT_EQ(comm.WaitData(buffer, 10, 500), 0);
    EXPECT_GT(Now() - start, 500u);
    EXPECT_LE(Now() - start, 502u);
}

TEST(LinkWrap, WaitsSurviveTheTickCounterWrappingAround) {
    CommLink link(0xFFFFFF00u);
    link.Open(0);
    std::uint32_t start = link.Now();
    EXPECT_EQ(link.comm.WaitByte(1000), -1);
    EXPECT_GT(link.Now() - start, 1000u);
    EXPECT_LE(link.Now() - start, 1002u);
    EXPECT_LT(link.Now(), start);  // the counter did wrap during the wait
}

TEST_F(LinkTest, WriteTextGoesOutIn400ByteBlocksOneSecondApart) {
    Open(0);
    EXPECT_EQ(comm.WriteText(std::string(1000, 'x').c_str()), 1);
    const auto& wire = sim.serial.Wire();
    ASSERT_EQ(wire.size(), 3u);
    EXPECT_EQ(wire[0].bytes.size(), 400u);
    EXPECT_EQ(wire[1].bytes.size(), 400u);
    EXPECT_EQ(wire[2].bytes.size(), 200u);
    EXPECT_EQ(wire[2].time - wire[0].time, 2000u);
    EXPECT_EQ(sim.clock.Sleeps(), (Sleeps{1000, 1000}));
    EXPECT_EQ(sim.serial.Count().write, 3);

    EXPECT_EQ(comm.WriteText(""), 1);  // nothing at all
    EXPECT_EQ(comm.WriteText(std::string(400, 'y').c_str()), 1);
    EXPECT_EQ(sim.serial.Count().write, 4);
    EXPECT_EQ(sim.clock.Sleeps().size(), 2u);  // at most 400 bytes: no pause
    comm.WriteText(std::string(401, 'z').c_str());
    EXPECT_EQ(sim.clock.Sleeps(), (Sleeps{1000, 1000, 1000}));
}

TEST_F(LinkTest, WriteTextCtsWaitsUpToElevenPollsForCtsThenWritesAnyway) {
    Open(1);
    printer.SetCts(false);
    std::uint32_t start = Now();
    EXPECT_EQ(comm.WriteTextCts("\033h"), 1);
    EXPECT_EQ(sim.serial.Count().modemStatus, 11);
    EXPECT_EQ(Now() - start, 1100u);
    EXPECT_EQ(Written(), "\033h");

    comm.m_nFamily = 242;  // while the family is unknown CTS counts too
    comm.WriteTextCts("\033j");
    EXPECT_EQ(sim.serial.Count().modemStatus, 22);
    comm.m_nFamily = 0;  // family 0 never looks
    comm.WriteTextCts("\033j");
    EXPECT_EQ(sim.serial.Count().modemStatus, 22);

    printer.SetCts(true);  // one look and the write goes out at once
    comm.m_nFamily = 1;
    start = Now();
    EXPECT_EQ(comm.WriteTextCts("\033f"), 1);
    EXPECT_EQ(sim.serial.Count().modemStatus, 23);
    EXPECT_EQ(Now(), start);
    EXPECT_EQ(Written(), "\033h\033j\033j\033f");

    sim.serial.Fail().modemStatus = true;  // an unreadable modem status writes nothing
    EXPECT_EQ(comm.WriteTextCts("\033h"), 0);
    EXPECT_EQ(Written(), "\033h\033j\033j\033f");
}

// The serial link: opening, line settings, byte reads and waits, paced writes, the cancel key.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "comm_fixture.h"

using LinkTest = CommTest;

TEST_F(LinkTest, PortNumbersNameComDevicesUpToFourAndTelnetFromFive) {
    EXPECT_EQ(CComm::DeviceName(0), "COM0");
    EXPECT_EQ(CComm::DeviceName(1), "COM1");
    EXPECT_EQ(CComm::DeviceName(4), "COM4");
    EXPECT_EQ(CComm::DeviceName(5), "\\\\.\\TELNET");
    EXPECT_EQ(CComm::DeviceName(255), "\\\\.\\TELNET");

    emu::CScriptedPeer telnet;
    sim.serial.Attach("\\\\.\\TELNET", &telnet);
    EXPECT_NE(comm.OpenPort(7, 9600, 8, 0, 0), 0);
    EXPECT_EQ(sim.serial.OpenedNames().back(), "\\\\.\\TELNET");
    comm.ClosePort();
    // Only the low 8 bits of a port number count: 258 is port 2.
    int configured = 258;
    comm.OpenPort(static_cast<std::uint8_t>(configured), 9600, 8, 0, 0);
    EXPECT_EQ(sim.serial.OpenedNames().back(), "COM2");
}

TEST_F(LinkTest, OpenSetsThePrintersLineSettingsTimeoutsAndQueues) {
    ASSERT_NE(comm.OpenPort(1, 19200, 8, 0, 0), 0);
    EXPECT_EQ(comm.m_bConnected, 1);
    const os::LineSettings& line = sim.serial.LastSettings();
    EXPECT_EQ(line.baudRate, 19200u);
    EXPECT_EQ(line.byteSize, 8);
    EXPECT_EQ(line.parity, 0);
    EXPECT_EQ(line.stopBits, 0);
    EXPECT_TRUE(line.binary);
    EXPECT_TRUE(line.parityCheck);
    EXPECT_FALSE(line.outxCtsFlow);
    EXPECT_FALSE(line.outxDsrFlow);
    EXPECT_EQ(line.dtrControl, 1);
    EXPECT_EQ(line.rtsControl, 1);
    EXPECT_TRUE(line.outX);
    EXPECT_TRUE(line.inX);
    EXPECT_EQ(line.xonChar, 0x11);
    EXPECT_EQ(line.xoffChar, 0x13);
    EXPECT_EQ(line.xonLim, 100);
    EXPECT_EQ(line.xoffLim, 100);
    const os::Timeouts& timeouts = sim.serial.LastTimeouts();
    EXPECT_EQ(timeouts.readInterval, 0xFFFFFFFFu);
    EXPECT_EQ(timeouts.readTotalMultiplier, 0u);
    EXPECT_EQ(timeouts.readTotalConstant, 1000u);
    EXPECT_EQ(timeouts.writeTotalMultiplier, 0u);
    EXPECT_EQ(timeouts.writeTotalConstant, 1000u);
    EXPECT_EQ(sim.serial.LastEventMask(), 0x0001u);
    EXPECT_EQ(sim.serial.LastPurge(), 0x0Fu);
}

TEST_F(LinkTest, OpenFailuresLeaveThePortClosedWithTheirText) {
    EXPECT_EQ(comm.OpenPort(3, 9600, 8, 0, 0), 0);  // nothing on COM3
    EXPECT_EQ(comm.m_strError, "Create File Error");
    EXPECT_EQ(comm.m_bConnected, 0);
    EXPECT_EQ(comm.m_nPortNo, 3);  // the values are kept before anything can fail
    EXPECT_EQ(comm.m_nBaud, 9600u);

    EXPECT_EQ(comm.OpenPort(0, 9600, 8, 0, 0), 0);
    EXPECT_EQ(sim.serial.OpenedNames().back(), "COM0");
    EXPECT_EQ(comm.m_strError, "Create File Error");

    sim.serial.Fail().rejectBaudBelow = 1200;
    int closesBefore = sim.serial.Count().close;
    EXPECT_EQ(comm.OpenPort(1, 300, 8, 0, 0), 0);
    EXPECT_EQ(comm.m_strError, "Setup Connection Error");
    EXPECT_EQ(comm.m_bConnected, 0);
    EXPECT_EQ(sim.serial.Count().close, closesBefore + 1);
    EXPECT_FALSE(sim.serial.IsOpen(comm.m_hPort));
}

TEST_F(LinkTest, ClosePortReleasesTheDeviceOnceAndLeavesAClosedPortAlone) {
    EXPECT_EQ(comm.ClosePort(), 1);
    EXPECT_EQ(sim.serial.Count().close, 0);

    Open(0);
    os::Handle port = comm.m_hPort;
    EXPECT_EQ(comm.ClosePort(), 1);
    EXPECT_EQ(comm.m_bConnected, 0);
    EXPECT_EQ(comm.m_hPort, port);  // keeps its last value
    EXPECT_EQ(sim.serial.LastEventMask(), 0u);
    EXPECT_EQ(sim.serial.Count().clearDtr, 1);
    EXPECT_EQ(sim.serial.LastPurge(), 0x0Fu);
    EXPECT_FALSE(sim.serial.IsOpen(port));
    EXPECT_EQ(comm.ClosePort(), 1);
    EXPECT_EQ(sim.serial.Count().close, 1);
}

TEST(LinkEvents, EventFailuresAreReportedAndNothingLeaks) {
    sim::CSimPlatform sim;
    sim.serial.Fail().eventsBeforeFailure = 0;
    {
        CComm comm(sim.Platform());
        EXPECT_EQ(comm.m_strError, "Create Communcation Read Event Error");
    }
    sim.serial.Fail().eventsBeforeFailure = 1;
    {
        CComm comm(sim.Platform());
        EXPECT_EQ(comm.m_strError, "Create Communcation Write Event Error");
        EXPECT_EQ(sim.serial.LiveEvents(), 0);  // the read event was closed again
    }
    sim.serial.Fail().eventsBeforeFailure = -1;
    {
        CComm comm(sim.Platform());
        EXPECT_EQ(sim.serial.LiveEvents(), 2);
    }
    EXPECT_EQ(sim.serial.LiveEvents(), 0);
}

TEST_F(LinkTest, ReadAvailableTakesOnlyWhatIsWaiting) {
    Open(0);
    char buffer[8];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(comm.ReadAvailable(buffer, 8), 0);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(comm.GetByte(), -1);

    printer.Send("abc", Now());
    EXPECT_EQ(comm.ReadAvailable(buffer, 1), 1);
    EXPECT_EQ(buffer[0], 'a');
    EXPECT_EQ(comm.ReadAvailable(buffer, 8), 2);
    EXPECT_EQ(std::string(buffer, 2), "bc");

    printer.Send("\xff", Now());
    EXPECT_EQ(comm.GetByte(), 0xFF);  // bytes come back as 0 to 255
}

TEST_F(LinkTest, AReadFailureIsReportedAsReadError) {
    Open(0);
    printer.Send("abc", Now());
    sim.serial.Fail().read = true;
    char buffer[4];
    EXPECT_EQ(comm.ReadAvailable(buffer, 4), 0);
    EXPECT_EQ(comm.m_strError, "Read Error");
}

TEST_F(LinkTest, WaitByteReturnsTheByteWhenItArrivesAndDispatchesMessagesMeanwhile) {
    Open(0);
    std::uint32_t start = Now();
    int dispatched = 0;
    sim.pump.Post(
        0x0400, 0, [&] { ++dispatched; }, 100);
    sim.pump.Post(
        0x0401, 0, [&] { ++dispatched; }, 200);
    printer.Send("Z", start, 300);
    EXPECT_EQ(comm.WaitByte(1000), 'Z');
    EXPECT_EQ(Now() - start, 300u);
    EXPECT_EQ(dispatched, 2);
}

TEST_F(LinkTest, WaitByteOnASilentLineEndsALittleAfterItsTimeout) {
    Open(0);
    int dispatched = 0;
    sim.pump.Post(
        0x0400, 0, [&] { ++dispatched; }, 999);
    std::uint32_t start = Now();
    EXPECT_EQ(comm.WaitByte(1000), -1);
    std::uint32_t elapsed = Now() - start;
    EXPECT_GT(elapsed, 1000u);
    EXPECT_LE(elapsed, 1002u);
    EXPECT_EQ(dispatched, 1);
    // It idled: the wait let time pass in 1 ms steps instead of spinning.
    EXPECT_GE(sim.clock.IdlePasses(), 1000u);
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

class LinkWrapTest : public CommTest {
protected:
    LinkWrapTest() : CommTest(0xFFFFFF00u) {}
};

TEST_F(LinkWrapTest, WaitsSurviveTheTickCounterWrappingAround) {
    Open(0);
    std::uint32_t start = Now();
    EXPECT_EQ(comm.WaitByte(1000), -1);
    std::uint32_t elapsed = Now() - start;  // unsigned difference: correct across the wrap
    EXPECT_GT(elapsed, 1000u);
    EXPECT_LE(elapsed, 1002u);
    EXPECT_LT(Now(), start);  // the counter did wrap during the wait
}

TEST_F(LinkTest, WriteTextGoesOutIn400ByteBlocksOneSecondApart) {
    Open(0);
    std::string text(1000, 'x');
    int writesBefore = sim.serial.Count().write;
    EXPECT_EQ(comm.WriteText(text.c_str()), 1);
    ASSERT_EQ(sim.serial.Wire().size(), 3u);
    EXPECT_EQ(sim.serial.Wire()[0].bytes.size(), 400u);
    EXPECT_EQ(sim.serial.Wire()[1].bytes.size(), 400u);
    EXPECT_EQ(sim.serial.Wire()[2].bytes.size(), 200u);
    EXPECT_EQ(sim.serial.Wire()[1].time - sim.serial.Wire()[0].time, 1000u);
    EXPECT_EQ(sim.serial.Wire()[2].time - sim.serial.Wire()[1].time, 1000u);
    EXPECT_EQ(sim.clock.Sleeps(), (std::vector<std::uint32_t>{1000, 1000}));
    EXPECT_EQ(sim.serial.Count().write - writesBefore, 3);
}

TEST_F(LinkTest, WriteTextOfAtMost400BytesHasNoPauseAndAnEmptyTextWritesNothing) {
    Open(0);
    std::string text(400, 'y');
    EXPECT_EQ(comm.WriteText(text.c_str()), 1);
    EXPECT_TRUE(sim.clock.Sleeps().empty());
    EXPECT_EQ(Written(), text);

    int writesBefore = sim.serial.Count().write;
    EXPECT_EQ(comm.WriteText(""), 1);
    EXPECT_EQ(sim.serial.Count().write, writesBefore);

    text.assign(401, 'z');
    comm.WriteText(text.c_str());
    EXPECT_EQ(sim.clock.Sleeps(), (std::vector<std::uint32_t>{1000}));
}

TEST_F(LinkTest, WriteTextCtsWaitsUpToElevenPollsForCtsThenWritesAnyway) {
    Open(1);
    printer.SetCts(false);
    std::uint32_t start = Now();
    EXPECT_EQ(comm.WriteTextCts("\x1b"
                                "h"),
              1);
    EXPECT_EQ(sim.serial.Count().modemStatus, 11);
    EXPECT_EQ(Now() - start, 1100u);
    EXPECT_EQ(Written(),
              "\x1b"
              "h");

    // With CTS on, one look and the write goes out at once.
    printer.SetCts(true);
    sim.serial.ClearWire();
    start = Now();
    EXPECT_EQ(comm.WriteTextCts("\x1b"
                                "f"),
              1);
    EXPECT_EQ(sim.serial.Count().modemStatus, 12);
    EXPECT_EQ(Now(), start);
    EXPECT_EQ(Written(),
              "\x1b"
              "f");
}

TEST_F(LinkTest, WriteTextCtsIgnoresCtsForFamilyZeroButNotWhileTheFamilyIsUnknown) {
    Open(0);
    printer.SetCts(false);
    EXPECT_EQ(comm.WriteTextCts("\x1b"
                                "j"),
              1);
    EXPECT_EQ(sim.serial.Count().modemStatus, 0);
    EXPECT_EQ(Written(),
              "\x1b"
              "j");

    comm.m_nFamily = 242;
    comm.WriteTextCts(
        "\x1b"
        "j");
    EXPECT_EQ(sim.serial.Count().modemStatus, 11);
}

TEST_F(LinkTest, WriteTextCtsWritesNothingWhenTheModemStatusCannotBeRead) {
    Open(1);
    sim.serial.Fail().modemStatus = true;
    EXPECT_EQ(comm.WriteTextCts("\x1b"
                                "h"),
              0);
    EXPECT_EQ(Written(), "");
}

TEST_F(LinkTest, PeekKeyReportsAPendingKeyDownAndLeavesItQueued) {
    EXPECT_EQ(comm.PeekKey(), 0);
    sim.pump.Post(0x0401, 0);  // not a key message: ignored
    sim.pump.PostKeyDown(27);
    EXPECT_EQ(comm.PeekKey(), 27);
    EXPECT_EQ(comm.PeekKey(), 27);
    EXPECT_EQ(sim.pump.Waiting(), 2u);

    sim::CSimPlatform other;
    CComm second(other.Platform());
    other.pump.Post(0x0102, 'a');  // WM_CHAR first in the key range
    other.pump.PostKeyDown(27);
    EXPECT_EQ(second.PeekKey(), 0);
}

TEST(StripColons, RemovesColonsAndZeroFillsTheFreedBytes) {
    char text[] = "1:2:3";
    EXPECT_EQ(CComm::StripColons(text, 5), 3);
    EXPECT_EQ(std::string(text, 6), std::string("123\0\0\0", 6));

    char plain[] = "12345";
    EXPECT_EQ(CComm::StripColons(plain, 5), 5);
    EXPECT_STREQ(plain, "12345");

    char colons[] = ":::";
    EXPECT_EQ(CComm::StripColons(colons, 3), 0);
    EXPECT_EQ(colons[0], '\0');
}

// The real driver (CComm on the simulated platform) against the emulated printers: the probe,
// the status exchange, printing, the stripe and the faults have to agree on both sides.
#include <gtest/gtest.h>

#include "comm/comm.h"
#include "device/status_codes.h"
#include "emu/printer_emulator.h"
#include "os/sim/sim_platform.h"

namespace {

using emu::Medium;

std::size_t Count(const std::string& haystack, const std::string& needle) {
    std::size_t count = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

template <int kFamily>
class DriverOn : public ::testing::Test {
protected:
    DriverOn() : printer(kFamily), comm(sim.Platform()) {
        sim.serial.Attach("COM1", &printer);
        // A driver wait that never ends would hang the suite: the operator gives up after a
        // minute of virtual time.
        sim.pump.PostKeyDown(27, 60000);
    }
    void SetUp() override { ASSERT_NE(comm.OpenPort(1, 9600, 8, 0, 0), 0); }
    std::uint32_t Now() { return sim.clock.Ticks(); }
    // Finds the family and forgets the probe's traffic.
    void Probe() {
        ASSERT_EQ(comm.ProbeFamily(), kFamily);
        comm.m_nFamily = kFamily;
        sim.serial.ClearWire();
    }
    std::string Wire() const { return sim.serial.Written(); }

    sim::CSimPlatform sim;
    emu::CPrinterEmulator printer;
    CComm comm;
    char buffer[100] = {};
};

using DriverOnFamily0 = DriverOn<0>;
using DriverOnFamily1 = DriverOn<1>;

// ---- family 0 -------------------------------------------------------------------------------

TEST_F(DriverOnFamily0, ProbeFindsFamily0WithItsFirstRequest) {
    EXPECT_EQ(comm.ProbeFamily(), 0);
    EXPECT_EQ(Wire(), "\033j");
}

TEST_F(DriverOnFamily0, PrintWaitsForThePassbookAndPrintsWhereAsked) {
    Probe();
    const std::uint32_t start = Now();
    printer.InsertAt(Medium::Passbook, start + 2000);
    EXPECT_EQ(comm.PrintPassbookAt(25, 3, "DEPOSIT 10,000"), status::DONE);
    EXPECT_GE(Now(), start + 2000);
    EXPECT_EQ(printer.Page().RowText(3), std::string(25, ' ') + "DEPOSIT 10,000");
    EXPECT_LT(Wire().find("\033L007"), Wire().find("\033H025"));
    EXPECT_NE(Wire().find("DEPOSIT 10,000\033[000"), std::string::npos);
}

TEST_F(DriverOnFamily0, ChitInThePassbookPathIsThrownOutFirst) {
    Probe();
    printer.Insert(Medium::Chit);
    printer.Insert(Medium::Passbook);  // the operator holds it until the slot is free
    EXPECT_EQ(comm.PrintPassbookAt(5, 1, "AFTER"), status::DONE);
    EXPECT_EQ(printer.Ejections(), 1);
    EXPECT_EQ(printer.Page().RowText(1), "     AFTER");
    EXPECT_LT(Wire().find("\033S6"), Wire().find("\033O"));
}

TEST_F(DriverOnFamily0, ChitPrintLandsOnTheChit) {
    Probe();
    printer.Insert(Medium::Chit);
    EXPECT_EQ(comm.PrintChitAt(2, 2, "CHIT"), status::DONE);
    EXPECT_EQ(printer.Page().RowText(2, Medium::Chit), "  CHIT");
}

TEST_F(DriverOnFamily0, StripeWrittenByTheDriverReadsBack) {
    Probe();
    printer.Insert(Medium::Passbook);
    EXPECT_EQ(comm.MsrWrite("12345"), status::DONE);
    EXPECT_EQ(printer.StripeData(), "           12345");
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), status::DONE);
    EXPECT_STREQ(buffer, "           12345");
}

TEST_F(DriverOnFamily0, StripeReadSkipsStatusFramesAndDropsColons) {
    Probe();
    printer.Insert(Medium::Passbook);
    printer.SetStripe("12:34567890:1234");
    printer.SetStatusFramesBeforeStripe(2, 'A');
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), status::DONE);
    EXPECT_STREQ(buffer, "12345678901234");
    printer.SetStripeUnformatted();
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), status::ERR_UFORMAT);
}

TEST_F(DriverOnFamily0, PaperJamIsClearedByTheDriversInitialise) {
    Probe();
    printer.Insert(Medium::Passbook);
    printer.Jam();
    EXPECT_EQ(comm.QueryStatus(), status::ERR_PAPERJM);
    EXPECT_FALSE(printer.Jammed());
    EXPECT_NE(Wire().find("\033l\0330"), std::string::npos);
    EXPECT_EQ(comm.QueryStatus(), status::BANK_TONGJN);
}

TEST_F(DriverOnFamily0, SilentPrinterIsNotFoundAndOnceFoundIsAskedSixTimes) {
    printer.SetSilent(true);
    EXPECT_EQ(comm.ProbeFamily(), status::ERR_PBPROFF);
    EXPECT_EQ(Wire(), "\033j\033h");
    printer.SetSilent(false);
    Probe();
    printer.SetSilent(true);
    EXPECT_EQ(comm.QueryStatus(), status::ERR_PBPROFF);
    EXPECT_EQ(Count(Wire(), "\033j"), 6u);
    EXPECT_EQ(Count(Wire(), "\033l"), 6u);
}

TEST_F(DriverOnFamily0, SlowFrameFailsTheReadThatDoesNotWaitAfterStx) {
    Probe();
    printer.SetSlowFrames(5);
    comm.SendStatusRequest();
    EXPECT_EQ(comm.ReadReplyA(), status::ERR_PBPROFF);
    // The rest of the frame arrives while the driver pauses, so a later attempt gets through.
    sim.serial.ClearWire();
    EXPECT_EQ(comm.QueryStatus(), status::BANK_NORMAL);
    EXPECT_GT(Count(Wire(), "\033j"), 1u);
}

TEST_F(DriverOnFamily0, CutFrameIsNoAnswerAndGarbageIsUnintelligible) {
    Probe();
    printer.CutFrames(4);
    EXPECT_EQ(comm.QueryStatus(), status::ERR_PBPROFF);
    EXPECT_EQ(Count(Wire(), "\033j"), 6u);
    printer.CutFrames(0);
    printer.SetGarbage(true);
    EXPECT_EQ(comm.QueryStatus(), status::ERR_UNKNOWN);
}

// ---- family 1 -------------------------------------------------------------------------------

TEST_F(DriverOnFamily1, ProbeFindsFamily1AfterASilentSecond) {
    const std::uint32_t start = Now();
    EXPECT_EQ(comm.ProbeFamily(), 1);
    EXPECT_EQ(Wire(), "\033j\033h");
    EXPECT_GT(Now() - start, 1000u);
}

TEST_F(DriverOnFamily1, KoreanPrintGoesInWithShiftCodesAndComesOutAsText) {
    Probe();
    printer.InsertAt(Medium::Passbook, Now() + 1500);
    EXPECT_EQ(comm.PrintPassbookAt(12, 0, "\xc0\xd4\xb1\xdd 5,000"), status::DONE);
    ASSERT_EQ(printer.Page().Lines().size(), 1u);
    EXPECT_EQ(printer.Page().Lines()[0].row, 1);  // the driver sends row 0 as 1
    EXPECT_EQ(printer.Page().Lines()[0].column, 12);
    EXPECT_EQ(printer.Page().Lines()[0].text, "입금 5,000");
    EXPECT_NE(Wire().find("\033m\033q024\033j"), std::string::npos);
    EXPECT_NE(Wire().find("\033J1\xc0\xd4\xb1\xdd\033J0 5,000"), std::string::npos);
}

TEST_F(DriverOnFamily1, StripeWrittenByTheDriverReadsBack) {
    Probe();
    printer.Insert(Medium::Passbook);
    EXPECT_EQ(comm.MsrWrite("1234567890"), status::DONE);
    EXPECT_NE(Wire().find("\033m\033e101234567890\033j"), std::string::npos);
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), status::DONE);
    EXPECT_STREQ(buffer, "1234567890");
}

TEST_F(DriverOnFamily1, StripePollAsksInOnePassAndCollectsInTheNext) {
    Probe();
    printer.Insert(Medium::Passbook);
    printer.SetStripe("00:11:22");
    EXPECT_EQ(comm.MsrPoll(buffer, sizeof(buffer)), status::BANK_TONGJN);
    EXPECT_EQ(comm.MsrPoll(buffer, sizeof(buffer)), status::DONE);
    EXPECT_STREQ(buffer, "001122");
}

TEST_F(DriverOnFamily1, UnformattedStripeMakesTheDriverInitialiseAndAStripeErrorEject) {
    Probe();
    printer.Insert(Medium::Passbook);
    printer.SetStripeUnformatted();
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), status::ERR_UFORMAT);
    EXPECT_NE(Wire().find("\033f"), std::string::npos);
    printer.SetNoStripe();
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), status::ERR_MSRRDWR);
    EXPECT_EQ(printer.Loaded(), Medium::None);
}

TEST_F(DriverOnFamily1, CtsOffDelaysEveryWriteButItStillGoesOut) {
    Probe();
    printer.Insert(Medium::Passbook);
    printer.SetCts(false);
    const std::uint32_t start = Now();
    EXPECT_EQ(comm.QueryStatus(), status::BANK_TONGJN);
    EXPECT_GE(Now() - start, 1100u);
}

}  // namespace

// The real driver (CComm on the simulated platform) against the emulated printers: what the
// driver sends must land on the emulated page and stripe as the driver meant it. The bytes on the
// wire are pinned by the command and status tests; these check that both sides agree.
#include <gtest/gtest.h>

#include "comm/comm.h"
#include "device/status_codes.h"
#include "emu/printer_emulator.h"
#include "os/sim/sim_platform.h"

namespace {

using emu::Medium;

template <int kFamily>
class DriverOn : public ::testing::Test {
protected:
    DriverOn() : printer(kFamily), comm(sim.Platform()) {
        sim.serial.Attach("COM1", &printer);
        // A driver wait that never ends would hang the suite: the operator gives up after a
        // minute of virtual time.
        sim.pump.PostKeyDown(27, 60000);
    }
    // Opens the port and finds the family.
    void SetUp() override {
        ASSERT_NE(comm.OpenPort(1, 9600, 8, 0, 0), 0);
        ASSERT_EQ(comm.ProbeFamily(), kFamily);
        comm.m_nFamily = kFamily;
    }

    sim::CSimPlatform sim;
    emu::CPrinterEmulator printer;
    CComm comm;
    char buffer[100] = {};
};

using DriverOnFamily0 = DriverOn<0>;
using DriverOnFamily1 = DriverOn<1>;

TEST_F(DriverOnFamily0, PrintWaitsForThePassbookAndPrintsWhereAsked) {
    const std::uint32_t start = sim.clock.Ticks();
    printer.InsertAt(Medium::Passbook, start + 2000);
    EXPECT_EQ(comm.PrintPassbookAt(25, 3, "DEPOSIT 10,000"), status::DONE);
    EXPECT_GE(sim.clock.Ticks(), start + 2000);
    EXPECT_EQ(printer.Page().RowText(3), std::string(25, ' ') + "DEPOSIT 10,000");
}

TEST_F(DriverOnFamily0, AChitInThePassbookPathIsThrownOutFirstAndAChitPrintLandsOnTheChit) {
    printer.Insert(Medium::Chit);
    printer.Insert(Medium::Passbook);  // the operator holds it until the slot is free
    EXPECT_EQ(comm.PrintPassbookAt(5, 1, "AFTER"), status::DONE);
    EXPECT_EQ(printer.Ejections(), 1);
    EXPECT_EQ(printer.Page().RowText(1), "     AFTER");

    printer.Insert(Medium::Chit);  // goes in half a second after the passbook is out
    EXPECT_EQ(comm.PrintChitAt(2, 2, "CHIT"), status::DONE);
    EXPECT_EQ(printer.Ejections(), 2);
    EXPECT_EQ(printer.Page().RowText(2, Medium::Chit), "  CHIT");
}

TEST_F(DriverOnFamily0, TheStripeWrittenReadsBackAndAReadSkipsStatusFramesAndDropsColons) {
    printer.Insert(Medium::Passbook);
    EXPECT_EQ(comm.MsrWrite("12345"), status::DONE);
    EXPECT_EQ(printer.StripeData(), "           12345");
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), status::DONE);
    EXPECT_STREQ(buffer, "           12345");

    printer.SetStripe("12:34567890:1234");
    printer.SetStatusFramesBeforeStripe(2, 'A');
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), status::DONE);
    EXPECT_STREQ(buffer, "12345678901234");
    printer.SetStripeUnformatted();
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), status::ERR_UFORMAT);
}

TEST_F(DriverOnFamily1, KoreanPrintGoesInWithShiftCodesAndComesOutAsTextAtRowOneForZero) {
    printer.InsertAt(Medium::Passbook, sim.clock.Ticks() + 1500);
    EXPECT_EQ(comm.PrintPassbookAt(12, 0, "\xc0\xd4\xb1\xdd 5,000"), status::DONE);
    ASSERT_EQ(printer.Page().Lines().size(), 1u);
    EXPECT_EQ(printer.Page().Lines()[0].row, 1);
    EXPECT_EQ(printer.Page().Lines()[0].column, 12);
    EXPECT_EQ(printer.Page().Lines()[0].text, "입금 5,000");
}

TEST_F(DriverOnFamily1, TheStripeWrittenReadsBackAndAPollAsksInOnePassAndCollectsInTheNext) {
    printer.Insert(Medium::Passbook);
    EXPECT_EQ(comm.MsrWrite("1234567890"), status::DONE);
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), status::DONE);
    EXPECT_STREQ(buffer, "1234567890");

    printer.SetStripe("00:11:22");
    EXPECT_EQ(comm.MsrPoll(buffer, sizeof(buffer)), status::BANK_TONGJN);
    EXPECT_EQ(comm.MsrPoll(buffer, sizeof(buffer)), status::DONE);
    EXPECT_STREQ(buffer, "001122");
}

}  // namespace

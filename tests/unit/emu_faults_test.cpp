// Faults a test can script into the emulated printer, seen from the line: silence, garbage, cut
// and slow frames, late answers, CTS, a dead line, and the purge of arrived bytes.
#include <gtest/gtest.h>

#include "emu_line.h"

namespace {

using emu::Medium;

const std::string kStatus0(
    "\x1b"
    "j");
const std::string kPassbookIn0(
    "\x02"
    "0r\x41\x03");

class Faults0 : public ::testing::Test, public EmuLine {
protected:
    Faults0() : EmuLine(0) { printer.Insert(Medium::Passbook); }
};

TEST_F(Faults0, SilentPrinterAnswersNothing) {
    printer.SetSilent(true);
    EXPECT_EQ(Ask(kStatus0, 5000), "");
    printer.SetStripe("ABCDEFGHIJKLMNOP");
    EXPECT_EQ(Ask("\x1b]", 20000), "");
    printer.SetSilent(false);
    EXPECT_EQ(Ask(kStatus0), kPassbookIn0);
}

TEST_F(Faults0, GarbageIsNeverTheStartOfAFrameOfEitherFamily) {
    printer.SetGarbage(true);
    for (int i = 0; i < 200; ++i) {
        std::string answer = Ask(kStatus0);
        ASSERT_GE(answer.size(), 3u);
        ASSERT_LE(answer.size(), 8u);
        EXPECT_NE(answer[0], '\x02');
        EXPECT_NE(answer[0], '\x40');
        EXPECT_NE(answer[0], 'A');
        EXPECT_NE(answer[0], 'E');
        EXPECT_NE(answer[0], 'M');
        EXPECT_EQ(answer.find_first_of(std::string("\x11\x13", 2)), std::string::npos) << i;
    }
}

TEST_F(Faults0, CutFramesSendOnlyTheirFirstBytes) {
    printer.CutFrames(3);
    EXPECT_EQ(Ask(kStatus0, 3000),
              "\x02"
              "0r");
    printer.CutFrames(0);
    EXPECT_EQ(Ask(kStatus0), kPassbookIn0);
}

TEST_F(Faults0, SlowFrameSpacesItsBytes) {
    printer.SetSlowFrames(10);
    Send(kStatus0);
    now += 2;
    EXPECT_EQ(Take(), "\x02");
    now += 9;
    EXPECT_EQ(Take(), "");
    now += 1;
    EXPECT_EQ(Take(), "0");
    now += 30;
    EXPECT_EQ(Take(), "r\x41\x03");
}

TEST_F(Faults0, LateAnswerArrivesAfterTheSetDelay) {
    printer.SetAnswerDelay(1200);
    Send(kStatus0);
    now += 1199;
    EXPECT_EQ(printer.Readable(now), 0u);
    now += 1;
    EXPECT_EQ(Take(), kPassbookIn0);
}

TEST_F(Faults0, PurgeDropsOnlyWhatHasArrived) {
    printer.SetSlowFrames(10);
    Send(kStatus0);
    now += 12;  // STX and the next byte have arrived
    printer.PurgeReadable(now);
    EXPECT_EQ(printer.Readable(now), 0u);
    now += 100;
    EXPECT_EQ(Take(), "r\x41\x03");
}

TEST_F(Faults0, AnswersKeepTheirOrderWhenALaterOneWouldBeEarlier) {
    printer.SetAnswerDelay(500);
    Send(kStatus0);
    printer.SetAnswerDelay(2);
    printer.ForceStatus(50);
    Send(kStatus0);
    now += 10;
    EXPECT_EQ(Take(), "");
    now += 500;
    EXPECT_EQ(Take(), kPassbookIn0 +
                          "\x02"
                          "0r\x32\x03");
}

TEST_F(Faults0, DroppedLineLosesQueuedAnswersAndHalfCommands) {
    printer.SetAnswerDelay(100);
    Send(kStatus0);
    Send("\x1bL0");
    uint32_t due = 0;
    ASSERT_TRUE(printer.NextDue(due));
    EXPECT_EQ(due, now + 100);
    printer.DropLine();
    EXPECT_FALSE(printer.NextDue(due));
    Send("07");  // the rest of the lost row command is now print text
    Send("\x1b[000");
    ASSERT_EQ(printer.Page().Lines().size(), 1u);
    EXPECT_EQ(printer.Page().Lines()[0].text, "07");
    EXPECT_EQ(printer.Loaded(), Medium::Passbook);
}

TEST(EmuCts, CtsLineFollowsTheScript) {
    emu::CPrinterEmulator printer(1);
    EXPECT_TRUE(printer.Cts(0));
    printer.SetCts(false);
    EXPECT_FALSE(printer.Cts(10));
    printer.SetCts(true);
    EXPECT_TRUE(printer.Cts(20));
}

TEST(EmuWire, LogRecordsBothDirectionsWithTheirTimes) {
    EmuLine line(0);
    line.Ask(kStatus0);
    ASSERT_EQ(line.printer.Wire().size(), 2u);
    EXPECT_EQ(emu::FormatWireRecord(line.printer.Wire()[0]), "    1000 ms -> 1b 6a");
    EXPECT_EQ(emu::FormatWireRecord(line.printer.Wire()[1]), "    1002 ms <- 02 30 72 50 03");
}

}  // namespace

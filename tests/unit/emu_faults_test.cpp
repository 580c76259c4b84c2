// Faults a test can script into the emulated printer, seen from the line: silence, garbage, cut
// and slow frames, late answers, a dead line, and the purge of arrived bytes.
#include <gtest/gtest.h>

#include "emu_line.h"

namespace {

const char kStatus[] = "\033j";
const char kPassbookIn[] = "\x02?r\x41\x03";

class Faults0 : public ::testing::Test, public EmuLine {
protected:
    Faults0() : EmuLine(0) { printer.Insert(emu::Medium::Passbook); }
};

TEST_F(Faults0, SilentPrinterAnswersNothing) {
    printer.SetSilent(true);
    EXPECT_EQ(Ask(kStatus, 5000), "");
    EXPECT_EQ(Ask("\033]", 20000), "");
    printer.SetSilent(false);
    EXPECT_EQ(Ask(kStatus), kPassbookIn);
}

TEST_F(Faults0, GarbageIsNeverTheStartOfAFrameOfEitherFamilyNorStopsTheLine) {
    printer.SetGarbage(true);
    for (int i = 0; i < 200; ++i) {
        std::string answer = Ask(kStatus);
        ASSERT_GE(answer.size(), 3u);
        EXPECT_EQ(std::string("\x02@AEM").find(answer[0]), std::string::npos) << i;
        EXPECT_EQ(answer.find_first_of("\x11\x13"), std::string::npos) << i;
    }
}

TEST_F(Faults0, AFloodSendsTenBytesOfNoiseEveryTenMillisecondsUnaskedUntilItIsOff) {
    printer.SetFlood(true, now);
    now += 995;
    std::string noise = Take();
    EXPECT_EQ(noise.size(), 1000u);
    EXPECT_EQ(noise.find_first_of("\x02\x03\x11\x13"), std::string::npos);
    std::uint32_t due = 0;
    ASSERT_TRUE(printer.NextDue(due));
    EXPECT_EQ(due, now + 5);
    printer.SetFlood(false, now);
    now += 1000;
    EXPECT_EQ(Take(), "");
    EXPECT_FALSE(printer.NextDue(due));
    EXPECT_EQ(Ask(kStatus), kPassbookIn);
}

TEST_F(Faults0, CutFrameSendsOnlyItsFirstBytes) {
    printer.CutFrames(3);
    EXPECT_EQ(Ask(kStatus, 3000), "\x02?r");
}

TEST_F(Faults0, SlowFrameSpacesItsBytesAndPurgeDropsOnlyThoseArrived) {
    printer.SetSlowFrames(10);
    Send(kStatus);
    now += 2;
    EXPECT_EQ(Take(), "\x02");
    now += 10;
    printer.PurgeReadable(now);  // drops '?', which has just arrived
    now += 9;
    EXPECT_EQ(Take(), "");
    now += 1;
    EXPECT_EQ(Take(), "r");
    now += 20;
    EXPECT_EQ(Take(), "\x41\x03");
}

TEST_F(Faults0, LateAnswerArrivesAfterTheSetDelayAndIsNotOvertaken) {
    printer.SetAnswerDelay(1200);
    Send(kStatus);
    printer.SetAnswerDelay(2);
    printer.ForceStatus(50);
    Send(kStatus);
    now += 1199;
    EXPECT_EQ(printer.Readable(now), 0u);
    now += 1;
    EXPECT_EQ(Take(), std::string(kPassbookIn) + "\x02?r\x32\x03");
}

TEST_F(Faults0, DroppedLineLosesQueuedAnswersAndHalfCommands) {
    printer.SetAnswerDelay(100);
    Send(kStatus);
    Send("\033L0");
    std::uint32_t due = 0;
    ASSERT_TRUE(printer.NextDue(due));
    EXPECT_EQ(due, now + 100);
    printer.DropLine();
    EXPECT_FALSE(printer.NextDue(due));
    Send("07\033[000");  // the rest of the lost row command is print text now
    ASSERT_EQ(printer.Page().Lines().size(), 1u);
    EXPECT_EQ(printer.Page().Lines()[0].text, "07");
}

TEST(EmuWire, LogRecordsBothDirectionsWithTheirTimes) {
    EmuLine line(0);
    line.Ask(kStatus);
    ASSERT_EQ(line.printer.Wire().size(), 2u);
    EXPECT_EQ(emu::FormatWireRecord(line.printer.Wire()[0]), "    1000 ms -> 1b 6a");
    EXPECT_EQ(emu::FormatWireRecord(line.printer.Wire()[1]), "    1002 ms <- 02 3f 72 50 03");
}

}  // namespace

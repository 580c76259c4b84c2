// The family 1 printer seen from the line: silence to the family 0 request, status answers,
// commands inside begin/end pairs, shift codes, the stripe answer and the stripe write.
#include <gtest/gtest.h>

#include "emu_line.h"

namespace {

using emu::Medium;

const std::string kStatus(
    "\x1b"
    "h");
const std::string kNothingIn(
    "\x40"
    "0\x01");
const std::string kMediumIn(
    "\x40"
    "0\x00",
    3);
const std::string kBusy(
    "\x40"
    "0\x20");

class Family1 : public ::testing::Test, public EmuLine {
protected:
    Family1() : EmuLine(1) {}
    // One command between begin and end, as the driver sends it.
    void Command(const std::string& command) { Send("\x1bm" + command + "\x1bj"); }
};

TEST_F(Family1, NeverAnswersTheFamily0StatusRequest) {
    printer.Insert(Medium::Passbook);
    EXPECT_EQ(Ask("\x1bj", 2000), "");
    EXPECT_EQ(Ask("\x1bm\x1bj", 2000), "");
    EXPECT_EQ(printer.Readable(now + 20000), 0u);
}

TEST_F(Family1, StatusAnswerReportsPassbookAndChitAlikeAsMediumIn) {
    EXPECT_EQ(Ask(kStatus), kNothingIn);
    printer.Insert(Medium::Passbook);
    EXPECT_EQ(Ask(kStatus), kMediumIn);
    printer.Remove();
    printer.Insert(Medium::Chit);
    EXPECT_EQ(Ask(kStatus), kMediumIn);
}

TEST_F(Family1, CommandsOutsideABeginEndPairAreIgnored) {
    printer.Insert(Medium::Passbook);
    Send("\x1bu");
    Send("\x1bi007TEXT");
    EXPECT_EQ(printer.Loaded(), Medium::Passbook);
    EXPECT_TRUE(printer.Page().Lines().empty());
    Command("\x1bu");
    EXPECT_EQ(printer.Loaded(), Medium::None);
    EXPECT_EQ(Ask(kStatus), kNothingIn);
}

TEST_F(Family1, ColumnIsInHalfColumnsAndShiftCodesAreTakenOff) {
    printer.Insert(Medium::Passbook);
    Command("\x1bi007");
    Command("\x1bq024");
    Command(
        "a\x1bJ1\xb0\xa1\x1bJ0"
        "b");
    ASSERT_EQ(printer.Page().Lines().size(), 1u);
    const emu::PrintedLine& line = printer.Page().Lines()[0];
    EXPECT_EQ(line.row, 7);
    EXPECT_EQ(line.column, 12);
    EXPECT_EQ(line.raw,
              "a\xb0\xa1"
              "b");
    EXPECT_EQ(line.text, "a가b");
    EXPECT_EQ(line.pitch, 12);
    EXPECT_EQ(printer.Head().column, 12 + 4);
    EXPECT_EQ(printer.Page().RowText(7), "            a가b");
}

TEST_F(Family1, PitchCodeGivesCharactersAndLinesPerInch) {
    printer.Insert(Medium::Passbook);
    Command("\x1b/3");
    EXPECT_EQ(printer.Head().pitch, 13);
    EXPECT_EQ(printer.Head().linesPerInch, 6);
    Command("\x1b/6");
    EXPECT_EQ(printer.Head().pitch, 12);
    EXPECT_EQ(printer.Head().linesPerInch, 3);
    Command("\x1b/5");
    EXPECT_EQ(printer.Head().pitch, 13);
    EXPECT_EQ(printer.Head().linesPerInch, 8);
}

TEST_F(Family1, ColourAndSizeApplyToTheFollowingText) {
    printer.Insert(Medium::Passbook);
    Command(
        "\x1b"
        "C");
    Command("\x1bw");
    Command("X");
    Command(
        "\x1b"
        "c");
    Command("\x1bv");
    Command("Y");
    const auto& lines = printer.Page().Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].colour, emu::Colour::Red);
    EXPECT_EQ(lines[0].size, emu::Size::Enlarged);
    EXPECT_EQ(lines[1].colour, emu::Colour::Black);
    EXPECT_EQ(lines[1].size, emu::Size::Normal);
    EXPECT_EQ(lines[1].column, 2);  // after one enlarged character
}

class Family1Stripe : public Family1 {
protected:
    void SetUp() override { printer.Insert(Medium::Passbook); }
};

TEST_F(Family1Stripe, ReadRequestMakesTheNextStatusAnswerCarryTheStripe) {
    printer.SetStripe("1234567890123456");
    Command("\x1b{");
    EXPECT_EQ(Ask(kStatus), "M161234567890123456\xff");
    EXPECT_EQ(Ask(kStatus), kMediumIn);
}

TEST_F(Family1Stripe, StripeAnswerHoldsAtMostTwentyTwoCharacters) {
    printer.SetStripe("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    Command("\x1b{");
    EXPECT_EQ(Ask(kStatus), "M22ABCDEFGHIJKLMNOPQRSTUV\xff");
}

TEST_F(Family1Stripe, UnformattedStripeAnswersAAndNoStripeAnswersE) {
    printer.SetStripeUnformatted();
    Command("\x1b{");
    EXPECT_EQ(Ask(kStatus), "A");
    printer.SetNoStripe();
    Command("\x1b{");
    EXPECT_EQ(Ask(kStatus), "E");
}

TEST_F(Family1Stripe, ReadRequestWithAChitInAnswersE) {
    printer.Remove();
    printer.Insert(Medium::Chit);
    Command("\x1b{");
    EXPECT_EQ(Ask(kStatus), "E");
}

TEST_F(Family1Stripe, WriteStoresTheDataThenIsBusyForThreeRequests) {
    Command(
        "\x1b"
        "e05HELLO");
    EXPECT_EQ(printer.StripeData(), "HELLO");
    EXPECT_EQ(Ask(kStatus), kBusy);
    EXPECT_EQ(Ask(kStatus), kBusy);
    EXPECT_EQ(Ask(kStatus), kBusy);
    EXPECT_EQ(Ask(kStatus), kMediumIn);
    Command("\x1b{");
    EXPECT_EQ(Ask(kStatus), "M05HELLO\xff");
}

TEST_F(Family1Stripe, WriteThatDoesNotFitIsAStripeError) {
    Command(
        "\x1b"
        "e2312345678901234567890123");
    EXPECT_EQ(printer.StripeData(), "0000000000000000");
    EXPECT_EQ(Ask(kStatus), "E");
    EXPECT_EQ(Ask(kStatus), kMediumIn);
}

TEST_F(Family1Stripe, WriteDataMayBeginWithDigits) {
    Send(
        "\x1bm\x1b"
        "e");
    Send("04");
    Send("12");
    Send("34\x1bj");
    EXPECT_EQ(printer.StripeData(), "1234");
}

TEST_F(Family1Stripe, JamIsBusyUntilInitialise) {
    printer.Jam();
    EXPECT_EQ(Ask(kStatus), kBusy);
    EXPECT_EQ(Ask(kStatus), kBusy);
    Send(
        "\x1b"
        "f");
    EXPECT_EQ(Ask(kStatus), kMediumIn);
}

TEST_F(Family1Stripe, ForcedStatusIsExpressedInTheFamilysAnswers) {
    ASSERT_TRUE(printer.ForceStatus(127));
    EXPECT_EQ(Ask(kStatus), "A");
    ASSERT_TRUE(printer.ForceStatus(113));
    EXPECT_EQ(Ask(kStatus), "E");
    ASSERT_TRUE(printer.ForceStatus(135));
    EXPECT_EQ(Ask(kStatus),
              "\x40"
              "0\x02");
    ASSERT_TRUE(printer.ForceStatus(80));
    EXPECT_EQ(Ask(kStatus), kNothingIn);
    EXPECT_FALSE(printer.ForceStatus(50));  // no way to say "no paper" in this family
    printer.ClearForcedStatus();
    EXPECT_EQ(Ask(kStatus), kMediumIn);
}

}  // namespace

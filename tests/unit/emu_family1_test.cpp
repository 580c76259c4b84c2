// The family 1 printer seen from the line: silence to the family 0 request, status answers,
// commands inside begin/end pairs, shift codes, the stripe answer and the stripe write.
#include <gtest/gtest.h>

#include "emu_line.h"

namespace {

using emu::Medium;

const char kStatus[] = "\033h";
const std::string kNothingIn("\x40?\x01");
const std::string kMediumIn("\x40?\x00", 3);
const std::string kBusy("\x40?\x20");

class Family1 : public ::testing::Test, public EmuLine {
protected:
    Family1() : EmuLine(1) {}
    // One command between begin and end, as the driver sends it.
    void Command(const std::string& command) { Send("\033m" + command + "\033j"); }
};

TEST_F(Family1, NeverAnswersTheFamily0StatusRequest) {
    printer.Insert(Medium::Passbook);
    EXPECT_EQ(Ask("\033j", 2000), "");
    EXPECT_EQ(Ask("\033m\033j", 20000), "");
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
    Send("\033u\033i007TEXT");
    EXPECT_EQ(printer.Loaded(), Medium::Passbook);
    EXPECT_TRUE(printer.Page().Lines().empty());
    Command("\033u");
    EXPECT_EQ(Ask(kStatus), kNothingIn);
}

TEST_F(Family1, ColumnIsInHalfColumnsAndShiftCodesAreTakenOff) {
    printer.Insert(Medium::Passbook);
    Command("\033i007");
    Command("\033q024");
    Command("a\033J1\xb0\xa1\033J0z");
    ASSERT_EQ(printer.Page().Lines().size(), 1u);
    const emu::PrintedLine& line = printer.Page().Lines()[0];
    EXPECT_EQ(line.row, 7);
    EXPECT_EQ(line.column, 12);
    EXPECT_EQ(line.text, "a가z");
    EXPECT_EQ(printer.Head().column, 12 + 4);
    EXPECT_EQ(printer.Page().RowText(7), "            a가z");
}

TEST_F(Family1, PitchColourAndSizeApplyToTheFollowingText) {
    printer.Insert(Medium::Passbook);
    Command("\033/5");
    EXPECT_EQ(printer.Head().pitch, 13);
    EXPECT_EQ(printer.Head().linesPerInch, 8);
    Command("\033/6");
    EXPECT_EQ(printer.Head().pitch, 12);
    EXPECT_EQ(printer.Head().linesPerInch, 3);
    for (const char* command : {"\033C", "\033w", "X", "\033c", "\033v", "Y"}) {
        Command(command);
    }
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
    printer.SetStripe("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    Command("\033{");
    EXPECT_EQ(Ask(kStatus), "M22ABCDEFGHIJKLMNOPQRSTUV\xff");  // at most 22 characters
    EXPECT_EQ(Ask(kStatus), kMediumIn);
}

TEST_F(Family1Stripe, ReadOfAnUnformattedStripeAnswersAAndOfNoStripeE) {
    printer.SetStripeUnformatted();
    Command("\033{");
    EXPECT_EQ(Ask(kStatus), "A");
    printer.SetNoStripe();
    Command("\033{");
    EXPECT_EQ(Ask(kStatus), "E");
    printer.Remove();
    printer.Insert(Medium::Chit);  // a chit has no stripe
    Command("\033{");
    EXPECT_EQ(Ask(kStatus), "E");
}

TEST_F(Family1Stripe, WriteStoresTheDataThenIsBusyForThreeRequests) {
    Send("\033m\033e");  // the length and data may come in pieces and begin with digits
    Send("04");
    Send("12");
    Send("34\033j");
    EXPECT_EQ(Ask(kStatus), kBusy);
    EXPECT_EQ(Ask(kStatus), kBusy);
    EXPECT_EQ(Ask(kStatus), kBusy);
    EXPECT_EQ(Ask(kStatus), kMediumIn);
    Command("\033{");
    EXPECT_EQ(Ask(kStatus), "M041234\xff");
}

TEST_F(Family1Stripe, WriteThatDoesNotFitIsAStripeError) {
    Command("\033e2312345678901234567890123");
    EXPECT_EQ(printer.StripeData(), "0000000000000000");
    EXPECT_EQ(Ask(kStatus), "E");
    EXPECT_EQ(Ask(kStatus), kMediumIn);
}

TEST_F(Family1Stripe, JamIsBusyUntilInitialise) {
    printer.Jam();
    EXPECT_EQ(Ask(kStatus), kBusy);
    Send("\033f");
    EXPECT_EQ(Ask(kStatus), kMediumIn);
}

TEST_F(Family1Stripe, ForcedStatusIsExpressedInTheFamilysAnswers) {
    ASSERT_TRUE(printer.ForceStatus(127));
    EXPECT_EQ(Ask(kStatus), "A");
    ASSERT_TRUE(printer.ForceStatus(113));
    EXPECT_EQ(Ask(kStatus), "E");
    ASSERT_TRUE(printer.ForceStatus(135));
    EXPECT_EQ(Ask(kStatus), "\x40?\x02");
    EXPECT_FALSE(printer.ForceStatus(50));  // no way to say "no paper" in this family
    printer.ClearForcedStatus();
    EXPECT_EQ(Ask(kStatus), kMediumIn);
}

}  // namespace

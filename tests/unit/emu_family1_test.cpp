// The family 1 printer seen from the line: silence to the family 0 request, status answers,
// commands inside begin/end pairs, shift codes, the stripe answer and the stripe write.
#include <gtest/gtest.h>

#include <tuple>

#include "emu_line.h"

namespace {

using emu::Medium;

const char kStatus[] = "\033h";
const std::string kNothingIn("\x40?\x01");
const std::string kMediumIn("\x40?\x00", 3);
const std::string kBusy("\x40?\x20");

class Family1 : public ::testing::Test, public EmuLine {
protected:
    Family1() : EmuLine(1) { printer.Insert(Medium::Passbook); }
    // One command between begin and end, as the driver sends it.
    void Command(const std::string& command) { Send("\033m" + command + "\033j"); }
};

TEST_F(Family1, NeverAnswersTheFamily0RequestAndReportsPassbookAndChitAlikeAsMediumIn) {
    EXPECT_EQ(Ask("\033j", 2000), "");
    EXPECT_EQ(Ask("\033m\033j", 20000), "");
    EXPECT_EQ(Ask(kStatus), kMediumIn);
    printer.Remove();
    EXPECT_EQ(Ask(kStatus), kNothingIn);
    printer.Insert(Medium::Chit);
    EXPECT_EQ(Ask(kStatus), kMediumIn);
}

TEST_F(Family1, CommandsOutsideABeginEndPairAreIgnored) {
    Send("\033u\033i007TEXT");
    EXPECT_EQ(printer.Loaded(), Medium::Passbook);
    EXPECT_TRUE(printer.Page().Lines().empty());
    Command("\033u");
    EXPECT_EQ(Ask(kStatus), kNothingIn);
}

TEST_F(Family1, ColumnIsInHalfColumnsShiftCodesAreTakenOffAndAttributesApplyToWhatFollows) {
    for (const char* command : {"\033i007", "\033q024", "a\033J1\xb0\xa1\033J0z", "\033/5", "\033C", "\033w",
                                "X", "\033/6", "\033c", "\033v", "Y"}) {
        Command(command);
    }
    const auto& lines = printer.Page().Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(std::tuple(lines[0].row, lines[0].column, lines[0].text), std::tuple(7, 12, "a가z"));
    EXPECT_EQ(printer.Page().RowText(7), "            a가zX Y");  // X enlarged
    auto attributes = [](const emu::PrintedLine& l) {
        return std::tuple(l.column, l.colour, l.size, l.pitch, l.linesPerInch);
    };
    EXPECT_EQ(attributes(lines[1]), std::tuple(16, emu::Colour::Red, emu::Size::Enlarged, 13, 8));
    EXPECT_EQ(attributes(lines[2]), std::tuple(18, emu::Colour::Black, emu::Size::Normal, 12, 3));
}

TEST_F(Family1, AStripeReadRequestMakesTheNextStatusAnswerCarryTheStripeOrAOrE) {
    printer.SetStripe("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    Command("\033{");
    EXPECT_EQ(Ask(kStatus), "M22ABCDEFGHIJKLMNOPQRSTUV\xff");  // at most 22 characters
    EXPECT_EQ(Ask(kStatus), kMediumIn);
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

TEST_F(Family1, AStripeWriteStoresTheDataThenIsBusyForThreeRequestsAndOneThatDoesNotFitIsAnError) {
    for (const char* piece : {"\033m\033e", "04", "12", "34\033j"}) {  // pieces may begin with digits
        Send(piece);
    }
    for (const std::string& answer : {kBusy, kBusy, kBusy, kMediumIn}) {
        EXPECT_EQ(Ask(kStatus), answer);
    }
    Command("\033{");
    EXPECT_EQ(Ask(kStatus), "M041234\xff");
    Command("\033e2312345678901234567890123");
    EXPECT_EQ(printer.StripeData(), "1234");
    EXPECT_EQ(Ask(kStatus), "E");
    EXPECT_EQ(Ask(kStatus), kMediumIn);
}

TEST_F(Family1, AJamIsBusyUntilInitialiseAndAForcedStatusIsSaidInTheFamilysAnswers) {
    printer.Jam();
    EXPECT_EQ(Ask(kStatus), kBusy);
    Send("\033f");
    EXPECT_EQ(Ask(kStatus), kMediumIn);
    const std::pair<int, std::string> forced[] = {{127, "A"}, {113, "E"}, {135, "\x40?\x02"}};
    for (const auto& [code, answer] : forced) {
        ASSERT_TRUE(printer.ForceStatus(code));
        EXPECT_EQ(Ask(kStatus), answer);
    }
    EXPECT_FALSE(printer.ForceStatus(50));  // no way to say "no paper" in this family
    printer.ClearForcedStatus();
    EXPECT_EQ(Ask(kStatus), kMediumIn);
}

}  // namespace

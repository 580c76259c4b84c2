// The family 0 printer seen from the line: status frames, media, positioning and printing,
// the stripe frame and the stripe write.
#include <gtest/gtest.h>

#include "emu_line.h"

namespace {

using emu::Medium;

const std::string kStatus(
    "\x1b"
    "j");

class Family0 : public ::testing::Test, public EmuLine {
protected:
    Family0() : EmuLine(0) {}
};

TEST_F(Family0, StatusFrameSaysWhatIsIn) {
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x50\x03");
    printer.Insert(Medium::Passbook);
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x41\x03");
    printer.Remove();
    printer.Insert(Medium::Chit);
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x42\x03");
}

TEST_F(Family0, WholeFrameArrivesTwoMillisecondsAfterTheRequest) {
    Send(kStatus);
    now += 1;
    EXPECT_EQ(printer.Readable(now), 0u);
    now += 1;
    EXPECT_EQ(printer.Readable(now), 5u);
}

TEST_F(Family0, EjectThrowsOutOnlyAMediumOnTheSelectedPath) {
    printer.Insert(Medium::Chit);
    Send("\x1bO");  // the passbook path is selected at power-on
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x42\x03");
    Send("\x1bS6");
    EXPECT_EQ(printer.SelectedPath(), Medium::Chit);
    Send("\x1bO");
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x50\x03");
    EXPECT_EQ(printer.Ejections(), 1);
}

TEST_F(Family0, ScriptedInsertionHappensAtItsTime) {
    printer.InsertAt(Medium::Passbook, 3000);
    now = 2990;
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x50\x03");
    now = 3000;
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x41\x03");
}

TEST_F(Family0, InsertionWaitsUntilHalfASecondAfterTheSlotIsFree) {
    printer.Insert(Medium::Chit);
    printer.Insert(Medium::Passbook);
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x42\x03");
    Send("\x1bS6");
    Send("\x1bO");
    EXPECT_EQ(Ask(kStatus, 500),
              "\x02"
              "0r\x50\x03");
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x41\x03");
}

TEST_F(Family0, RowAndColumnPlaceTheText) {
    printer.Insert(Medium::Passbook);
    Send("\x1bL007");
    Send("\x1bH025");
    Send("DEPOSIT");
    Send("\x1b[000");
    ASSERT_EQ(printer.Page().Lines().size(), 1u);
    const emu::PrintedLine& line = printer.Page().Lines()[0];
    EXPECT_EQ(line.row, 3);
    EXPECT_EQ(line.column, 25);
    EXPECT_EQ(line.text, "DEPOSIT");
    EXPECT_EQ(line.medium, Medium::Passbook);
    EXPECT_EQ(line.face, emu::Face::Myoungjo);
    EXPECT_EQ(line.size, emu::Size::Normal);
    EXPECT_EQ(line.colour, emu::Colour::Black);
    EXPECT_EQ(line.pitch, 10);
    EXPECT_EQ(printer.Head().column, 32);  // the head stands after the text
}

TEST_F(Family0, CommandsSplitAcrossWritesAreJoined) {
    printer.Insert(Medium::Passbook);
    Send("\x1b");
    Send("L0");
    Send("06");
    Send("\x1bH1234");  // four digits are one value
    Send("X\x1b[0");
    Send("00");
    ASSERT_EQ(printer.Page().Lines().size(), 1u);
    EXPECT_EQ(printer.Page().Lines()[0].row, 2);
    EXPECT_EQ(printer.Page().Lines()[0].column, 1234);
    EXPECT_EQ(Ask("\x1b"), "");
    EXPECT_EQ(Ask("j"),
              "\x02"
              "0r\x41\x03");
}

TEST_F(Family0, AttributesApplyToTheTextAfterThemAndInitialiseResetsThem) {
    printer.Insert(Medium::Passbook);
    Send("\x1bL005\x1bH000AB");
    Send(
        "\x1bm1\x1b!1\x1b"
        "3\x1b=CD\x1b[000");
    Send(
        "\x1b"
        "0\x1bH010EF\x1b[000");
    const auto& lines = printer.Page().Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "AB");
    EXPECT_EQ(lines[0].face, emu::Face::Myoungjo);
    EXPECT_EQ(lines[1].text, "CD");
    EXPECT_EQ(lines[1].column, 2);
    EXPECT_EQ(lines[1].face, emu::Face::Godic);
    EXPECT_EQ(lines[1].colour, emu::Colour::Red);
    EXPECT_EQ(lines[1].size, emu::Size::Enlarged);
    EXPECT_EQ(lines[1].pitch, 12);
    EXPECT_EQ(lines[2].face, emu::Face::Myoungjo);
    EXPECT_EQ(lines[2].colour, emu::Colour::Black);
    EXPECT_EQ(lines[2].size, emu::Size::Normal);
    EXPECT_EQ(lines[2].pitch, 10);
    EXPECT_EQ(printer.Page().RowText(1), "ABC D     EF");  // enlarged: two columns a character
}

TEST_F(Family0, KoreanTextIsDecodedAndTakesTwoColumnsAChar) {
    printer.Insert(Medium::Passbook);
    Send("\x1bL004\x1bH003\xc0\xd4\xb1\xdd 100\x1b[000");
    ASSERT_EQ(printer.Page().Lines().size(), 1u);
    EXPECT_EQ(printer.Page().Lines()[0].text, "입금 100");
    EXPECT_EQ(printer.Page().Lines()[0].raw, "\xc0\xd4\xb1\xdd 100");
    EXPECT_EQ(printer.Head().column, 3 + 8);
}

TEST_F(Family0, NothingIsPrintedWithNothingIn) {
    Send("\x1bL004TEXT\x1b[000");
    EXPECT_TRUE(printer.Page().Lines().empty());
}

class Family0Stripe : public Family0 {
protected:
    void SetUp() override { printer.Insert(Medium::Passbook); }
};

TEST_F(Family0Stripe, ReadRequestIsAnsweredWithTheStripeFrame) {
    printer.SetStripe("1234:5678:901234");
    EXPECT_EQ(Ask("\x1b]"), "\x02\x1bs1234:5678:901234\x03");
}

TEST_F(Family0Stripe, UnformattedStripeGivesStatus7F) {
    printer.SetStripeUnformatted();
    EXPECT_EQ(Ask("\x1b]"),
              "\x02"
              "0r\x7f\x03");
}

TEST_F(Family0Stripe, PassbookWithoutStripeGivesStripeError) {
    printer.SetNoStripe();
    EXPECT_EQ(Ask("\x1b]"),
              "\x02"
              "0r\x71\x03");
}

TEST_F(Family0Stripe, ReadWithAChitInAnswersTheStatus) {
    printer.Remove();
    printer.Insert(Medium::Chit);
    EXPECT_EQ(Ask("\x1b]"),
              "\x02"
              "0r\x42\x03");
}

TEST_F(Family0Stripe, StatusFramesComeFirstWhenAsked) {
    printer.SetStripe("ABCDEFGHIJKLMNOP");
    printer.SetStatusFramesBeforeStripe(2, 0x41);
    EXPECT_EQ(Ask("\x1b]", 2),
              "\x02"
              "0r\x41\x03");
    now += 100;
    EXPECT_EQ(Take(),
              "\x02"
              "0r\x41\x03");
    now += 100;
    EXPECT_EQ(Take(), "\x02\x1bsABCDEFGHIJKLMNOP\x03");
}

TEST_F(Family0Stripe, WriteStoresTheSixteenCharactersOnTheEndCommand) {
    Send("\x1bt           12345\x1d");
    EXPECT_EQ(printer.StripeData(), "0000000000000000");  // not yet: ESC '\' commits
    Send("\x1b\\");
    EXPECT_EQ(printer.StripeData(), "           12345");
    EXPECT_EQ(Ask("\x1b]"), "\x02\x1bs           12345\x03");
}

TEST_F(Family0Stripe, WriteOntoAPassbookWithoutStripeReportsErrorOnce) {
    printer.SetNoStripe();
    Send("\x1bt0123456789ABCDEF\x1d\x1b\\");
    EXPECT_EQ(printer.Stripe(), emu::StripeState::None);
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x71\x03");
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x41\x03");
}

TEST_F(Family0Stripe, PaperJamLastsUntilInitialise) {
    printer.Jam();
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x31\x03");
    Send("\x1bl");  // clear does not free a jam
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x31\x03");
    Send(
        "\x1b"
        "0");
    EXPECT_FALSE(printer.Jammed());
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x41\x03");
}

TEST_F(Family0Stripe, ForcedStatusWinsUntilCleared) {
    ASSERT_TRUE(printer.ForceStatus(50));
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x32\x03");
    EXPECT_EQ(Ask("\x1b]"),
              "\x02"
              "0r\x32\x03");
    printer.ClearForcedStatus();
    EXPECT_EQ(Ask(kStatus),
              "\x02"
              "0r\x41\x03");
}

}  // namespace

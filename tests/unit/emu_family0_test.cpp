// The family 0 printer seen from the line: status frames, media, positioning and printing,
// the stripe frame and the stripe write.
#include <gtest/gtest.h>

#include <tuple>

#include "emu_line.h"

namespace {

using emu::Medium;

const char kStatus[] = "\033j";
const char kNothingIn[] = "\x02?r\x50\x03";
const char kPassbookIn[] = "\x02?r\x41\x03";
const char kChitIn[] = "\x02?r\x42\x03";

class Family0 : public ::testing::Test, public EmuLine {
protected:
    Family0() : EmuLine(0) {}
};

TEST_F(Family0, AWholeStatusFrameArrivesTwoMillisecondsAfterTheRequestAndAnInsertionAtItsTime) {
    printer.InsertAt(Medium::Passbook, 1002);
    Send(kStatus);
    now += 1;
    EXPECT_EQ(printer.Readable(now), 0u);
    now += 1;
    EXPECT_EQ(Take(), kNothingIn);
    EXPECT_EQ(Ask(kStatus), kPassbookIn);
    printer.Remove();
    printer.Insert(Medium::Chit);
    EXPECT_EQ(Ask(kStatus), kChitIn);
}

TEST_F(Family0, EjectThrowsOutOnlyAMediumOnTheSelectedPathAndTheNextGoesInHalfASecondLater) {
    printer.Insert(Medium::Chit);
    printer.Insert(Medium::Passbook);
    Send("\033O");  // the passbook path is selected at power-on
    EXPECT_EQ(Ask(kStatus), kChitIn);
    Send("\033S6\033O");
    now += 499;
    EXPECT_EQ(Ask(kStatus), kNothingIn);
    EXPECT_EQ(Ask(kStatus), kPassbookIn);
    EXPECT_EQ(printer.Ejections(), 1);
}

TEST_F(Family0, RowAndColumnPlaceTheTextAndTheHeadMovesOnTwoColumnsAKoreanChar) {
    Send("\033L004LOST\033[000");  // nothing in: nothing printed
    printer.Insert(Medium::Passbook);
    Send("\033L007\033H025DEPOSIT\033[000\033H003\xc0\xd4\xb1\xdd 1\033[000");
    ASSERT_EQ(printer.Page().Lines().size(), 2u);
    const emu::PrintedLine& line = printer.Page().Lines()[0];
    EXPECT_EQ(std::tuple(line.row, line.column, line.text, line.medium),
              std::tuple(3, 25, "DEPOSIT", Medium::Passbook));
    EXPECT_EQ(printer.Page().Lines()[1].text, "입금 1");
    EXPECT_EQ(printer.Head().column, 3 + 6);
}

TEST_F(Family0, CommandsSplitAcrossWritesAreJoined) {
    printer.Insert(Medium::Passbook);
    for (const char* piece : {"\033", "L0", "06", "\033H1234", "X\033[0", "00"}) {
        Send(piece);
    }
    ASSERT_EQ(printer.Page().Lines().size(), 1u);
    EXPECT_EQ(printer.Page().Lines()[0].row, 2);
    EXPECT_EQ(printer.Page().Lines()[0].column, 1234);  // four digits are one value
    EXPECT_EQ(Ask("\033"), "");
    EXPECT_EQ(Ask("j"), kPassbookIn);
}

TEST_F(Family0, AttributesApplyToTheTextAfterThemAndInitialiseResetsThem) {
    printer.Insert(Medium::Passbook);
    Send("\033L005\033H000AB\033m1\033!1\0333\033=CD\033[000\0330\033H010EF\033[000");
    const auto& lines = printer.Page().Lines();
    ASSERT_EQ(lines.size(), 3u);
    auto attributes = [](const emu::PrintedLine& l) { return std::tuple(l.face, l.colour, l.size, l.pitch); };
    const auto plain = std::tuple(emu::Face::Myoungjo, emu::Colour::Black, emu::Size::Normal, 10);
    EXPECT_EQ(attributes(lines[0]), plain);
    EXPECT_EQ(attributes(lines[1]), std::tuple(emu::Face::Godic, emu::Colour::Red, emu::Size::Enlarged, 12));
    EXPECT_EQ(attributes(lines[2]), plain);
    EXPECT_EQ(printer.Page().RowText(1), "ABC D     EF");  // enlarged: two columns a character
}

class Family0Stripe : public Family0 {
protected:
    void SetUp() override { printer.Insert(Medium::Passbook); }
};

TEST_F(Family0Stripe, ReadAnswersTheStripeFrameOrWhyNotAndStatusFramesFirstWhenAsked) {
    printer.SetStripe("1234:5678:901234");
    EXPECT_EQ(Ask("\033]"), "\x02\033s1234:5678:901234\x03");
    printer.SetStatusFramesBeforeStripe(2, 0x41);
    EXPECT_EQ(Ask("\033]", 2), kPassbookIn);
    now += 100;
    EXPECT_EQ(Take(), kPassbookIn);
    now += 100;
    EXPECT_EQ(Take(), "\x02\033s1234:5678:901234\x03");
    printer.SetStripeUnformatted();
    EXPECT_EQ(Ask("\033]"), "\x02?r\x7f\x03");
    printer.SetNoStripe();
    EXPECT_EQ(Ask("\033]"), "\x02?r\x71\x03");
    printer.Remove();
    printer.Insert(Medium::Chit);
    EXPECT_EQ(Ask("\033]"), kChitIn);
}

TEST_F(Family0Stripe, AWriteIsKeptOnlyOnTheEndCommandAndWithoutAStripeReportsAnErrorOnce) {
    Send("\033t           12345\x1d");
    EXPECT_EQ(printer.StripeData(), "0000000000000000");
    Send("\033\\");
    EXPECT_EQ(printer.StripeData(), "           12345");
    printer.SetNoStripe();
    Send("\033t0123456789ABCDEF\x1d\033\\");
    EXPECT_EQ(printer.Stripe(), emu::StripeState::None);
    EXPECT_EQ(Ask(kStatus), "\x02?r\x71\x03");
    EXPECT_EQ(Ask(kStatus), kPassbookIn);
}

TEST_F(Family0Stripe, PaperJamLastsUntilInitialiseNotClear) {
    printer.Jam();
    Send("\033l");
    EXPECT_EQ(Ask(kStatus), "\x02?r\x31\x03");
    Send("\0330");
    EXPECT_EQ(Ask(kStatus), kPassbookIn);
}

}  // namespace

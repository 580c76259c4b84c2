// The two escape-command families byte for byte, as the printers' command tables give them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "comm_fixture.h"

class FamilyATest : public CommTest {
protected:
    void SetUp() override { Open(0); }
    // A printer that answers every status request the same way.
    void Reports(unsigned char status) { printer.AnswerAlways(FrameA(status), kStatusRequestA); }
};

TEST_F(FamilyATest, ColumnsTakeAtLeastThreeDigitsAndTheColumnIsSentWhateverIsIn) {
    Reports('P');
    comm.SetColumn(1234);
    comm.SetColumn(7);
    EXPECT_EQ(Written(), "\033H1234\033j\033H007\033j");
}

TEST_F(FamilyATest, ARowWaitsForAMediumOneSecondAPassAndStopsAtAnError) {
    printer.Answer(FrameA('P'), kStatusRequestA);
    printer.Answer(FrameA('P'), kStatusRequestA);
    Reports('B');  // then a chit is in
    comm.SetRow(0);
    EXPECT_EQ(Written(), "\033j\033j\033j\033L004\033j");
    EXPECT_EQ(sim.clock.Sleeps(), (std::vector<std::uint32_t>{1000, 1000}));

    sim.serial.ClearWire();
    Reports(50);  // no paper: the row is given up
    comm.SetRow(2);
    EXPECT_EQ(Written(), "\033j\033l");
}

TEST_F(FamilyATest, ColourPitchSizeAndFaceCommandsAndTheUnknownPaperKind) {
    comm.SetBlackColor();
    comm.SetRedColor();
    comm.SetPitch(10, 3);
    comm.SetPitch(12, 5);
    comm.SetPitch(15, 6);  // no pitch command for 15
    comm.SetFontFace(0);
    comm.SetFontFace(1);
    comm.SetFontFace(2);  // no such face
    EXPECT_EQ(comm.PaperIn(2), -1);
    EXPECT_EQ(Written(), "\033!0\033!1\033<\033=\033m0\033m1");
    EXPECT_TRUE(sim.clock.Sleeps().empty());

    sim.serial.ClearWire();
    comm.SetEnlargeFont();
    comm.SetNormalFont();
    EXPECT_EQ(Written(), "\0333\0334");
    EXPECT_EQ(sim.clock.Sleeps(), (std::vector<std::uint32_t>{2000, 1000}));
}

TEST_F(FamilyATest, StripeDataIsRightAlignedInSixteenAndCutAfterIt) {
    Reports('A');
    EXPECT_EQ(comm.MsrWrite("12345"), 1);
    EXPECT_EQ(CountOf(Written(), "\033t           12345\x1d\033\\"), 1) << Written();
    comm.MsrWrite("ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(CountOf(Written(), "\033tABCDEFGHIJKLMNOP\x1d\033\\"), 1) << Written();
}

TEST_F(FamilyATest, AStripeReadIsCutToTheCallersBufferAndAnOverlongFrameEndsItUnwritten) {
    Reports('A');
    printer.Answer("\002\033s12:34567890ABCD:\003", "\033]");
    char buffer[24];
    std::memset(buffer, '#', sizeof(buffer));
    ASSERT_EQ(comm.MsrRead(buffer, 8), 1);
    EXPECT_EQ(std::string(buffer, 9), std::string("1234567\0#", 9));

    printer.Answer("\002\033s" + std::string(150, '9') + "\003", "\033]");
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(comm.MsrRead(buffer, 20), 241);
    EXPECT_EQ(buffer[20], '#');  // nothing past the capacity the caller gave
}

class FamilyBTest : public CommTest {
protected:
    void SetUp() override { Open(1); }
    static std::string Framed(const std::string& command) { return "\033m" + command + "\033j"; }
};

TEST_F(FamilyBTest, PositionsAreFramedColumnsDoubledAndRowZeroBecomesOne) {
    comm.SetColumn(12);
    comm.SetRow(0);
    comm.SetRow(1);
    comm.SetRow(17);
    EXPECT_EQ(Written(), Framed("\033q024") + Framed("\033i001") + Framed("\033i001") + Framed("\033i017"));
}

TEST_F(FamilyBTest, PitchCodesCombineCharactersAndLinesPerInch) {
    struct Case {
        int cpi;
        int lpi;
        const char* code;
    } cases[] = {{12, 5, "0"}, {13, 6, "3"}, {12, 3, "6"}, {13, 8, "5"}, {10, 6, "2"}, {13, 4, "1"}};
    for (const Case& c : cases) {
        sim.serial.ClearWire();
        comm.SetPitch(c.cpi, c.lpi);
        EXPECT_EQ(Written(), Framed(std::string("\033/") + c.code)) << c.cpi << "/" << c.lpi;
    }
}

TEST_F(FamilyBTest, ColourAndSizeCommandsAreFramedWithoutPausesAndThereIsNoFace) {
    comm.SetBlackColor();
    comm.SetRedColor();
    comm.SetEnlargeFont();
    comm.SetNormalFont();
    comm.SetFontFace(1);
    EXPECT_EQ(Written(), Framed("\033c") + Framed("\033C") + Framed("\033w") + Framed("\033v"));
    EXPECT_TRUE(sim.clock.Sleeps().empty());
}

TEST_F(FamilyBTest, DoubleByteRunsAreFramedByShiftCodes) {
    printer.AnswerAlways(AnswerB(0x00), kStatusRequestB);
    const std::pair<const char*, std::string> cases[] = {
        {"a\xb0\xa1"
         "b",
         "a\033J1\xb0\xa1\033J0b"},
        {"x\xc7\xd1", "x\033J1\xc7\xd1\033J0"},  // ends inside a run: closed
        {"\x80z", "\x80z"},                      // 0x80 never switches
    };
    for (const auto& [text, framed] : cases) {
        sim.serial.ClearWire();
        EXPECT_EQ(comm.PrintPassbook(text), 1);
        EXPECT_EQ(Written(), kStatusRequestB + Framed(framed));
    }
}

TEST_F(FamilyBTest, StripeWritesCarryATwoDigitLengthAndLongerDataIsRefused) {
    printer.AnswerAlways(AnswerB(0x00), kStatusRequestB);
    for (const std::string& data :
         {std::string("ABCDE"), std::string("1234567890ABCDEF"), std::string(94, '7')}) {
        sim.serial.ClearWire();
        EXPECT_EQ(comm.MsrWrite(data.c_str()), 1);
        std::string length = (data.size() < 10 ? "0" : "") + std::to_string(data.size());
        EXPECT_EQ(CountOf(Written(), Framed("\033e" + length + data)), 1);
    }
    sim.serial.ClearWire();
    EXPECT_EQ(comm.MsrWrite(std::string(95, '7').c_str()), 18);
    EXPECT_EQ(Written(), "");
}

TEST_F(FamilyBTest, AStripeWriteAsksAtMost22TimesWhileThePrinterIsBusy) {
    printer.Answer(AnswerB(0x00), kStatusRequestB);
    printer.AnswerAlways(AnswerB(0x20), kStatusRequestB);  // busy for ever after the write
    EXPECT_EQ(comm.MsrWrite("12345"), 85);
    EXPECT_EQ(CountOf(Written(), kStatusRequestB), 1 + 22);
}

TEST_F(FamilyBTest, AStripeReadAsksForTheStripeWhileAPassbookIsInThenCopiesIt) {
    for (int pass = 0; pass < 3; ++pass) {
        printer.Answer(AnswerB(0x00), kStatusRequestB);
    }
    printer.Answer("M~~12:34:56\xff", kStatusRequestB);
    char buffer[32];
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), 1);
    EXPECT_STREQ(buffer, "123456");
    EXPECT_EQ(CountOf(Written(), Framed("\033{")), 3);
}

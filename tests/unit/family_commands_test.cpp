// The two escape-command families byte for byte, as the printers' command tables give them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "comm_fixture.h"

namespace {

const std::string kPassbookIn = FrameA('A');
const std::string kEsc = "\x1b";

}  // namespace

class FamilyATest : public CommTest {
protected:
    void SetUp() override { Open(0); }
    // A printer that answers every status request the same way.
    void Reports(unsigned char status) { printer.AnswerAlways(FrameA(status), kStatusRequestA); }
};

TEST_F(FamilyATest, APrintAtARowAndColumnWithThePassbookInGoesRowColumnTextEnd) {
    Reports('A');
    EXPECT_EQ(comm.PrintPassbookAt(25, 3, "HELLO"), 1);
    EXPECT_EQ(Written(),
              kEsc + "l" + kEsc + "j"                        // passbook wait: clear, already in
                  + kEsc + "j" + kEsc + "L007" + kEsc + "j"  // row 3 goes out as 3 + 4
                  + kEsc + "H025" + kEsc + "j"               // column
                  + kEsc + "l" + kEsc + "j" + "HELLO" + kEsc + "[000");
}

TEST_F(FamilyATest, ColumnsTakeAtLeastThreeDigitsAndTheColumnIsSentWhateverIsIn) {
    Reports('P');
    comm.SetColumn(1234);
    comm.SetColumn(7);
    EXPECT_EQ(Written(), kEsc + "H1234" + kEsc + "j" + kEsc + "H007" + kEsc + "j");
}

TEST_F(FamilyATest, ARowWaitsForAMediumOneSecondAPassAndStopsAtAnError) {
    printer.Answer(FrameA('P'), kStatusRequestA);
    printer.Answer(FrameA('P'), kStatusRequestA);
    Reports('B');  // then a chit is in
    comm.SetRow(0);
    EXPECT_EQ(Written(), kEsc + "j" + kEsc + "j" + kEsc + "j" + kEsc + "L004" + kEsc + "j");
    EXPECT_EQ(sim.clock.Sleeps(), (std::vector<std::uint32_t>{1000, 1000}));

    sim.serial.ClearWire();
    Reports(50);  // no paper: the row is given up
    comm.SetRow(2);
    EXPECT_EQ(Written(), kEsc + "j" + kEsc + "l");
}

TEST_F(FamilyATest, ALongTextGoesOutIn400ByteBlocksOneSecondApartThenThePrintEnd) {
    Reports('A');
    std::string text(900, 'x');
    EXPECT_EQ(comm.PrintPassbook(text.c_str()), 1);
    std::vector<sim::CSimSerial::WireRecord> sent;
    for (const auto& record : sim.serial.Wire()) {
        if (record.toPrinter) {
            sent.push_back(record);
        }
    }
    ASSERT_GE(sent.size(), 3u);
    std::size_t last = sent.size();
    EXPECT_EQ(sent[last - 3].bytes, std::string(400, 'x'));
    EXPECT_EQ(sent[last - 2].bytes, std::string(400, 'x'));
    EXPECT_EQ(sent[last - 1].bytes, std::string(100, 'x') + kEsc + "[000");
    EXPECT_EQ(sent[last - 2].time - sent[last - 3].time, 1000u);
    EXPECT_EQ(sent[last - 1].time - sent[last - 2].time, 1000u);
}

TEST_F(FamilyATest, ColourPitchSizeAndFaceCommands) {
    comm.SetBlackColor();
    comm.SetRedColor();
    comm.SetPitch(10, 3);
    comm.SetPitch(12, 5);
    comm.SetPitch(15, 6);  // no pitch command for 15
    comm.SetFontFace(0);
    comm.SetFontFace(1);
    comm.SetFontFace(2);  // no such face
    EXPECT_EQ(Written(), kEsc + "!0" + kEsc + "!1" + kEsc + "<" + kEsc + "=" + kEsc + "m0" + kEsc + "m1");

    sim.serial.ClearWire();
    comm.SetEnlargeFont();
    comm.SetNormalFont();
    EXPECT_EQ(Written(), kEsc + "3" + kEsc + "4");
    EXPECT_EQ(sim.clock.Sleeps(), (std::vector<std::uint32_t>{2000, 1000}));
}

TEST_F(FamilyATest, StripeDataIsRightAlignedInSixteenAndCutAfterIt) {
    Reports('A');
    EXPECT_EQ(comm.MsrWrite("12345"), 1);
    std::string written = Written();
    EXPECT_NE(written.find(kEsc + "t" + std::string(11, ' ') + "12345" + "\x1d" + kEsc + "\\"),
              std::string::npos)
        << written;

    sim.serial.ClearWire();
    comm.MsrWrite("ABCDEFGHIJKLMNOPQRST");
    EXPECT_NE(Written().find(kEsc + "tABCDEFGHIJKLMNOP\x1d" + kEsc + "\\"), std::string::npos) << Written();
}

TEST_F(FamilyATest, AnUnknownPaperKindAnswersMinusOneWithoutAByte) {
    EXPECT_EQ(comm.PaperIn(2), -1);
    EXPECT_EQ(Written(), "");
}

TEST_F(FamilyATest, AStripeFrameLongerThanAnyTheDriverKeepsEndsTheReadUnwritten) {
    Reports('A');
    printer.Answer(std::string("\x02") + kEsc + "s" + std::string(150, '9') + "\x03", kEsc + "]");
    char buffer[24];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(comm.MsrRead(buffer, 20), 241);
    EXPECT_EQ(buffer[20], '#');  // nothing past the capacity the caller gave
}

TEST_F(FamilyATest, NoiseThatNeverStartsAFrameEndsTheStripeReadAfterTenSeconds) {
    Reports('A');  // the passbook is in; nothing answers the stripe request
    for (std::uint32_t at = 50; at < 30000; at += 10) {
        printer.Send("x", Now(), at);  // a byte every 10 ms for 30 s
    }
    char buffer[24] = {};
    const std::uint32_t start = Now();
    EXPECT_EQ(comm.MsrRead(buffer, 20), 242);
    EXPECT_LT(Now() - start, 11000u);
}

TEST_F(FamilyATest, AStripeReadIntoASmallBufferIsCutToFit) {
    Reports('A');
    printer.Answer(std::string("\x02") + kEsc + "s" + "12:34567890ABCD:" + "\x03", kEsc + "]");
    char buffer[12];
    std::memset(buffer, '#', sizeof(buffer));
    ASSERT_EQ(comm.MsrRead(buffer, 8), 1);
    EXPECT_STREQ(buffer, "1234567");
    EXPECT_EQ(buffer[8], '#');
}

class FamilyBTest : public CommTest {
protected:
    void SetUp() override { Open(1); }
    static std::string Framed(const std::string& command) { return kEsc + "m" + command + kEsc + "j"; }
};

TEST_F(FamilyBTest, PositionsAreFramedColumnsDoubledAndRowZeroBecomesOne) {
    comm.SetColumn(12);
    EXPECT_EQ(Written(), Framed(kEsc + "q024"));
    sim.serial.ClearWire();
    comm.SetRow(0);
    comm.SetRow(1);
    comm.SetRow(17);
    EXPECT_EQ(Written(), Framed(kEsc + "i001") + Framed(kEsc + "i001") + Framed(kEsc + "i017"));
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
        EXPECT_EQ(Written(), Framed(kEsc + "/" + c.code)) << c.cpi << "/" << c.lpi;
    }
}

TEST_F(FamilyBTest, ColourAndSizeCommandsAreFramedWithoutPausesAndThereIsNoFace) {
    comm.SetBlackColor();
    comm.SetRedColor();
    comm.SetEnlargeFont();
    comm.SetNormalFont();
    comm.SetFontFace(1);
    EXPECT_EQ(Written(), Framed(kEsc + "c") + Framed(kEsc + "C") + Framed(kEsc + "w") + Framed(kEsc + "v"));
    EXPECT_TRUE(sim.clock.Sleeps().empty());
}

TEST_F(FamilyBTest, DoubleByteRunsAreFramedByShiftCodes) {
    printer.AnswerAlways(AnswerB(0x00), kStatusRequestB);
    comm.PrintPassbook(
        "a\xb0\xa1"
        "b");
    EXPECT_NE(Written().find(Framed("a" + kEsc + "J1\xb0\xa1" + kEsc + "J0b")), std::string::npos)
        << Written();

    sim.serial.ClearWire();
    comm.PrintPassbook("x\xc7\xd1");  // ends inside a run: closed
    EXPECT_NE(Written().find(Framed("x" + kEsc + "J1\xc7\xd1" + kEsc + "J0")), std::string::npos);

    sim.serial.ClearWire();
    comm.PrintPassbook("\x80z");  // 0x80 never switches
    EXPECT_NE(Written().find(Framed("\x80z")), std::string::npos);
}

TEST_F(FamilyBTest, StripeWritesCarryATwoDigitLengthAndLongerDataIsRefused) {
    printer.AnswerAlways(AnswerB(0x00), kStatusRequestB);
    EXPECT_EQ(comm.MsrWrite("1234567890ABCDEF"), 1);
    EXPECT_NE(Written().find(Framed(kEsc + "e161234567890ABCDEF")), std::string::npos);
    sim.serial.ClearWire();
    comm.MsrWrite("ABCDE");
    EXPECT_NE(Written().find(Framed(kEsc + "e05ABCDE")), std::string::npos);

    sim.serial.ClearWire();
    std::string longest(94, '7');
    comm.MsrWrite(longest.c_str());
    EXPECT_NE(Written().find(Framed(kEsc + "e94" + longest)), std::string::npos);
    sim.serial.ClearWire();
    std::string tooLong(95, '7');
    EXPECT_EQ(comm.MsrWrite(tooLong.c_str()), 18);
    EXPECT_EQ(Written(), "");
}

TEST_F(FamilyBTest, AStripeWriteAsksAtMost22TimesWhileThePrinterIsBusy) {
    printer.Answer(AnswerB(0x00), kStatusRequestB);
    printer.AnswerAlways(AnswerB(0x20), kStatusRequestB);  // busy for ever after the write
    EXPECT_EQ(comm.MsrWrite("12345"), 85);
    EXPECT_EQ(Count(Written(), kStatusRequestB), 1 + 22);
}

TEST_F(FamilyBTest, AStripeReadAsksForTheStripeWhileAPassbookIsInThenCopiesIt) {
    for (int pass = 0; pass < 3; ++pass) {
        printer.Answer(AnswerB(0x00), kStatusRequestB);
    }
    printer.Answer("M~~12:34:56\xff", kStatusRequestB);
    char buffer[32];
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), 1);
    EXPECT_STREQ(buffer, "123456");
    EXPECT_EQ(Count(Written(), Framed(kEsc + "{")), 3);
}

// The emulated printers from the line, their control language and page model, and the driver on them.
#include <gtest/gtest.h>

#include <tuple>

#include "base/status_codes.h"
#include "comm/comm.h"
#include "emu/control.h"
#include "emu/page_model.h"
#include "emu/printer_emulator.h"
#include "os/sim/sim_platform.h"

namespace {

using emu::ControlAction;
using emu::Medium;

const char kStatus0[] = "\033j";
const char kNothingIn[] = "\x02?r\x50\x03";
const char kPassbookIn[] = "\x02?r\x41\x03";
const char kChitIn[] = "\x02?r\x42\x03";
const char kStatus1[] = "\033h";
const std::string kNothingIn1("\x40?\x01");
const std::string kMediumIn1("\x40?\x00", 3);
const std::string kBusy1("\x40?\x20");

// The driver's end of a line to an emulated printer, on a clock the test moves by hand.
template <int kFamily>
class Line : public ::testing::Test {
protected:
    void Send(const std::string& bytes) {
        printer.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), now);
    }
    std::string Take() {
        std::string bytes(printer.Readable(now), '\0');
        printer.Read(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size(), now);
        return bytes;
    }
    // Sends a request and takes what has arrived `waitMs` later.
    std::string Ask(const std::string& request, std::uint32_t waitMs = 5) {
        Send(request);
        now += waitMs;
        return Take();
    }
    // One command between begin and end, as the driver sends it to family 1.
    void Command(const std::string& command) { Send("\033m" + command + "\033j"); }
    ControlAction Run(const std::string& line) { return emu::RunControlLine(printer, line, now); }

    emu::CPrinterEmulator printer{kFamily};
    std::uint32_t now = 1000;
};

using Family0 = Line<0>;
using Family1 = Line<1>;

TEST_F(Family0, EjectFollowsThePathAndTheHandDelayAndTheStripeAnswersAndWriteEndCommand) {
    printer.Insert(Medium::Chit);
    printer.Insert(Medium::Passbook);
    Send("\033O");  // the passbook path is selected at power-on
    EXPECT_EQ(Ask(kStatus0), kChitIn);
    Send("\033S6\033O");
    now += 499;
    EXPECT_EQ((std::tuple{Ask(kStatus0), Ask(kStatus0), printer.Ejections()}),
              std::tuple(kNothingIn, kPassbookIn, 1));

    Send("\033t           12345\x1d");  // a stripe write is kept only on its end command
    EXPECT_EQ(printer.StripeData(), "0000000000000000");
    Send("\033\\");
    EXPECT_EQ(Ask("\033]"), "\x02\033s           12345\x03");
    printer.SetStripeUnformatted();
    EXPECT_EQ(Ask("\033]"), "\x02?r\x7f\x03");
    printer.SetNoStripe();
    EXPECT_EQ(Ask("\033]"), "\x02?r\x71\x03");
    Send("\033t0123456789ABCDEF\x1d\033\\");  // without a stripe: an error, reported once
    EXPECT_EQ((std::tuple{printer.Stripe(), Ask(kStatus0), Ask(kStatus0)}),
              std::tuple(emu::StripeState::None, "\x02?r\x71\x03", kPassbookIn));
    printer.Remove();
    printer.Insert(Medium::Chit);
    EXPECT_EQ(Ask("\033]"), kChitIn);
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

TEST_F(Family0, APaperJamLastsUntilInitialiseNotClearAndCommandsSplitAcrossWritesAreJoined) {
    printer.Jam();
    Send("\033l");
    EXPECT_EQ(Ask(kStatus0), "\x02?r\x31\x03");  // a clear leaves it
    EXPECT_EQ(Ask("\0330" + std::string(kStatus0)), kNothingIn);

    Send("\033L004LOST\033[000");
    printer.Insert(Medium::Passbook);
    for (const char* piece : {"\033", "L0", "06", "\033H1234", "X\033[0", "00"}) {
        Send(piece);
    }
    ASSERT_EQ(printer.Page().Lines().size(), 1u);
    EXPECT_EQ(std::tuple(printer.Page().Lines()[0].row, printer.Page().Lines()[0].column),
              std::tuple(2, 1234));  // four digits are one value
    EXPECT_EQ((std::tuple{Ask("\033"), Ask("j")}), std::tuple("", kPassbookIn));
}

TEST_F(Family1, ColumnIsInHalfColumnsShiftCodesGoAttributesApplyToWhatFollowsAndAllOutsideAPairIsIgnored) {
    printer.Insert(Medium::Passbook);
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

    Send("\033u\033i007TEXT");
    EXPECT_EQ(std::tuple(printer.Loaded(), printer.Page().Lines().size()), std::tuple(Medium::Passbook, 3u));
    Command("\033u");
    EXPECT_EQ(Ask(kStatus1), kNothingIn1);
}

TEST_F(Family1, AStripeWriteMakesThreeBusyAnswersAndAReadRequestTheNextAnswerCarryTheStripeOrAOrE) {
    printer.Insert(Medium::Passbook);
    for (const char* piece : {"\033m\033e", "04", "12", "34\033j"}) {  // pieces may begin with digits
        Send(piece);
    }
    for (const std::string& answer : {kBusy1, kBusy1, kBusy1, kMediumIn1}) {
        EXPECT_EQ(Ask(kStatus1), answer);
    }
    Command("\033e2312345678901234567890123");
    EXPECT_EQ((std::tuple{printer.StripeData(), Ask(kStatus1), Ask(kStatus1)}),
              std::tuple("1234", "E", kMediumIn1));

    printer.Insert(Medium::Passbook);
    printer.SetStripe("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    Command("\033{");  // at most 22 characters
    EXPECT_EQ((std::tuple{Ask(kStatus1), Ask(kStatus1)}),
              std::tuple("M22ABCDEFGHIJKLMNOPQRSTUV\xff", kMediumIn1));
    printer.SetStripeUnformatted();
    Command("\033{");
    EXPECT_EQ(Ask(kStatus1), "A");
    printer.SetNoStripe();
    Command("\033{");
    EXPECT_EQ(Ask(kStatus1), "E");
    printer.Remove();
    printer.Insert(Medium::Chit);  // a chit has no stripe
    Command("\033{");
    EXPECT_EQ(Ask(kStatus1), "E");
}

TEST_F(Family1, AJamIsBusyUntilInitialiseAndAForcedStatusIsSaidInTheFamilysAnswers) {
    printer.Insert(Medium::Passbook);
    printer.Jam();
    EXPECT_EQ((std::tuple{Ask(kStatus1), Ask("\033f" + std::string(kStatus1))}),
              std::tuple(kBusy1, kMediumIn1));
    const std::pair<int, std::string> forced[] = {{127, "A"}, {113, "E"}, {135, "\x40?\x02"}};
    for (const auto& [code, answer] : forced) {
        ASSERT_TRUE(printer.ForceStatus(code));
        EXPECT_EQ(Ask(kStatus1), answer);
    }
    EXPECT_FALSE(printer.ForceStatus(50));  // no way to say "no paper" in this family
    EXPECT_EQ(Run("status 50"), ControlAction::Unknown);
    printer.ClearForcedStatus();
    EXPECT_EQ(Ask(kStatus1), kMediumIn1);
}

TEST_F(Family0, ASlowFrameSpacesItsBytesAndAPurgeDropsOnlyThoseArrived) {
    printer.SetSlowFrames(10);
    Send(kStatus0);
    now += 2;
    EXPECT_EQ(Take(), "\x02");
    now += 10;
    std::uint32_t due = 0;  // '?' has arrived unread: the next on its way is 'r'
    EXPECT_EQ((std::tuple{printer.NextArrival(now, due), due}), std::tuple(true, now + 10));
    printer.PurgeReadable(now);  // drops '?', which has just arrived
    now += 9;
    EXPECT_EQ(Take(), "");
    now += 1;
    EXPECT_EQ(Take(), "r");
    now += 20;
    EXPECT_EQ((std::tuple{Take(), printer.NextArrival(now, due)}), std::tuple("\x50\x03", false));
}

TEST_F(Family0, AFloodSendsTenBytesOfNoiseEveryTenMillisecondsUnaskedUntilItIsOff) {
    printer.Insert(Medium::Passbook);
    EXPECT_EQ(Run("flood on"), ControlAction::Done);
    now += 995;
    std::string noise = Take();
    EXPECT_EQ(std::tuple(noise.size(), noise.find_first_of("\x02\x03\x11\x13")),
              std::tuple(1000u, std::string::npos));
    std::uint32_t due = 0;
    EXPECT_EQ((std::tuple{printer.NextDue(due), due}), std::tuple(true, now + 5));
    // A burst that has arrived unread is no longer on its way: the next arrival is the burst after.
    now += 5;
    EXPECT_EQ((std::tuple{printer.NextArrival(now, due), due, Take().size()}),
              std::tuple(true, now + 10, 10u));
    EXPECT_EQ(Run("flood off"), ControlAction::Done);
    now += 1000;
    EXPECT_EQ((std::tuple{Take(), printer.NextDue(due)}), std::tuple("", false));
    EXPECT_EQ(Ask(kStatus0), kPassbookIn);
}

TEST_F(Family0, ControlLinesThatAreMalformedChangeNothingAndToolCommandsAreHandedBack) {
    for (const char* line :
         {"insert book", "insert passbook soon", "insert passbook 5 6", "cut -1", "cut", "slow 1.5",
          "status 300", "status", "silent maybe", "jam now", "frobnicate", "page 2"}) {
        EXPECT_EQ(Run(line), ControlAction::Unknown) << line;
    }
    EXPECT_FALSE(printer.Jammed());
    EXPECT_EQ(Ask(kStatus0), kNothingIn);
    const std::pair<const char*, ControlAction> tool[] = {{"  page \r", ControlAction::Page},
                                                          {"unplug", ControlAction::Unplug},
                                                          {"replug", ControlAction::Replug},
                                                          {"quit", ControlAction::Quit},
                                                          {"   ", ControlAction::Done}};
    for (const auto& [line, action] : tool) {
        EXPECT_EQ(Run(line), action) << line;
    }
}

TEST_F(Family0, EachControlSwitchReachesThePrinter) {
    printer.Insert(Medium::Passbook);
    // Each line, then the answer to a status request that many ms later ("-": none asked).
    const std::tuple<const char*, std::uint32_t, std::string> steps[] = {
        {"status 50", 5, "\x02?r\x32\x03"},
        {"status auto", 0, "-"},
        {"cut 3", 5, "\x02?r"},
        {"cut 0", 0, "-"},
        {"slow 20", 2, "\x02"},
        {"slow 0", 0, "-"},
        {"silent on", 2000, "?r\x41\x03"},  // only the rest of the slow frame
        {"silent off", 0, "-"},
        {"jam", 5, "\x02?r\x31\x03"},
    };
    for (const auto& [line, wait, answer] : steps) {
        EXPECT_EQ(Run(line), ControlAction::Done) << line;
        if (answer != "-") {
            EXPECT_EQ(Ask(kStatus0, wait), answer) << line;
        }
    }
    for (const char* line : {"stripe 1234 5678", "garbage on", "cts off"}) {
        EXPECT_EQ(Run(line), ControlAction::Done) << line;
    }
    EXPECT_EQ(printer.StripeData(), "1234 5678");  // blanks inside the stripe are kept
    EXPECT_NE(Ask(kStatus0)[0], '\x02');
    EXPECT_FALSE(printer.Cts(now));
    EXPECT_EQ((std::tuple{Run("unformatted"), printer.Stripe()}),
              std::tuple(ControlAction::Done, emu::StripeState::Unformatted));
    EXPECT_EQ((std::tuple{Run("nostripe"), printer.Stripe()}),
              std::tuple(ControlAction::Done, emu::StripeState::None));
}

using emu::CPageModel;
using emu::PrintedLine;

PrintedLine Printed(int row, int column, const std::string& raw, Medium medium = Medium::Passbook) {
    PrintedLine line;
    line.row = row;
    line.column = column;
    line.raw = raw;
    line.medium = medium;
    return line;
}

TEST(EmuCp949, DecodesKoreanAndKeepsColumnsForBadBytes) {
    EXPECT_EQ(emu::Cp949ToUtf8("\xc5\xeb\xc0\xe5 OK"), "통장 OK");
    std::string glyphs;  // 0xFF starts no character: one '?', and the text after it stays in place
    for (const emu::Glyph& glyph : emu::DecodeCp949("\xff\xb0\xa1z")) {
        glyphs += glyph.utf8 + std::to_string(glyph.width);
    }
    EXPECT_EQ(glyphs, "?1가2z1");
    EXPECT_EQ(emu::Cp949ToUtf8("a\xb0"), "a?");  // a lead byte at the very end has no partner
}

TEST(EmuPage, RenderShowsRowsInTheMarginFromAnyRowAboveTheFirstAndTextAtItsColumn) {
    CPageModel page;
    EXPECT_EQ(page.Render(), "(nothing printed)\n");
    page.Add(Printed(2, 3, "DEPOSIT"));
    page.Add(Printed(4, 0, "\xc0\xd4\xb1\xdd"));
    page.Add(Printed(4, 5, "100"));
    page.Add(Printed(-1, 0, "TOP"));
    EXPECT_EQ(page.Render(),
              "passbook\n"
              "    |0....+....1....+....\n"
              "  -1|TOP\n"
              "   0|\n"
              "   1|\n"
              "   2|   DEPOSIT\n"
              "   3|\n"
              "   4|입금 100\n");
}

TEST(EmuPage, PassbookAndChitAreRenderedApartAndListedRunByRunWithTheirAttributesInPrintOrder) {
    CPageModel page;
    page.Add(Printed(1, 0, "CHIT", Medium::Chit));
    PrintedLine godic = Printed(1, 1, "\xc5\xeb\xc0\xe5 OK");
    std::tie(godic.face, godic.size, godic.colour, godic.pitch, godic.linesPerInch) =
        std::tuple(emu::Face::Godic, emu::Size::Enlarged, emu::Colour::Red, 12, 5);
    page.Add(godic);
    EXPECT_EQ(page.Render(),
              "passbook\n"
              "    |0....+....1....+....\n"
              "   1| 통  장    O K\n"
              "\n"
              "chit\n"
              "    |0....+....1....+....\n"
              "   1|CHIT\n");
    EXPECT_EQ(page.RowText(1, Medium::Chit), "CHIT");
    EXPECT_EQ(page.Listing(),
              "chit\t1\t0\tmyoungjo\tnormal\tblack\t10\t6\tCHIT\n"
              "passbook\t1\t1\tgodic\tenlarged\tred\t12\t5\t통장 OK\n");
}

TEST(EmuPage, OverprintingHalfAWideCharacterBlanksTheOtherHalf) {
    CPageModel page;
    page.Add(Printed(1, 0, "\xb0\xa1\xb3\xaa"));  // two wide characters in columns 0 to 3
    page.Add(Printed(1, 1, "x"));                 // on the right half of the first
    EXPECT_EQ(page.RowText(1), " x나");
    page.Add(Printed(1, 2, "y"));  // on the left half of the second
    EXPECT_EQ(page.RowText(1), " xy");
}

template <int kFamily>
class DriverOn : public ::testing::Test {
protected:
    DriverOn() : printer(kFamily), comm(sim.Platform()) {
        sim.serial.Attach("COM1", &printer);
        sim.pump.PostKeyDown(27, 60000);  // a wait that never ends: the operator gives up after a minute
    }
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

TEST_F(DriverOnFamily0, AShortStripeIsWrittenPaddedToSixteenAndAReadSkipsStatusFrames) {
    printer.Insert(Medium::Passbook);
    EXPECT_EQ(comm.MsrWrite("12345"), status::DONE);
    EXPECT_EQ(printer.StripeData(), "           12345");
    printer.SetStripe("12:34567890:1234");
    printer.SetStatusFramesBeforeStripe(2, 'A');
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), status::DONE);
    EXPECT_STREQ(buffer, "12345678901234");
    printer.SetStripeUnformatted();
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), status::ERR_UFORMAT);
}

TEST_F(DriverOnFamily0, AChitInThePassbookPathIsThrownOutFirstAndAChitPrintLandsOnTheChit) {
    printer.Insert(Medium::Chit);
    printer.Insert(Medium::Passbook);  // the operator holds it until the slot is free
    EXPECT_EQ(comm.PrintPassbookAt(5, 1, "AFTER"), status::DONE);
    EXPECT_EQ(std::tuple(printer.Ejections(), printer.Page().RowText(1)), std::tuple(1, "     AFTER"));

    printer.Insert(Medium::Chit);  // goes in half a second after the passbook is out
    EXPECT_EQ(comm.PrintChitAt(2, 2, "CHIT"), status::DONE);
    EXPECT_EQ(std::tuple(printer.Ejections(), printer.Page().RowText(2, Medium::Chit)),
              std::tuple(2, "  CHIT"));
}

TEST_F(DriverOnFamily1, KoreanTextComesOutAtRowOneForZeroAndAStripeIsPolledInTwoPasses) {
    printer.InsertAt(Medium::Passbook, sim.clock.Ticks() + 1500);
    EXPECT_EQ(comm.PrintPassbookAt(12, 0, "\xc0\xd4\xb1\xdd 5,000"), status::DONE);
    ASSERT_EQ(printer.Page().Lines().size(), 1u);
    const emu::PrintedLine& line = printer.Page().Lines()[0];
    EXPECT_EQ(std::tuple(line.row, line.column, line.text), std::tuple(1, 12, "입금 5,000"));
    printer.Insert(Medium::Passbook);
    printer.SetStripe("00:11:22");
    EXPECT_EQ(comm.MsrPoll(buffer, sizeof(buffer)), status::BANK_TONGJN);  // the first pass asks
    EXPECT_EQ(comm.MsrPoll(buffer, sizeof(buffer)), status::DONE);
    EXPECT_STREQ(buffer, "001122");
}

}  // namespace

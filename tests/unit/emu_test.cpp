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

// The driver's end of a line to an emulated printer, on a clock the test moves by hand.
template <int kFamily>
class Line : public ::testing::Test {
protected:
    void Send(const std::string& bytes) {
        printer.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), now);
    }
    // Sends a request and takes what has arrived `waitMs` later.
    std::string Ask(const std::string& request, std::uint32_t waitMs = 5) {
        Send(request);
        now += waitMs;
        std::string bytes(printer.Readable(now), '\0');
        printer.Read(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size(), now);
        return bytes;
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
    EXPECT_EQ(Ask("\033h"), "\x40?\x01");  // nothing in
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

TEST(EmuPage, OverprintingHalfAWideCharacterBlanksTheOtherHalf) {
    emu::CPageModel page;
    // Two wide characters in columns 0 to 3, then one on the right half of the first.
    page.Add({.row = 1, .column = 0, .raw = "\xb0\xa1\xb3\xaa", .text = {}});
    page.Add({.row = 1, .column = 1, .raw = "x", .text = {}});
    EXPECT_EQ(page.RowText(1), " x나");
    page.Add({.row = 1, .column = 2, .raw = "y", .text = {}});  // on the left half of the second
    EXPECT_EQ(page.RowText(1), " xy");
}

template <int kFamily>
class DriverOn : public ::testing::Test {
protected:
    void SetUp() override {
        sim.serial.Attach("COM1", &printer);
        sim.pump.PostKeyDown(27, 60000);  // a wait that never ends: the operator gives up after a minute
        ASSERT_NE(comm.OpenPort(1, 9600, 8, 0, 0), 0);
        ASSERT_EQ(comm.ProbeFamily(), kFamily);
        comm.m_nFamily = kFamily;
    }

    sim::CSimPlatform sim;
    emu::CPrinterEmulator printer{kFamily};
    CComm comm{sim.Platform()};
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

// The emulator's control language, as the tool's users type it.
#include <gtest/gtest.h>

#include "emu/control.h"
#include "emu_line.h"

namespace {

using emu::ControlAction;
using emu::Medium;

const char kStatus[] = "\033j";

class Control0 : public ::testing::Test, public EmuLine {
protected:
    Control0() : EmuLine(0) {}
    ControlAction Run(const std::string& line) { return emu::RunControlLine(printer, line, now); }
};

TEST_F(Control0, InsertWithADelayHappensThatLongAfterTheCommand) {
    EXPECT_EQ(Run("insert passbook 500"), ControlAction::Done);
    now = 1499;
    EXPECT_EQ(Ask(kStatus), "\x02?r\x50\x03");
    now = 1500;
    EXPECT_EQ(Ask(kStatus), "\x02?r\x41\x03");
    EXPECT_EQ(Run("remove"), ControlAction::Done);
    EXPECT_EQ(Run("insert chit"), ControlAction::Done);
    EXPECT_EQ(printer.Loaded(), Medium::Chit);
}

TEST_F(Control0, MalformedLinesAreRefusedAndChangeNothingAndToolCommandsAreHandedBack) {
    for (const char* line :
         {"insert book", "insert passbook soon", "insert passbook 5 6", "cut -1", "cut", "slow 1.5",
          "status 300", "status", "silent maybe", "jam now", "frobnicate", "page 2"}) {
        EXPECT_EQ(Run(line), ControlAction::Unknown) << line;
    }
    EXPECT_FALSE(printer.Jammed());
    EXPECT_EQ(Ask(kStatus), "\x02?r\x50\x03");
    const std::pair<const char*, ControlAction> tool[] = {{"  page \r", ControlAction::Page},
                                                          {"unplug", ControlAction::Unplug},
                                                          {"replug", ControlAction::Replug},
                                                          {"quit", ControlAction::Quit},
                                                          {"   ", ControlAction::Done}};
    for (const auto& [line, action] : tool) {
        EXPECT_EQ(Run(line), action) << line;
    }
}

TEST_F(Control0, EachSwitchReachesThePrinter) {
    printer.Insert(Medium::Passbook);
    EXPECT_EQ(Run("stripe 1234 5678"), ControlAction::Done);
    EXPECT_EQ(printer.StripeData(), "1234 5678");  // blanks inside the stripe are kept
    EXPECT_EQ(Run("unformatted"), ControlAction::Done);
    EXPECT_EQ(printer.Stripe(), emu::StripeState::Unformatted);
    EXPECT_EQ(Run("nostripe"), ControlAction::Done);
    EXPECT_EQ(printer.Stripe(), emu::StripeState::None);

    EXPECT_EQ(Run("status 50"), ControlAction::Done);
    EXPECT_EQ(Ask(kStatus), "\x02?r\x32\x03");
    EXPECT_EQ(Run("status auto"), ControlAction::Done);
    EXPECT_EQ(Run("cut 3"), ControlAction::Done);
    EXPECT_EQ(Ask(kStatus), "\x02?r");
    EXPECT_EQ(Run("cut 0"), ControlAction::Done);
    EXPECT_EQ(Run("slow 20"), ControlAction::Done);
    EXPECT_EQ(Ask(kStatus, 2), "\x02");
    EXPECT_EQ(Run("slow 0"), ControlAction::Done);
    EXPECT_EQ(Run("silent on"), ControlAction::Done);
    EXPECT_EQ(Ask(kStatus, 2000), "?r\x41\x03");  // only the rest of the slow frame
    EXPECT_EQ(Run("silent off"), ControlAction::Done);
    EXPECT_EQ(Run("garbage on"), ControlAction::Done);
    EXPECT_NE(Ask(kStatus)[0], '\x02');
    EXPECT_EQ(Run("garbage off"), ControlAction::Done);
    EXPECT_EQ(Run("cts off"), ControlAction::Done);
    EXPECT_FALSE(printer.Cts(now));
    EXPECT_EQ(Run("jam"), ControlAction::Done);
    EXPECT_EQ(Ask(kStatus), "\x02?r\x31\x03");
}

TEST(Control1, StatusCodesFamily1CannotSayAreRefused) {
    emu::CPrinterEmulator printer(1);
    EXPECT_EQ(emu::RunControlLine(printer, "status 50", 0), ControlAction::Unknown);
    EXPECT_EQ(emu::RunControlLine(printer, "status 127", 0), ControlAction::Done);
}

}  // namespace

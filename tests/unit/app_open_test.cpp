// The device connection, and commands, closes and ticks arriving in the middle of an exchange.

#include <gtest/gtest.h>

#include <tuple>

#include "app_fixture.h"
#include "cp949.h"

// The second attempt takes COM1 after any other port (COM2, and port 5's device in the last row).
TEST(FailedOpen, NothingIsStoredAndTheAnswerDecidesTheReopenFlag) {
    for (int answer : {os::kIdOk, os::kIdCancel, 7}) {
        SCOPED_TRACE(answer);
        Workstation w;
        w.SetIni("PORT", answer == 7 ? "5" : "2");
        w.Create();
        w.sim.desktop.defaultQuestionAnswer = answer;
        EXPECT_EQ(w.frame->OpenPrinter(0), 242);
        EXPECT_EQ(w.sim.serial.OpenedNames(), (Names{answer == 7 ? "\\\\.\\TELNET" : "COM2", "COM1"}));
        ASSERT_EQ(w.Shown("question"), 1);
        const auto& question = w.sim.desktop.AllShown().back();
        EXPECT_EQ(question.owner, w.Main());
        EXPECT_EQ(question.text,
                  Cp949("\n통장인쇄기가 꺼져있거나 연결되지 않았습니다.\n다음에 다시 시도하시겠습니까?\n "));
        EXPECT_EQ(std::tuple(w.frame->Comm().m_bOpen, w.frame->AutoReopen(), w.frame->StatusText()),
                  std::tuple(0, answer == os::kIdOk ? 1 : 0, ""));
    }
}

TEST_F(FrameTest, InitialiseOpensAClosedDeviceAfterANoAndOnlyReinitialisesAnOpenOne) {
    Create();
    EXPECT_EQ(frame->OpenPrinter(0), 242);  // no printer yet, and the operator says no
    EXPECT_EQ(frame->AutoReopen(), 0);
    Plug("COM1", com1, 0);
    frame->OnCommand(ID_TRAY_INIT);
    EXPECT_EQ(std::tuple(frame->Comm().m_bOpen, sim.system.profileWrites.size()), std::tuple(1, 4u));

    ClientWindow client;
    frame->StartMsrAdvise(Register(client));
    std::size_t before = com1.Received().size();
    frame->OnCommand(ID_TRAY_INIT);
    EXPECT_EQ(std::tuple(sim.serial.Count().open, sim.system.profileWrites.size()), std::tuple(3, 4u));
    EXPECT_EQ(com1.Received().substr(before), kClearA + "\0330" + kStatusRequestA);  // the wait ends first
    EXPECT_FALSE(frame->MsrWaiting() != 0 || sim.windows.TimerSet(Main(), kMsrTimerId));
}

TEST_F(FrameTest, ALinkLostInAnEndlessEjectEndsItWith242ClosesTheDeviceAndTheNextRequestOpensAgain) {
    // The printer answers the open, then falls silent: the eject is repeated until it answers.
    SetIni("MODEL", "0");
    com1.Answer(FrameA('P'), kStatusRequestA);
    Plug("COM1", com1);
    Create();
    ASSERT_EQ(frame->OpenPrinter(0), 1);
    frame->SetAutoReopen(0);
    sim.pump.Post(
        0x0400, 0, [&] { sim.serial.Unplug("COM1"); }, 3000);
    const std::uint32_t start = sim.clock.Ticks();
    EXPECT_EQ(frame->PAPEROUT(), 242);
    EXPECT_LT(sim.clock.Ticks() - start, 3000u + 1000u);
    EXPECT_EQ(std::tuple(frame->Comm().m_bOpen, frame->AutoReopen(), frame->StatusText()),
              std::tuple(0, 1, Cp949("Response가 없다")));

    com1.AnswerAlways(FrameA('P'), kStatusRequestA);
    Plug("COM1", com1);  // plugged in again
    EXPECT_EQ(frame->PAPEROUT(), 1);
    EXPECT_EQ(std::tuple(sim.serial.Count().open, frame->Comm().m_bOpen), std::tuple(2, 1));
}

class ReentryTest : public FrameTest {
protected:
    // A family 0 printer on COM1 that answers the probe 300 ms late, and the main window.
    void SlowPrinter() {
        com1.Answer("?", kStatusRequestA, 300);
        Plug("COM1", com1, 0);
        Create();
    }
};

TEST_F(ReentryTest, ASettingsOkDuringAnOpenIsTakenOverWhenTheOpenHasEnded) {
    Plug("COM2", com2, 0);
    SlowPrinter();
    sim.desktop.propertyAnswer = os::kIdOk;
    sim.desktop.propertyEdit = [](os::PropertyFields& fields) { fields.portRadio = 1; };
    sim.windows.Post(Main(), os::kWmCommand, ID_TRAY_CONFIG, 0);
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(std::tuple(Shown("property"), Ini("PORT")),
              std::tuple(1, "1"));  // the open stored its own port
    Pump();
    EXPECT_EQ(sim.serial.OpenedNames(), (Names{"COM1", "COM2"}));
    EXPECT_EQ(std::tuple(frame->CurrentSettings().port, Ini("PORT")), std::tuple(2, "2"));
}

// The close question is asked at once, during the open; the close it confirms waits for the open.
TEST(Reentry, ACloseDuringAnOpenWaitsUntilItHasEndedAndAQuietCloseInterruptsIt) {
    for (std::uint32_t close : {os::kWmClose, WM_CLOSEQUIET}) {
        const bool quiet = close == WM_CLOSEQUIET;
        Workstation w;
        w.com1.Answer("?", kStatusRequestA, 300);
        w.Plug("COM1", w.com1, 0);
        w.Create();
        ClientWindow client;
        w.Register(client);
        w.sim.desktop.yesNoAnswers = {true};
        w.sim.windows.Post(w.Main(), close, 0, 0);
        const std::uint32_t start = w.sim.clock.Ticks();
        EXPECT_EQ(w.frame->OpenPrinter(0), quiet ? 242 : 1);
        EXPECT_EQ(w.sim.clock.Ticks() - start < 300u, quiet);  // the probe's answer was not waited for
        // No second attempt, the window still there; only WM_CLOSE asked, and was answered.
        EXPECT_EQ(std::tuple(w.sim.serial.Count().open, w.frame->Comm().m_bOpen, w.Alive(w.Main()),
                             w.Shown("yesno"), w.Shown("question")),
                  std::tuple(1, quiet ? 0 : 1, true, quiet ? 0 : 1, 0));
        w.Pump();
        EXPECT_EQ(std::tuple(w.Shown("yesno"), w.Alive(w.Main()), w.sim.windows.QuitPosted()),
                  std::tuple(quiet ? 0 : 1, false, true));
    }
}

TEST_F(ReentryTest, AnOpenOrAnInitialiseInsideAnOpenOpensNothingMoreAndTheInitialiseRunsAfterIt) {
    SlowPrinter();
    std::tuple<int, bool, int, int> inside;  // open, opening, the nested open's answer, opens meanwhile
    sim.pump.Post(0, 0, [&] {
        int opens = sim.serial.Count().open;
        inside = {frame->Comm().m_bOpen, frame->OpenRunning(), frame->OpenPrinter(0), 0};
        std::get<3>(inside) = sim.serial.Count().open - opens;
    });
    sim.windows.Post(Main(), os::kWmCommand, ID_TRAY_INIT, 0);
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(inside, std::tuple(0, true, 242, 0));
    EXPECT_EQ(std::tuple(Shown("question"), frame->OpenRunning(), CountOf(com1.Received(), "\0330")),
              std::tuple(0, false, 1));
    Pump();  // the device was open by then: only the initialise
    EXPECT_EQ(std::tuple(sim.serial.Count().open, CountOf(com1.Received(), "\0330")), std::tuple(1, 2));
}

TEST_F(ReentryTest, TicksDuringALongPollAreSkipped) {
    SetIni("MODEL", "0");
    com1.Answer(FrameA('P'), kStatusRequestA);  // the initialise's status; then the printer falls silent
    Plug("COM1", com1);
    Create();
    ClientWindow client;
    ASSERT_EQ(frame->OpenPrinter(0), 1);
    frame->StartMsrAdvise(Register(client));
    std::size_t before = com1.Received().size();
    Pump(1000);  // the first tick polls: six status requests of a second each, while ticks keep coming
    EXPECT_GT(sim.clock.Ticks(), 6000u);
    EXPECT_EQ(std::tuple(CountOf(com1.Received().substr(before), kStatusRequestA), frame->MsrWaiting()),
              std::tuple(6, 1));
}

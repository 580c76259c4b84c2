// The device connection, and commands, closes and ticks arriving in the middle of an exchange.

#include <gtest/gtest.h>

#include <tuple>

#include "app_fixture.h"
#include "cp949.h"
#include "device/texts.h"
#include "emu/printer_emulator.h"

TEST(OpenFallback, TheSecondAttemptTakesCom2AfterCom1AndCom1AfterAnyOtherAndStoresWhatWorked) {
    struct Case {
        const char* port;  // the stored port, nullptr for none
        int com1;          // the family of the printer there, -1 silent, -2 no port at all
        int com2;
        Names opened;
        const char* model;
    } cases[] = {{"2", 1, -2, {"COM2", "COM1"}, "1"}, {"5", 0, -2, {"\\\\.\\TELNET", "COM1"}, "0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.opened[1]);
        Workstation w;
        if (c.port != nullptr) {
            w.SetIni("PORT", c.port);
        }
        for (auto [port, family, printer] :
             {std::tuple("COM1", c.com1, &w.com1), {"COM2", c.com2, &w.com2}}) {
            if (family != -2) {
                w.Plug(port, *printer, family);
            }
        }
        w.Create();
        EXPECT_EQ(w.frame->OpenPrinter(0), 1);
        EXPECT_EQ(w.sim.serial.OpenedNames(), c.opened);
        EXPECT_EQ(std::tuple(w.Ini("PORT"), w.Ini("MODEL")), std::tuple(c.opened[1].substr(3), c.model));
        EXPECT_EQ(w.frame->StatusText(), Cp949("통장인쇄기 초기화 완료"));
        EXPECT_EQ(std::tuple(w.frame->Comm().m_bOpen, w.frame->AutoReopen(), w.Shown("question")),
                  std::tuple(1, 0, 0));
    }
}

TEST_F(FrameTest, AProbedFamilyIsSavedAndUsedWithoutAProbeOnTheSecondPortAndTheNextOpen) {
    com1.Answer("?", kStatusRequestA);  // the probe is answered, the initialise's status is not
    Plug("COM1", com1);
    Plug("COM2", com2, 0);
    Create();
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(com2.Received(), "\0330" + kStatusRequestA);  // the initialise, no probe
    EXPECT_EQ(std::tuple(Ini("PORT"), Ini("MODEL")), std::tuple("2", "0"));
    ASSERT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(com2.Received(), "\0330" + kStatusRequestA + "\0330" + kStatusRequestA);
}

TEST(FailedOpen, NothingIsStoredAndTheAnswerDecidesTheReopenFlag) {
    for (int answer : {os::kIdOk, os::kIdCancel, 7}) {
        SCOPED_TRACE(answer);
        Workstation w;
        w.SetIni("PORT", "2");
        w.Create();
        w.sim.desktop.defaultQuestionAnswer = answer;
        EXPECT_EQ(w.frame->OpenPrinter(0), 242);
        EXPECT_EQ(w.sim.serial.OpenedNames(), (Names{"COM2", "COM1"}));
        EXPECT_TRUE(w.frame->StatusText().empty());
        ASSERT_EQ(w.Shown("question"), 1);
        const auto& question = w.sim.desktop.AllShown().back();
        EXPECT_EQ(std::tuple(question.text, question.owner), std::tuple(text::kRetryQuestion, w.Main()));
        EXPECT_EQ(std::tuple(w.frame->Comm().m_bOpen, w.frame->AutoReopen()),
                  std::tuple(0, answer == os::kIdOk ? 1 : 0));
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
    void PostToMain(std::uint32_t message, std::uintptr_t wParam = 0) {
        sim.windows.Post(Main(), message, wParam, 0);
    }
};

TEST_F(ReentryTest, AnInitialiseChosenDuringTheQuestionWaitsForTheAnswer) {
    Create();
    int depth = 0;
    std::vector<int> depths;
    sim.desktop.defaultQuestionAnswer = os::kIdOk;
    sim.desktop.whileModal = [&] {
        depths.push_back(depth++);
        Pump();
        --depth;
    };
    PostToMain(os::kWmCommand, ID_TRAY_INIT);
    frame->OpenPrinter(0);  // nothing answers on either port: the question
    EXPECT_EQ(sim.serial.Count().open, 2);
    Pump();
    EXPECT_EQ(sim.serial.Count().open, 4);        // the deferred initialise opened afresh
    EXPECT_EQ(depths, (std::vector<int>{0, 0}));  // one question after the other, never one inside the other
}

TEST_F(ReentryTest, ASettingsOkDuringAnOpenIsTakenOverWhenTheOpenHasEnded) {
    Plug("COM2", com2, 0);
    SlowPrinter();
    sim.desktop.propertyAnswer = os::kIdOk;
    sim.desktop.propertyEdit = [](os::PropertyFields& fields) { fields.portRadio = 1; };
    PostToMain(os::kWmCommand, ID_TRAY_CONFIG);
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(std::tuple(Shown("property"), Ini("PORT")),
              std::tuple(1, "1"));  // the open stored its own port
    Pump();
    EXPECT_EQ(sim.serial.OpenedNames(), (Names{"COM1", "COM2"}));
    EXPECT_EQ(std::tuple(frame->CurrentSettings().port, Ini("PORT")), std::tuple(2, "2"));
}

// The operator's UI opened in the middle of a passbook wait holds nothing up: the wait takes the
// passbook at the moment it goes in, while the About box, the settings dialog and the close
// question stay open. A settings OK given during the wait is taken over when it has ended.
TEST(OperatorUi, APassbookWaitTakesThePassbookWhenItComesWhileTheMenuAndTheDialogsAreOpen) {
    emu::CPrinterEmulator printer(0);
    Workstation w;
    w.SetIni("MODEL", "0");
    w.sim.serial.Attach("COM1", &printer);
    w.Create();
    ClientWindow teller;
    w.Register(teller);
    ASSERT_EQ(w.frame->OpenPrinter(0), 1);
    auto at = [&](std::uint32_t ms, std::function<void()> step) {
        w.sim.pump.Post(0, 0, std::move(step), ms);
    };
    auto click = [&] {
        w.sim.windows.Send(w.Main(), os::Message{WM_TRAYNOTIFY, kTrayIconId, os::kWmRButtonUp});
    };
    auto choose = [&](int command) { return [&w, command] { w.sim.desktop.ChooseFromTrayMenu(command); }; };
    at(500, click);
    at(1000, choose(ID_TRAY_CONFIG));
    at(1500, click);
    at(2000, choose(ID_APP_ABOUT));
    at(2500, click);
    at(3000, choose(ID_TRAY_EXIT));  // a client is registered: the close question
    at(3500, click);                 // and the menu stays open over the passbook's arrival
    at(4000, [&] { w.sim.desktop.AnswerSettings(os::kIdOk, [](os::PropertyFields& f) { f.trace = 1; }); });
    const std::uint32_t start = w.sim.clock.Ticks();
    printer.InsertAt(emu::Medium::Passbook, start + 5000);
    EXPECT_EQ(w.frame->PAPERIN(0), 1);
    EXPECT_LE(w.sim.clock.Ticks() - start, 5000u + 200u);  // one status pass after it came
    const auto& desktop = w.sim.desktop;
    EXPECT_TRUE(desktop.IsOpen(os::OperatorUi::kTrayMenu) && desktop.IsOpen(os::OperatorUi::kAbout) &&
                desktop.IsOpen(os::OperatorUi::kCloseQuestion) && !desktop.IsOpen(os::OperatorUi::kSettings));
    EXPECT_EQ(std::tuple(w.frame->CurrentSettings().trace, w.Ini("TRACE")), std::tuple(0, "0"));
    w.Pump();
    EXPECT_EQ(std::tuple(w.frame->CurrentSettings().trace, w.Ini("TRACE"), w.frame->Comm().m_bOpen),
              std::tuple(1, "1", 1));
    EXPECT_TRUE(w.Alive(w.Main()));
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
    PostToMain(os::kWmCommand, ID_TRAY_INIT);
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

// Start-up and its signal; the main window: the tray icon, the gates, closing, the MSR poll.

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "app/lodevar_app.h"
#include "app_fixture.h"
#include "cp949.h"

class StartupTest : public FrameTest {
protected:
    bool Start(std::vector<const char*> argv) {
        sim.system.CreateNamedEvent(kStartupEventName);
        argv.insert(argv.begin(), "C:\\Lodevar\\lodevar.exe");
        return app.InitInstance(static_cast<int>(argv.size()), argv.data());
    }
    int Signals() const { return sim.system.TimesSet(kStartupEventName); }

    CLodevarApp app{sim.Platform()};
};

// The launcher is released once start-up has ended: after a class failure not at all, after a window
// failure at once, and otherwise after the open with its question, the window hidden.
TEST_F(StartupTest, TheLauncherIsReleasedOnceStartUpHasEndedExceptAfterAClassFailure) {
    sim.windows.failRegisterClass = true;
    EXPECT_FALSE(Start({}));
    EXPECT_EQ(std::tuple(Signals(), app.MainFrame()), std::tuple(0, nullptr));
    sim.windows.failRegisterClass = false;
    sim.windows.failCreateMainWindow = true;
    EXPECT_FALSE(Start({}));
    EXPECT_EQ(std::tuple(Signals(), sim.system.OpenHandles(), sim.serial.Count().open), std::tuple(1, 0, 0));

    sim.windows.failCreateMainWindow = false;  // without a printer the launcher waits for the answer
    int signalsWhileAsking = -1;
    sim.desktop.whileModal = [&] { signalsWhileAsking = Signals(); };
    ASSERT_TRUE(Start({"x"}));
    EXPECT_EQ(std::tuple(Shown("question"), signalsWhileAsking, Signals()), std::tuple(1, 1, 2));
    EXPECT_EQ(sim.windows.Find(app.MainFrame()->Window())->showCommand, os::kShowHide);
}

TEST_F(FrameTest, CreationAddsTheTrayIconMinimisesAndNamesTheWindowAndTheIconComesBackCut) {
    Create();
    const auto& tray = sim.windows.TrayIcon();
    const auto* info = sim.windows.Find(Main());
    EXPECT_EQ(std::tuple(info->className, info->text, info->showCommand, tray.shown),
              std::tuple("QRVA Bank Driver", "QRVA Bank Driver", os::kShowMinimize, true));

    frame->SetTip(std::string(200, 't'));
    sim.windows.Send(Main(), os::Message{os::kWmTaskbarCreated});
    EXPECT_EQ(std::tuple(tray.adds, tray.tip), std::tuple(2, std::string(127, 't')));  // the shell restarted
}

class CloseTest : public FrameTest {
protected:
    void SetUp() override {
        Create();
        a = Register(clientA);
        b = Register(clientB);
        windowA = a->Window();
        windowB = b->Window();
    }
    ClientWindow clientA, clientB;
    CGate *a = nullptr, *b = nullptr;
    os::Window windowA = 0, windowB = 0;
};

// A declined close leaves a running MSR wait alone, while the question is open too; a client's
// shutdown posts a close that asks again.
TEST_F(CloseTest, NoKeepsTheClientsTheIconAndARunningMsrWaitAndYesClosesEverything) {
    Plug("COM1", com1, 0);
    ASSERT_EQ(frame->OpenPrinter(0), 1);
    frame->StartMsrAdvise(a);
    std::size_t before = com1.Received().size();
    sim.windows.Send(Main(), os::Message{os::kWmClose});
    Pump(1500);  // a tick comes while the question is open
    EXPECT_NE(com1.Received().find(kStatusRequestA, before), std::string::npos);  // it polled
    // An answer that is not the desktop's does nothing.
    sim.windows.Send(Main(), os::Message{os::kWmOperatorAnswer,
                                         static_cast<std::uintptr_t>(os::OperatorUi::kCloseQuestion)});
    EXPECT_TRUE(sim.desktop.IsOpen(os::OperatorUi::kCloseQuestion) && Alive(Main()));
    EXPECT_TRUE(sim.desktop.AnswerCloseQuestion(false));
    EXPECT_TRUE(Alive(windowA) && sim.windows.TrayIcon().shown && sim.windows.TimerSet(Main(), kMsrTimerId));
    EXPECT_EQ(std::tuple(frame->GateCount(), frame->MsrWaiting()), std::tuple(2u, 1));

    EXPECT_EQ(sim.windows.SendCopyData(Main(), 0x777, GATE_SHUTDOWN, nullptr, 0), 0);
    EXPECT_EQ(Shown("yesno"), 1);
    Pump();
    ASSERT_EQ(Shown("yesno"), 2);
    const auto& q = sim.desktop.AllShown().back();
    EXPECT_EQ(std::tuple(q.text, q.caption, q.owner),
              std::tuple(Cp949("수행중인 프로그램이 있습니다.\n종료 하시겠습니까?"), "Lodevar", Main()));
    sim.windows.Send(Main(), os::Message{os::kWmClose});  // the question already open answers it
    EXPECT_EQ(Shown("yesno"), 2);
    EXPECT_TRUE(sim.desktop.AnswerCloseQuestion(true));
    EXPECT_FALSE(Alive(Main()) || Alive(windowA) || sim.windows.TrayIcon().shown ||
                 !sim.windows.QuitPosted());
}

namespace {

// Opens the tray menu, the About box, the settings dialog and the close question (a client is
// registered) on `w`; true when all four are open.
bool OpenAllOperatorUi(Workstation& w) {
    w.sim.windows.Send(w.Main(), os::Message{WM_TRAYNOTIFY, kTrayIconId, os::kWmRButtonUp});
    w.frame->OnCommand(ID_APP_ABOUT);
    w.frame->OnCommand(ID_TRAY_CONFIG);
    w.sim.windows.Send(w.Main(), os::Message{os::kWmClose});
    const auto& desktop = w.sim.desktop;
    return desktop.IsOpen(os::OperatorUi::kTrayMenu) && desktop.IsOpen(os::OperatorUi::kAbout) &&
           desktop.IsOpen(os::OperatorUi::kSettings) && desktop.IsOpen(os::OperatorUi::kCloseQuestion);
}

// Every box and dialog shown, as "kind" or "kind:cancelled" when the driver ended it unanswered.
Names ShownWithEnds(const Workstation& w) {
    Names shown;
    for (const auto& one : w.sim.desktop.AllShown()) {
        shown.push_back(one.kind + (one.cancelled ? ":cancelled" : ""));
    }
    return shown;
}

}  // namespace

// However long an operator leaves a question of the open up, a quiet close (an installer's upgrade)
// ends it as "no", makes no second attempt, and closes the driver without asking, closing the
// operator's open UI with it.
TEST_F(FrameTest, AQuietCloseEndsTheRetryQuestionAsNoAndTheOperatorsUiAndClosesWithoutAsking) {
    Create();
    ClientWindow client;
    Register(client);
    ASSERT_TRUE(OpenAllOperatorUi(*this));
    sim.desktop.defaultQuestionAnswer = os::kIdOk;  // had the operator answered, it was yes
    sim.desktop.whileModal = [&] { sim.windows.Send(Main(), os::Message{WM_CLOSEQUIET}); };
    EXPECT_EQ(frame->OpenPrinter(0), 242);
    EXPECT_EQ(ShownWithEnds(*this), (Names{"menu", "about", "property", "yesno", "question:cancelled"}));
    EXPECT_EQ(frame->AutoReopen(), 0);  // "no" to the question
    Pump();
    EXPECT_EQ(ShownWithEnds(*this), (Names{"menu:cancelled", "about:cancelled", "property:cancelled",
                                           "yesno:cancelled", "question:cancelled"}));
    EXPECT_FALSE(Alive(Main()) || sim.windows.TrayIcon().shown || !sim.windows.QuitPosted());
}

TEST_F(CloseTest, AMainWindowDestroyedWithoutClosingTakesTheLiveGatesOfTheMapWithIt) {
    sim.windows.Send(windowA, os::Message{os::kWmClose});
    sim.windows.Destroy(Main());
    EXPECT_FALSE(Alive(windowB));
    ASSERT_EQ(frame->RegisteredClients(), 1u);  // the gate its client closed is left alone
    EXPECT_EQ(frame->GateOfClient(a->Client()), a);
}

TEST_F(CloseTest, ReleasingTheLastGateEndsTheMsrWaitAndAReleaseDestroysOnlyTheNewestGate) {
    frame->StartMsrAdvise(a);
    EXPECT_EQ(sim.windows.TimerPeriod(Main(), kMsrTimerId), 1000u);
    Pump(3500);  // while the device is closed the ticks do nothing
    EXPECT_EQ(sim.serial.Count().write, 0);
    sim.windows.Send(windowA, os::Message{os::kWmClose});
    EXPECT_EQ(frame->MsrWaiting(), 1);  // b is still there

    os::Window client = b->Client();
    EXPECT_EQ(frame->PrintEndWindow(), client);  // the last registration named its notice window
    auto again = static_cast<os::Window>(sim.windows.SendCopyData(Main(), client, GATE_REGISTER, nullptr, 0));
    EXPECT_NE(again, windowB);
    EXPECT_EQ(frame->PrintEndWindow(), 0u);
    // The notice record names the window in its data; a block of the same size without the tag is
    // an ordinary one, whose size is the window.
    const char record[] = {'L', 'V', 'N', 'O', 'T', 'I', 'C', 'E', '\x78', '\x56', '\x34', '\x92'};
    std::string untagged(record, sizeof(record));
    untagged[0] = 'l';
    EXPECT_NE(sim.windows.SendCopyData(Main(), 0x777, GATE_REGISTER, record, sizeof(record)), 0);
    EXPECT_EQ(frame->PrintEndWindow(), 0x92345678u);
    EXPECT_NE(sim.windows.SendCopyData(Main(), 0x778, GATE_REGISTER, untagged.data(), sizeof(record)), 0);
    EXPECT_EQ(frame->PrintEndWindow(), sizeof(record));
    EXPECT_NE(sim.windows.SendCopyData(Main(), 0x779, GATE_REGISTER, record, sizeof(record) - 1), 0);
    EXPECT_EQ(frame->PrintEndWindow(), sizeof(record) - 1);
    sim.windows.SendCopyData(Main(), client, GATE_RELEASE, nullptr, 0);
    EXPECT_EQ(std::tuple(Alive(again), Alive(windowB), frame->MsrWaiting()), std::tuple(false, true, 1));
    sim.windows.SendCopyData(Main(), client, GATE_RELEASE, nullptr, 0);  // the map no longer leads to b
    EXPECT_TRUE(Alive(windowB));

    frame->DestroyAllGates();
    EXPECT_FALSE(Alive(windowB) || frame->GateCount() != 0 || frame->MsrWaiting() != 0 ||
                 sim.windows.TimerSet(Main(), kMsrTimerId));
}

TEST_F(CloseTest, WithoutDataTheWaitGoesOnAndDataForAGoneGateIsDroppedButEndsIt) {
    Plug("COM1", com1, 0);
    ASSERT_EQ(frame->OpenPrinter(0), 1);
    frame->StartMsrAdvise(a);
    Pump(1000);  // a normal status: no passbook, no data
    EXPECT_EQ(frame->MsrWaiting(), 1);
    sim.windows.Send(windowA, os::Message{os::kWmClose});
    com1.Answer(FrameA('A'), kStatusRequestA);
    com1.Answer("\002\033s0123456789abcdef\003", "\033]");
    Pump(1000);
    EXPECT_TRUE(clientA.received.empty() && clientB.received.empty());
    EXPECT_FALSE(frame->MsrWaiting() != 0 || sim.windows.TimerSet(Main(), kMsrTimerId));
}

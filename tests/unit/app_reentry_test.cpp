// Re-entrancy: the link's waits and the modal dialogs dispatch messages, so menu commands, a
// settings OK, closes, timer ticks and client requests arrive in the middle of a printer exchange.
#include <gtest/gtest.h>

#include "app_fixture.h"

class ReentryTest : public FrameTest {
protected:
    // A family 0 printer on COM1 whose answer to the probe comes 300 ms late, so that the open
    // waits and dispatches whatever is queued; then the main window.
    void SlowPrinter() {
        com1.Answer("?", kStatusRequestA, 300);
        Plug("COM1", com1, 0);
        Create();
    }
    void PostToMain(std::uint32_t message, std::uintptr_t wParam = 0) {
        sim.windows.Post(Main(), message, wParam, 0);
    }
};

TEST_F(ReentryTest, AnInitialiseChosenDuringAnOpenRunsAfterItWithoutASecondOpen) {
    SlowPrinter();
    PostToMain(os::kWmCommand, ID_TRAY_INIT);
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(CountOf(com1.Received(), "\0330"), 1);
    Pump();
    EXPECT_EQ(sim.serial.Count().open, 1);  // the device was open by then: only the initialise
    EXPECT_EQ(CountOf(com1.Received(), "\0330"), 2);
}

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
    EXPECT_EQ(Shown("property"), 1);
    EXPECT_EQ(Ini("PORT"), "1");  // the running open stored its own port
    Pump();
    EXPECT_EQ(sim.serial.OpenedNames(), (Names{"COM1", "COM2"}));
    EXPECT_EQ(frame->m_nPort, 2);
    EXPECT_EQ(Ini("PORT"), "2");
}

TEST(Reentry, ACloseOrAQuietCloseDuringAnOpenWaitsUntilTheOpenHasEnded) {
    for (std::uint32_t close : {os::kWmClose, WM_CLOSEQUIET}) {
        Workstation w;
        w.com1.Answer("?", kStatusRequestA, 300);
        w.Plug("COM1", w.com1, 0);
        w.Create();
        ClientWindow client;
        w.Register(client);
        w.sim.windows.Post(w.Main(), close, 0, 0);
        EXPECT_EQ(w.frame->OpenPrinter(0), 1);
        EXPECT_TRUE(w.Alive(w.Main()));
        EXPECT_EQ(w.Shown("yesno"), 0);
        w.Pump();
        EXPECT_EQ(w.Shown("yesno"), close == os::kWmClose ? 1 : 0);
        EXPECT_FALSE(w.Alive(w.Main()));
        EXPECT_TRUE(w.sim.windows.QuitPosted());
    }
}

TEST_F(ReentryTest, AnOpenCalledInsideAnOpenFindsTheDeviceClosedAndOpensNothing) {
    SlowPrinter();
    int nested = 0;
    int openSeen = -1;
    bool openingSeen = false;
    int opens = 0;
    sim.pump.Post(0, 0, [&] {
        openSeen = frame->m_comm.m_bOpen;
        openingSeen = frame->OpenRunning();
        opens = sim.serial.Count().open;
        nested = frame->OpenPrinter(0);
        opens = sim.serial.Count().open - opens;
    });
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(nested, 242);
    EXPECT_EQ(openSeen, 0);
    EXPECT_TRUE(openingSeen);
    EXPECT_EQ(opens, 0);
    EXPECT_EQ(Shown("question"), 0);
    EXPECT_FALSE(frame->OpenRunning());
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
    EXPECT_EQ(CountOf(com1.Received().substr(before), kStatusRequestA), 6);
    EXPECT_EQ(frame->m_bMsrWait, 1);
}

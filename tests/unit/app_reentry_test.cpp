// Re-entrancy: the link's waits and the modal dialogs dispatch messages, so menu commands, a
// settings OK, closes, timer ticks and client requests arrive in the middle of a printer exchange.
#include <gtest/gtest.h>

#include "app_fixture.h"

class ReentryTest : public FrameTest {
protected:
    // A family 0 printer on COM1 whose answer to the probe comes 300 ms late, so that the open
    // waits and dispatches whatever is queued.
    void SlowPrinter() {
        com1.Answer("?", kStatusRequestA, 300);
        FamilyZero(com1);
        Plug("COM1", com1);
    }
    void PostToMain(std::uint32_t message, std::uintptr_t wParam = 0) {
        sim.windows.Post(Main(), message, wParam, 0);
    }
    static int Count(const std::string& haystack, const std::string& needle) {
        int count = 0;
        for (std::size_t at = haystack.find(needle); at != std::string::npos;
             at = haystack.find(needle, at + 1)) {
            ++count;
        }
        return count;
    }
    static inline const std::string kInitialiseA =
        "\x1b"
        "0";
};

TEST_F(ReentryTest, AnInitialiseChosenDuringAnOpenRunsAfterItWithoutASecondOpen) {
    SlowPrinter();
    Create();
    PostToMain(os::kWmCommand, ID_TRAY_INIT);
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(sim.serial.Count().open, 1);
    EXPECT_EQ(Count(com1.Received(), kInitialiseA), 1);
    Pump();
    EXPECT_EQ(sim.serial.Count().open, 1);  // the device was open by then: only the initialise
    EXPECT_EQ(Count(com1.Received(), kInitialiseA), 2);
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
    SlowPrinter();
    FamilyZero(com2);
    Plug("COM2", com2);
    Create();
    sim.desktop.propertyAnswer = os::kIdOk;
    sim.desktop.propertyEdit = [](os::PropertyFields& fields) { fields.portRadio = 1; };
    PostToMain(os::kWmCommand, ID_TRAY_CONFIG);
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(Shown("property"), 1);
    EXPECT_EQ(frame->m_nPort, 1);  // the running open stored its own port
    EXPECT_EQ(Ini("PORT"), "1");
    Pump();
    EXPECT_EQ(sim.serial.OpenedNames(), (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_EQ(frame->m_nPort, 2);
    EXPECT_EQ(Ini("PORT"), "2");
}

TEST_F(ReentryTest, ACloseDuringAnOpenWaitsUntilTheOpenHasEnded) {
    SlowPrinter();
    Create();
    ClientWindow client;
    Register(client);
    PostToMain(os::kWmClose);
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_TRUE(Alive(Main()));
    EXPECT_EQ(Shown("yesno"), 0);
    EXPECT_EQ(Ini("PORT"), "1");
    Pump();
    EXPECT_EQ(Shown("yesno"), 1);
    EXPECT_FALSE(Alive(Main()));
}

TEST_F(ReentryTest, AQuietCloseInterruptsAnOpenWithoutTheQuestionAndEndsWhenItHasReturned) {
    SlowPrinter();
    Create();
    PostToMain(WM_CLOSEQUIET);
    const std::uint32_t start = sim.clock.Ticks();
    EXPECT_EQ(frame->OpenPrinter(0), 242);
    EXPECT_LT(sim.clock.Ticks() - start, 300u);  // the probe's answer was not waited for
    EXPECT_EQ(sim.serial.Count().open, 1);       // no second attempt
    EXPECT_EQ(Shown("question"), 0);
    EXPECT_TRUE(Alive(Main()));
    EXPECT_EQ(frame->m_comm.m_bOpen, 0);
    Pump();
    EXPECT_FALSE(Alive(Main()));
    EXPECT_TRUE(sim.windows.QuitPosted());
}

TEST_F(ReentryTest, AnOpenCalledInsideAnOpenFindsTheDeviceClosedAndOpensNothing) {
    SlowPrinter();
    Create();
    int nested = 0;
    int openSeen = -1;
    bool openingSeen = false;
    int opensBefore = 0;
    int opensAfter = 0;
    sim.pump.Post(0, 0, [&] {
        openSeen = frame->m_comm.m_bOpen;
        openingSeen = frame->OpenRunning();
        opensBefore = sim.serial.Count().open;
        nested = frame->OpenPrinter(0);
        opensAfter = sim.serial.Count().open;
    });
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(nested, 242);
    EXPECT_EQ(openSeen, 0);
    EXPECT_TRUE(openingSeen);
    EXPECT_EQ(opensAfter, opensBefore);
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
    EXPECT_EQ(Count(com1.Received().substr(before), kStatusRequestA), 6);
    EXPECT_EQ(frame->m_bMsrWait, 1);
}

// Start-up: the "noinit" argument, the hidden window, the printer open and the start-up signal.
#include <gtest/gtest.h>

#include <vector>

#include "app/lodevar_app.h"
#include "app_fixture.h"

TEST(NoInitArgument, OnlyADashOrASlashFollowedByExactlyNoinitCounts) {
    const std::pair<std::vector<const char*>, bool> cases[] = {
        {{"lodevar.exe", "/noinit"}, true},
        {{"lodevar.exe", "-noinit"}, true},
        {{"lodevar.exe", "a", "b", "-noinit"}, true},
        {{"lodevar.exe", "/noinit", "/NOINIT"}, true},  // a later non-match does not undo a match
        {{"lodevar.exe", "noinit"}, false},
        {{"lodevar.exe", "+noinit"}, false},
        {{"lodevar.exe", "/NOINIT"}, false},
        {{"lodevar.exe", "/noinit2"}, false},
        {{"lodevar.exe", "--noinit"}, false},
        {{"lodevar.exe", "/", ""}, false},
        {{"/noinit"}, false},  // the program name is not an argument
    };
    for (const auto& [argv, noinit] : cases) {
        EXPECT_EQ(CLodevarApp::HasNoInitArgument(static_cast<int>(argv.size()), argv.data()), noinit)
            << argv.back();
    }
}

// A family 0 printer that notes, at every write, how often the launcher had been released.
class WatchingPrinter : public emu::CScriptedPeer {
public:
    explicit WatchingPrinter(sim::CSimSystem& system) : m_system(system) {}
    void Write(const std::uint8_t* bytes, std::size_t n, std::uint32_t now) override {
        signalsSeen.push_back(m_system.TimesSet(kStartupEventName));
        CScriptedPeer::Write(bytes, n, now);
    }
    std::vector<int> signalsSeen;

private:
    sim::CSimSystem& m_system;
};

class StartupTest : public FrameTest {
protected:
    // Starts the program with `argv` after its name, a launcher waiting unless `launcher` says not.
    bool Start(std::vector<const char*> argv, bool launcher = true) {
        if (launcher) {
            sim.system.CreateNamedEvent(kStartupEventName);
        }
        argv.insert(argv.begin(), "C:\\Lodevar\\lodevar.exe");
        return app.InitInstance(static_cast<int>(argv.size()), argv.data());
    }
    int Signals() const { return sim.system.TimesSet(kStartupEventName); }

    WatchingPrinter printer{sim.system};
    CLodevarApp app{sim.Platform()};
};

TEST_F(StartupTest, TheLauncherIsReleasedOnceWhenThePrinterIsOpenAndTheWindowIsHidden) {
    Plug("COM1", printer, 0);
    ASSERT_TRUE(Start({}));
    EXPECT_EQ(Signals(), 1);
    EXPECT_EQ(sim.system.OpenHandles(), 0);
    ASSERT_FALSE(printer.signalsSeen.empty());
    EXPECT_EQ(printer.signalsSeen.back(), 0);  // every byte reached the printer before the signal
    EXPECT_EQ(app.MainFrame()->m_comm.m_bOpen, 1);
    EXPECT_EQ(sim.windows.Find(app.MainFrame()->m_hWnd)->showCommand, os::kShowHide);
    EXPECT_TRUE(sim.windows.TrayIcon().shown);
}

TEST_F(StartupTest, WithoutAPrinterTheLauncherWaitsForTheOperatorsAnswer) {
    int signalsWhileAsking = -1;
    sim.desktop.whileModal = [&] { signalsWhileAsking = Signals(); };
    ASSERT_TRUE(Start({"x"}));
    EXPECT_EQ(Shown("question"), 1);
    EXPECT_EQ(signalsWhileAsking, 0);
    EXPECT_EQ(Signals(), 1);
}

TEST_F(StartupTest, NoinitOpensNothingButComesUpAndSignals) {
    Plug("COM1", printer, 0);
    ASSERT_TRUE(Start({"-x", "/noinit"}));
    EXPECT_EQ(sim.serial.Count().open, 0);
    EXPECT_EQ(Shown("question"), 0);
    EXPECT_EQ(Signals(), 1);
    EXPECT_TRUE(sim.windows.TrayIcon().shown);
    EXPECT_EQ(sim.system.launches.size(), 1u);
    EXPECT_EQ(app.MainFrame()->m_bAutoReopen, 1);  // the first client operation opens the printer
}

TEST_F(StartupTest, AClassRegistrationFailureEndsWithoutTheSignalAndAWindowFailureWithIt) {
    sim.windows.failRegisterClass = true;
    EXPECT_FALSE(Start({}));
    EXPECT_EQ(Signals(), 0);
    EXPECT_EQ(app.MainFrame(), nullptr);
    sim.windows.failRegisterClass = false;
    sim.windows.failCreateMainWindow = true;
    EXPECT_FALSE(Start({}));
    EXPECT_EQ(Signals(), 1);
    EXPECT_EQ(sim.system.OpenHandles(), 0);
    EXPECT_EQ(sim.serial.Count().open, 0);
}

TEST_F(StartupTest, WithoutALauncherStartUpRunsTheSameAndSignalsNothing) {
    Plug("COM1", printer, 0);
    ASSERT_TRUE(Start({}, false));
    EXPECT_EQ(app.MainFrame()->m_comm.m_bOpen, 1);
    EXPECT_EQ(Signals(), 0);
    EXPECT_EQ(sim.system.OpenHandles(), 0);
}

// Settings: the profile file, program folders too long for the paths, the monitor, the dialog.
#include <gtest/gtest.h>

#include <tuple>

#include "app/dialogs.h"
#include "app_fixture.h"

// A longer folder stores nothing, not even in what a cut path would name.
TEST(LongFolder, AFolderOf241CharactersKeepsItsSettingsAndALongerOneRunsOnDefaults) {
    for (std::size_t length : {241u, 242u}) {
        Workstation w;
        std::string folder = "C:\\" + std::string(length - 3, 'f');
        w.sim.module.m_strFileName = folder + "\\lodevar.exe";
        for (auto [key, value] :
             {std::pair("PORT", "2"), {"SPEED", "19200"}, {"TRACE", "1"}, {"MODEL", "1"}}) {
            w.sim.system.SetProfileValue((folder + "\\User\\CommData.ini").substr(0, 259), "Lodevar", key,
                                         value);
        }
        w.Plug("COM1", w.com1, 0);
        w.Plug("COM2", w.com2, 1);
        w.Create();
        EXPECT_EQ(std::tuple(w.frame->CurrentSettings().port, w.frame->CurrentSettings().speed,
                             w.frame->CurrentSettings().trace, w.frame->CurrentSettings().model),
                  length == 241 ? std::tuple(2, 19200, 1, 1) : std::tuple(1, 9600, 0, 242));
        ASSERT_EQ(w.frame->OpenPrinter(0), 1);  // the printer works all the same
        EXPECT_EQ(w.sim.system.profileWrites.size(), length == 241 ? 4u : 0u);
    }
}

TEST_F(FrameTest, AProgramNameLongerThanTheFetchIsNotCutDownToAParentFolder) {
    std::string parent = "C:\\" + std::string(150, 'p');
    sim.module.m_strFileName = parent + "\\" + std::string(140, 'q') + "\\lodevar.exe";
    sim.system.SetProfileValue(parent + "\\User\\CommData.ini", "Lodevar", "PORT", "2");
    Create();
    EXPECT_EQ(frame->CurrentSettings().port, 1);
    EXPECT_TRUE(sim.system.folders.empty() && sim.system.launches.empty());
}

// "<folder>\kovask.exe" of 259 characters fits, of 260 not.
TEST(Monitor, OnlyIsUseOneOrNoneStartsKovaskByFullPathWithTheProcessIdWhenThePathFits) {
    struct Case {
        const char* isUse;
        std::size_t folder;
        bool started;
    } cases[] = {{"1", 10, true},  {nullptr, 10, true},  {"0", 10, false},
                 {"2", 10, false}, {nullptr, 248, true}, {nullptr, 249, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        Workstation w;
        std::string folder = c.folder == 10 ? "C:\\Lodevar" : "C:\\" + std::string(c.folder - 3, 'f');
        w.sim.module.m_strFileName = folder + "\\lodevar.exe";
        if (c.isUse != nullptr) {
            w.sim.system.SetProfileValue("qrva.ini", "KOVASK", "IS_USE", c.isUse);
        }
        w.Create();
        ASSERT_EQ(w.sim.system.launches.size(), c.started ? 1u : 0u);
        if (c.started) {
            const sim::CSimSystem::Launch& launch = w.sim.system.launches[0];
            EXPECT_EQ(std::tuple(launch.verb, launch.file, launch.parameters, launch.folder),
                      std::tuple("open", folder + "\\kovask.exe", "4242", folder));
        }
    }
}

class SettingsDialogTest : public FrameTest {
protected:
    void SetUp() override { Plug("COM2", com2, 0); }
    void Confirm(const std::function<void(os::PropertyFields&)>& edit, int answer = os::kIdOk) {
        frame->OnCommand(ID_TRAY_CONFIG);
        ASSERT_TRUE(sim.desktop.AnswerSettings(answer, edit));
    }
};

TEST_F(SettingsDialogTest, TheDialogShowsTheSettingsAndOkTakesThemAndOpensReadingTheSpeedAsADecimal) {
    SetIni("PORT", "5");
    Create();
    ClientWindow client;
    frame->StartMsrAdvise(Register(client));
    Confirm([](os::PropertyFields& fields) { fields.speed = " +12ab"; });

    // Every port but 1 shows as Com2; MODEL 242 checks no button.
    const os::PropertyFields& shown = sim.desktop.lastPropertyFields;
    EXPECT_EQ(
        std::tuple(shown.portRadio, shown.speed, shown.trace, shown.users, shown.msrWait, shown.modelRadio),
        std::tuple(1, "9600", 0, 1, "ON", -1));
    EXPECT_EQ(std::tuple(frame->CurrentSettings().speed, frame->Comm().m_bOpen),
              std::tuple(12, 1));  // opened on Com2
    EXPECT_EQ(std::tuple(Ini("PORT"), Ini("SPEED"), Ini("MODEL")), std::tuple("2", "12", "0"));
}

TEST_F(SettingsDialogTest, NoCheckedModelGivesMinusOneAndTheFailedOpenKeepsTheReopenFlag) {
    SetIni("MODEL", "1");
    Create();
    frame->SetAutoReopen(0);  // OK sets it again
    sim.desktop.defaultQuestionAnswer = os::kIdOk;
    Confirm([](os::PropertyFields& fields) {
        fields.speed = "";
        fields.modelRadio = -1;
        fields.trace = 1;
    });
    // No line at 0 bits per second: both ports fail, which leaves the port setting.
    EXPECT_EQ(std::tuple(frame->CurrentSettings().speed, frame->CurrentSettings().model,
                         frame->CurrentSettings().trace, frame->CurrentSettings().port),
              std::tuple(0, -1, 1, 1));
    EXPECT_EQ(sim.serial.OpenedNames(), (Names{"COM1", "COM2"}));
    EXPECT_EQ(std::tuple(Shown("question"), frame->AutoReopen(), sim.system.profileWrites.size()),
              std::tuple(1, 1, 0u));
}

TEST_F(SettingsDialogTest, TheHiddenThirdModelIsShownCheckedAndKeptAndCancelChangesNothing) {
    SetIni("MODEL", "2");
    Create();
    frame->SetAutoReopen(0);
    Confirm(
        [](os::PropertyFields& fields) {
            fields.portRadio = 1;
            fields.speed = "1200";
            fields.modelRadio = 0;
        },
        os::kIdCancel);
    EXPECT_EQ(sim.desktop.lastPropertyFields.modelRadio, 2);
    EXPECT_EQ(std::tuple(frame->CurrentSettings().port, frame->CurrentSettings().speed,
                         frame->CurrentSettings().model, frame->AutoReopen()),
              std::tuple(1, 9600, 2, 0));
    EXPECT_EQ(sim.serial.Count().open, 0);

    Confirm({});
    EXPECT_EQ(std::tuple(frame->CurrentSettings().model, frame->CurrentSettings().port), std::tuple(2, 1));
}

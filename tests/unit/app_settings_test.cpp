// Settings: the profile file beside the program, a program folder too long for the path buffers,
// the monitor program switch, and the settings dialog.
#include <gtest/gtest.h>

#include <climits>

#include "app/dialogs.h"
#include "app_fixture.h"

using SettingsTest = FrameTest;

TEST_F(SettingsTest, WithoutAFileTheDefaultsRunAndTheFirstOpenWritesAllFourKeysInOrder) {
    FamilyZero(com1);
    Plug("COM1", com1);
    Create();
    EXPECT_EQ(frame->m_nPort, 1);
    EXPECT_EQ(frame->m_nSpeed, 9600);
    EXPECT_EQ(frame->m_nTrace, 0);
    EXPECT_EQ(frame->m_nModel, 242);
    EXPECT_EQ(frame->m_strHomeDir, "C:\\Lodevar");
    EXPECT_EQ(sim.system.folders.count("c:\\lodevar\\user"), 1u);
    EXPECT_FALSE(sim.system.ProfileFileExists(kIni));

    ASSERT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(sim.system.profileWrites, (std::vector<std::string>{"Lodevar/PORT=1", "Lodevar/SPEED=9600",
                                                                  "Lodevar/TRACE=0", "Lodevar/MODEL=0"}));
    EXPECT_EQ(Ini("MODEL"), "0");
}

TEST_F(SettingsTest, TheFourKeysAreReadFromTheUserFolder) {
    SetIni("PORT", "2");
    SetIni("SPEED", "19200");
    SetIni("TRACE", "1");
    SetIni("MODEL", "1");
    Create();
    EXPECT_EQ(frame->m_nPort, 2);
    EXPECT_EQ(frame->m_nSpeed, 19200);
    EXPECT_EQ(frame->m_nTrace, 1);
    EXPECT_EQ(frame->m_nModel, 1);
}

// The settings path "<folder>\User\CommData.ini" needs 18 characters after the folder and a
// terminator within 260 bytes: it fits a folder of 241 characters and no longer one.
class LongFolderTest : public FrameTest {
protected:
    std::string UseFolder(std::size_t length) {
        std::string folder = "C:\\" + std::string(length - 3, 'f');
        sim.module.m_strFileName = folder + "\\lodevar.exe";
        return folder;
    }
};

TEST_F(LongFolderTest, AFolderOf241CharactersStillKeepsItsSettings) {
    std::string ini = UseFolder(241) + "\\User\\CommData.ini";
    sim.system.SetProfileValue(ini, "Lodevar", "PORT", "2");
    Create();
    EXPECT_EQ(frame->m_nPort, 2);
}

TEST_F(LongFolderTest, ALongerFolderRunsOnDefaultsAndStoresNothingNotEvenInACutPath) {
    std::string ini = UseFolder(242) + "\\User\\CommData.ini";
    sim.system.SetProfileValue(ini.substr(0, 259), "Lodevar", "PORT", "2");  // what a cut path would name
    FamilyZero(com1);
    Plug("COM1", com1);
    Create();
    EXPECT_EQ(frame->m_nPort, 1);
    ASSERT_EQ(frame->OpenPrinter(0), 1);  // the printer works all the same
    EXPECT_TRUE(sim.system.profileWrites.empty());
    EXPECT_EQ(frame->m_nModel, 0);
}

TEST_F(LongFolderTest, AProgramNameLongerThanTheFetchIsNotCutDownToAParentFolder) {
    std::string parent = "C:\\" + std::string(150, 'p');
    sim.module.m_strFileName = parent + "\\" + std::string(140, 'q') + "\\lodevar.exe";
    sim.system.SetProfileValue(parent + "\\User\\CommData.ini", "Lodevar", "PORT", "2");
    Create();
    EXPECT_EQ(frame->m_nPort, 1);
    EXPECT_TRUE(sim.system.folders.empty());
    EXPECT_TRUE(sim.system.launches.empty());
}

TEST_F(LongFolderTest, TheMonitorIsStartedOnlyWhenItsFullPathFits) {
    UseFolder(248);  // "<folder>\kovask.exe": 259 characters
    Create();
    EXPECT_EQ(sim.system.launches.size(), 1u);

    sim::CSimPlatform other;
    other.module.m_strFileName = "C:\\" + std::string(246, 'f') + "\\lodevar.exe";  // 260 characters
    other.windows.RegisterMainClass(kMainWindowName);
    CMainFrame second(other.Platform());
    ASSERT_TRUE(second.Create());
    EXPECT_TRUE(other.system.launches.empty());
}

class MonitorSwitchTest : public FrameTest,
                          public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(MonitorSwitchTest, OnlyIsUseOneOrNoneStartsKovaskByFullPathWithTheProcessId) {
    if (GetParam().first != nullptr) {
        sim.system.SetProfileValue("qrva.ini", "KOVASK", "IS_USE", GetParam().first);
    }
    Create();
    if (!GetParam().second) {
        EXPECT_TRUE(sim.system.launches.empty());
        return;
    }
    ASSERT_EQ(sim.system.launches.size(), 1u);
    const sim::CSimSystem::Launch& launch = sim.system.launches[0];
    EXPECT_EQ(launch.verb, "open");
    EXPECT_EQ(launch.file, "C:\\Lodevar\\kovask.exe");
    EXPECT_EQ(launch.parameters, "4242");
    EXPECT_EQ(launch.folder, "C:\\Lodevar");
}

INSTANTIATE_TEST_SUITE_P(Values, MonitorSwitchTest,
                         ::testing::Values(std::pair<const char*, bool>{"1", true},
                                           std::pair<const char*, bool>{nullptr, true},
                                           std::pair<const char*, bool>{"0", false},
                                           std::pair<const char*, bool>{"2", false}));

TEST(ParseDecimal, ReadsLikeTheSpeedBox) {
    EXPECT_EQ(ParseDecimal(" +12ab"), 12);
    EXPECT_EQ(ParseDecimal(""), 0);
    EXPECT_EQ(ParseDecimal("abc"), 0);
    EXPECT_EQ(ParseDecimal("\t-7"), -7);
    EXPECT_EQ(ParseDecimal("+-3"), 0);
    EXPECT_EQ(ParseDecimal("99999999999999999999"), INT_MAX);
    EXPECT_EQ(ParseDecimal("-99999999999999999999"), INT_MIN);
}

class SettingsDialogTest : public FrameTest {
protected:
    void SetUp() override {
        FamilyZero(com2);
        Plug("COM2", com2);
    }
    void Confirm(std::function<void(os::PropertyFields&)> edit) {
        sim.desktop.propertyAnswer = os::kIdOk;
        sim.desktop.propertyEdit = std::move(edit);
        frame->OnCommand(ID_TRAY_CONFIG);
    }
    ClientWindow client;
};

TEST_F(SettingsDialogTest, TheDialogShowsTheSettingsAndOkTakesThemAndOpens) {
    SetIni("PORT", "5");
    Create();
    CGate* gate = Register(client);
    frame->StartMsrAdvise(gate);
    Confirm([](os::PropertyFields& fields) { fields.speed = " +12ab"; });

    const os::PropertyFields& shown = sim.desktop.lastPropertyFields;
    EXPECT_EQ(shown.portRadio, 1);  // every port but 1 shows as Com2
    EXPECT_EQ(shown.speed, "9600");
    EXPECT_EQ(shown.trace, 0);
    EXPECT_EQ(shown.users, 1);
    EXPECT_EQ(shown.msrWait, "ON");
    EXPECT_EQ(shown.modelRadio, -1);  // MODEL 242: no button checked

    EXPECT_EQ(frame->m_nSpeed, 12);
    EXPECT_EQ(frame->m_comm.m_bOpen, 1);  // opened on Com2, family probed
    EXPECT_EQ(Ini("PORT"), "2");
    EXPECT_EQ(Ini("SPEED"), "12");
    EXPECT_EQ(Ini("MODEL"), "0");
}

TEST_F(SettingsDialogTest, NoCheckedModelGivesMinusOneAndTheFailedOpenKeepsTheReopenFlag) {
    Create();
    frame->m_nModel = 1;
    sim.desktop.defaultQuestionAnswer = os::kIdOk;
    Confirm([](os::PropertyFields& fields) {
        fields.speed = "";
        fields.modelRadio = -1;
        fields.trace = 1;
    });
    EXPECT_EQ(frame->m_nSpeed, 0);  // no line at 0 bits per second: both ports fail
    EXPECT_EQ(frame->m_nModel, -1);
    EXPECT_EQ(frame->m_nTrace, 1);
    EXPECT_EQ(sim.serial.OpenedNames(), (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_EQ(frame->m_nPort, 1);  // a failed open leaves the setting
    EXPECT_EQ(Shown("question"), 1);
    EXPECT_EQ(frame->m_bAutoReopen, 1);
    EXPECT_TRUE(sim.system.profileWrites.empty());
}

TEST_F(SettingsDialogTest, TheHiddenThirdModelIsShownCheckedAndKept) {
    Create();
    frame->m_nModel = 2;
    Confirm({});
    EXPECT_EQ(sim.desktop.lastPropertyFields.modelRadio, 2);
    EXPECT_EQ(frame->m_nModel, 2);
    EXPECT_EQ(frame->m_nPort, 1);
}

TEST_F(SettingsDialogTest, CancelChangesNothingAndOpensNothing) {
    Create();
    sim.desktop.propertyAnswer = os::kIdCancel;
    sim.desktop.propertyEdit = [](os::PropertyFields& fields) {
        fields.portRadio = 1;
        fields.speed = "1200";
        fields.modelRadio = 0;
    };
    frame->m_bAutoReopen = 0;
    frame->OnCommand(ID_TRAY_CONFIG);
    EXPECT_EQ(Shown("property"), 1);
    EXPECT_EQ(frame->m_nPort, 1);
    EXPECT_EQ(frame->m_nSpeed, 9600);
    EXPECT_EQ(frame->m_nModel, 242);
    EXPECT_EQ(frame->m_bAutoReopen, 0);
    EXPECT_EQ(sim.serial.Count().open, 0);
}

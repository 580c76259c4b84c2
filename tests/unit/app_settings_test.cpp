// The settings dialog: what it shows, and what OK and Cancel take.
#include <gtest/gtest.h>

#include <tuple>

#include "app/dialogs.h"
#include "app_fixture.h"

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

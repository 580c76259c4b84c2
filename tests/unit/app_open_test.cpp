// The device connection: the two attempts with the port switch, the family, the write-back, the
// operator's question, the end-of-print notice, the tray's initialise and the naming of statuses.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "cp949.h"
#include "device/texts.h"

class OpenTest : public FrameTest {
protected:
    std::vector<std::string> Opened() const { return sim.serial.OpenedNames(); }
    using Names = std::vector<std::string>;
};

TEST_F(OpenTest, ASilentCom1FallsBackToCom2WhichIsWrittenBack) {
    Plug("COM1", com1);  // opens, but nothing answers the probe
    FamilyZero(com2);
    Plug("COM2", com2);
    Create();
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(Opened(), (Names{"COM1", "COM2"}));
    EXPECT_EQ(frame->m_nPort, 2);
    EXPECT_EQ(Ini("PORT"), "2");
    EXPECT_EQ(frame->m_strStatus, Cp949("통장인쇄기 초기화 완료"));
    EXPECT_EQ(frame->m_comm.m_bOpen, 1);
    EXPECT_EQ(frame->m_bAutoReopen, 0);
    EXPECT_EQ(Shown("question"), 0);
}

TEST_F(OpenTest, AMissingCom2FallsBackToCom1) {
    SetIni("PORT", "2");
    FamilyOne(com1);
    Plug("COM1", com1);
    Create();
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(Opened(), (Names{"COM2", "COM1"}));
    EXPECT_EQ(Ini("PORT"), "1");
    EXPECT_EQ(Ini("MODEL"), "1");
}

TEST_F(OpenTest, AnyOtherPortFallsBackToCom1) {
    SetIni("PORT", "5");
    FamilyZero(com1);
    Plug("COM1", com1);
    Create();
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(Opened(), (Names{"\\\\.\\TELNET", "COM1"}));
    EXPECT_EQ(Ini("PORT"), "1");
}

TEST_F(OpenTest, AProbedFamilyIsSavedAndTheNextOpenSkipsTheProbe) {
    FamilyOne(com1);
    Plug("COM1", com1);
    Create();
    ASSERT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(Ini("MODEL"), "1");
    std::size_t before = com1.Received().size();
    ASSERT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(com1.Received().substr(before, 2),
              "\x1b"
              "f");  // the initialise, no probe
}

TEST_F(OpenTest, AFamilyProbedOnTheFirstPortIsUsedWithoutAProbeOnTheSecond) {
    com1.Answer("?", kStatusRequestA);  // the probe is answered, the initialise's status is not
    Plug("COM1", com1);
    FamilyZero(com2);
    Plug("COM2", com2);
    Create();
    EXPECT_EQ(frame->OpenPrinter(0), 1);
    EXPECT_EQ(com2.Received(),
              "\x1b"
              "0" +
                  kStatusRequestA);
    EXPECT_EQ(Ini("PORT"), "2");
    EXPECT_EQ(Ini("MODEL"), "0");
}

TEST_F(OpenTest, AMissingPrinterLibraryIsReportedOncePerAttemptThenTheQuestion) {
    SetIni("MODEL", "2");
    Create();
    EXPECT_EQ(frame->OpenPrinter(0), 242);
    const auto& shown = sim.desktop.AllShown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, text::kLibraryMissing);
    EXPECT_EQ(shown[1].text, text::kLibraryMissing);
    EXPECT_EQ(shown[2].kind, "question");
    EXPECT_EQ(sim.library.LoadAttempts(), (Names{"C:\\Lodevar\\VSK_ALL.dll", "C:\\Lodevar\\VSK_ALL.dll"}));
    EXPECT_EQ(sim.serial.Count().open, 0);
}

// Neither port answers: the notice, then the question; only "예" (1) keeps the re-open flag.
class FailedOpenTest : public OpenTest, public ::testing::WithParamInterface<int> {};

TEST_P(FailedOpenTest, NothingIsStoredAndTheAnswerDecidesTheReopenFlag) {
    SetIni("PORT", "2");
    Create();
    sim.desktop.defaultQuestionAnswer = GetParam();
    EXPECT_EQ(frame->OpenPrinter(0), 242);
    EXPECT_EQ(Opened(), (Names{"COM2", "COM1"}));
    EXPECT_EQ(frame->m_nPort, 2);
    EXPECT_TRUE(frame->m_strStatus.empty());
    EXPECT_TRUE(sim.system.profileWrites.empty());
    EXPECT_EQ(frame->m_comm.m_bOpen, 0);
    ASSERT_EQ(Shown("question"), 1);
    EXPECT_EQ(sim.desktop.AllShown().back().text,
              Cp949("\n통장인쇄기가 꺼져있거나 연결되지 않았습니다.\n다음에 다시 시도하시겠습니까?\n "));
    EXPECT_EQ(sim.desktop.AllShown().back().owner, Main());
    EXPECT_EQ(frame->m_bAutoReopen, GetParam() == os::kIdOk ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Answers, FailedOpenTest, ::testing::Values(os::kIdOk, os::kIdCancel, 7));

TEST_F(OpenTest, TheEndOfPrintNoticeCarriesTheNameTheHandleMinusOneAnd242) {
    ClientWindow client;
    Create();
    frame->m_hClientWnd = sim.windows.CreateClientWindow(client);
    EXPECT_EQ(frame->OpenPrinter(0), 242);
    ASSERT_EQ(client.received.size(), 1u);
    const std::string& notice = client.received[0];
    std::string handle = std::to_string(Main());
    std::string expected(104, '\0');
    expected.replace(0, 18, "PRINT_END_PBPR_MSG");
    expected.replace(64, handle.size(), handle);
    expected.replace(96, 8, "\xff\xff\xff\xff\xf2\x00\x00\x00", 8);
    EXPECT_EQ(notice, expected);
    const auto& copy = sim.windows.CopiesSent().back();
    EXPECT_EQ(copy.from, 0u);
    EXPECT_EQ(copy.tag, kPrintEndTag);
}

TEST_F(OpenTest, TheNoticeCarriesTheGivenStatusOnlyWhileTheDeviceIsOpen) {
    ClientWindow client;
    FamilyZero(com1);
    Plug("COM1", com1);
    Create();
    frame->m_hClientWnd = sim.windows.CreateClientWindow(client);
    frame->NotifyPrintEnd(50);
    ASSERT_EQ(frame->OpenPrinter(0), 1);
    frame->NotifyPrintEnd(50);
    ASSERT_EQ(client.received.size(), 2u);
    EXPECT_EQ(client.received[0][100], '\xf2');
    EXPECT_EQ(client.received[1][100], '\x32');
}

TEST_F(OpenTest, InitialiseOpensAClosedDeviceAfterANoAndOnlyReinitialisesAnOpenOne) {
    Create();
    EXPECT_EQ(frame->OpenPrinter(0), 242);  // no printer yet, and the operator says no
    EXPECT_EQ(frame->m_bAutoReopen, 0);

    FamilyZero(com1);
    Plug("COM1", com1);
    frame->OnCommand(ID_TRAY_INIT);
    EXPECT_EQ(frame->m_comm.m_bOpen, 1);
    EXPECT_EQ(sim.system.profileWrites.size(), 4u);

    ClientWindow client;
    CGate* gate = Register(client);
    frame->StartMsrAdvise(gate);
    int opens = sim.serial.Count().open;
    std::size_t before = com1.Received().size();
    frame->OnCommand(ID_TRAY_INIT);
    EXPECT_EQ(sim.serial.Count().open, opens);
    EXPECT_EQ(sim.system.profileWrites.size(), 4u);
    EXPECT_EQ(com1.Received().substr(before), kClearA +
                                                  "\x1b"
                                                  "0" +
                                                  kStatusRequestA);  // the wait ends, then the initialise
    EXPECT_EQ(frame->m_bMsrWait, 0);
    EXPECT_FALSE(sim.windows.TimerSet(Main(), kMsrTimerId));
}

TEST_F(OpenTest, StatusNamingTakesThePrintersTextOnlyWhileTheDeviceIsOpen) {
    FamilyZero(com1);
    Plug("COM1", com1);
    Create();
    frame->m_strStatus = "before";
    EXPECT_EQ(frame->StatusName(50), 242);
    EXPECT_EQ(frame->m_strStatus, "before");

    ASSERT_EQ(frame->OpenPrinter(0), 1);
    frame->m_comm.SetErrorText(50);
    EXPECT_EQ(frame->StatusName(50), 1);
    EXPECT_EQ(frame->m_strStatus, Cp949("용지 없음 - 용지 삽입"));
    EXPECT_EQ(frame->StatusName(153), 1);
    EXPECT_EQ(sim.system.debugLines.back(), "Lodevar 0x99: NO Define Msg\n");
}

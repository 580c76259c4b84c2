// The device operations: open on demand and the end of the MSR wait in each one's order, the length
// bounds on the wire, the fixed pitch, and the status text after a failure.
#include <gtest/gtest.h>

#include <functional>

#include "cp949.h"
#include "gate_fixture.h"

using DeviceTest = GateTest;

const std::string kPrintEnd =
    "\x1b"
    "[000";

TEST_F(DeviceTest, AClosedDeviceAnswers242AndOnlyPrintsAndPaperOutHaveEndedTheWait) {
    Create();
    Client client;
    Join(client);
    frame->m_bAutoReopen = 0;
    char buffer[8];
    struct Case {
        const char* name;
        std::function<int()> run;
        bool endsWait;
    };
    const Case cases[] = {
        {"PRINTBANK", [&] { return frame->PRINTBANK(1, 1, "x", 1); }, true},
        {"PRINTCHIT", [&] { return frame->PRINTCHIT(1, 1, "x", 1); }, true},
        {"PAPEROUT", [&] { return frame->PAPEROUT(); }, true},
        {"PAPERIN", [&] { return frame->PAPERIN(0); }, false},
        {"MSRREAD", [&] { return frame->MSRREAD(buffer, 8); }, false},
        {"MSRWRITE", [&] { return frame->MSRWRITE("x", 1); }, false},
        {"SETPITCH", [&] { return frame->SETPITCH(10, 6); }, false},
        {"SETGODICFONT", [&] { return frame->SETGODICFONT(); }, false},
        {"GETSTATUS", [&] { return frame->GETSTATUS(); }, false},
    };
    for (const Case& c : cases) {
        frame->StartMsrAdvise(client.gate);
        EXPECT_EQ(c.run(), 242) << c.name;
        EXPECT_EQ(frame->m_bMsrWait, c.endsWait ? 0 : 1) << c.name;
    }
    EXPECT_EQ(sim.serial.Count().open, 0);
}

TEST_F(DeviceTest, PaperInOpensThenEndsTheWaitWhilePrintEndsItBeforeTheOpen) {
    SetIni("MODEL", "0");
    com1.AnswerAlways(FrameA('A'), kStatusRequestA);
    Plug("COM1", com1);
    Create();
    Client client;
    Join(client);
    frame->StartMsrAdvise(client.gate);
    EXPECT_EQ(frame->PAPERIN(0), 1);  // the clear of the ended wait follows the initialise
    EXPECT_EQ(com1.Received(), kInitialise + "\x1bj\x1bl\x1bS5\x1bl\x1bj");

    frame->m_comm.m_bOpen = 0;
    frame->m_bAutoReopen = 1;
    frame->StartMsrAdvise(client.gate);
    Mark();
    EXPECT_EQ(frame->PRINTBANK(0, 0, "x", 1), 1);  // a closed device: the wait ends without a clear
    EXPECT_EQ(Sent().substr(0, 8), kInitialise + "\x1bj\x1bl\x1bj");
    EXPECT_EQ(frame->m_bMsrWait, 0);
}

TEST_F(DeviceTest, APassbookLineOf600BytesGoesOutAs510AndACr) {
    OpenFamilyZero('A');
    std::string text(600, 'x');
    EXPECT_EQ(frame->PRINTBANK(25, 3, text.c_str(), 600), 1);
    EXPECT_EQ(Sent(), "\x1bl\x1bj\x1bj\x1bL007\x1bj\x1bH025\x1bj\x1bl\x1bj" + std::string(510, 'x') + "\r" +
                          kPrintEnd);
}

TEST_F(DeviceTest, AChitLineIsBoundedTheSameWay) {
    OpenFamilyZero('B');
    std::string text(600, 'c');
    EXPECT_EQ(frame->PRINTCHIT(2, 0, text.c_str(), 600), 1);
    EXPECT_EQ(Sent(),
              "\x1bl\x1bj\x1bj\x1bL004\x1bj\x1bH002\x1bj\x1bj" + std::string(510, 'c') + "\r" + kPrintEnd);
}

TEST_F(DeviceTest, AStripeWriteSendsALoneCrFirst) {
    OpenFamilyZero('A');
    std::string data(300, 'd');
    EXPECT_EQ(frame->MSRWRITE(data.c_str(), 300), 1);
    EXPECT_EQ(Sent(), "\x1bl\x1bj\r" + kPrintEnd + "\x1bl\x1bS5\x1bL000\x1bj\x1bt" + std::string(16, 'd') +
                          "\x1d\x1b\\\x1bj");  // family 0 frames 16 characters of the data
}

TEST_F(DeviceTest, AStripeWriteTakes255BytesOfALongerText) {
    OpenLibrary();
    std::string data(300, 'd');
    EXPECT_EQ(frame->MSRWRITE(data.c_str(), 300), 1);
    EXPECT_EQ(FakeLibrary::stripeWrites, std::vector<std::string>{":" + std::string(255, 'd')});
}

TEST_F(DeviceTest, ThePitchIsAlways12And5) {
    OpenFamilyZero('A');
    EXPECT_EQ(frame->SETPITCH(10, 6), 1);
    EXPECT_EQ(Sent(), "\x1b=");  // 12 characters per inch; 10 would be ESC '<'
}

TEST_F(DeviceTest, ThePitchIsAlways12And5OnFamilyOne) {
    SetIni("MODEL", "1");
    com1.AnswerAlways(AnswerB(0x01), kStatusRequestB);
    Plug("COM1", com1);
    Create();
    ASSERT_EQ(frame->OpenPrinter(0), 1);
    Mark();
    EXPECT_EQ(frame->SETPITCH(10, 6), 1);
    EXPECT_EQ(Sent(), "\x1bm\x1b/0\x1bj");  // 5 lines per inch; 6 would be code 2
}

TEST_F(DeviceTest, AFailureLeavesTheTextOfTheLastStatusMetAndTheLastErrorCutsIt) {
    OpenFamilyZero('A');
    char text[32];
    EXPECT_EQ(frame->GETLASTERROR(text, 10), 9);  // a Korean text cut inside a character
    EXPECT_EQ(std::string(text, 10), Cp949("통장인쇄기 초기화 완료").substr(0, 9) + '\0');

    com1.Answer(FrameA('A'), kStatusRequestA);
    com1.Answer(FrameA('A'), kStatusRequestA);
    com1.Answer(FrameA(50), kStatusRequestA);  // after the stripe write: no paper
    EXPECT_EQ(frame->MSRWRITE("1234", 4), 50);
    EXPECT_EQ(frame->m_strStatus, Cp949("용지 없음 - 용지 삽입"));
    EXPECT_EQ(frame->GETLASTERROR(text, 32), static_cast<int>(frame->m_strStatus.size()));
    EXPECT_EQ(std::string(text), frame->m_strStatus);

    com1.Answer(FrameA('A'), kStatusRequestA);
    com1.Answer(FrameA('A'), kStatusRequestA);
    com1.Answer(FrameA(36), kStatusRequestA);  // a code without a text
    EXPECT_EQ(frame->MSRWRITE("1234", 4), 36);
    EXPECT_EQ(frame->m_strStatus, Cp949("통장이 들어와 있음"));
}

TEST_F(DeviceTest, WithTraceOnEachOperationHandsItsRecordToTheTraceHook) {
    OpenFamilyZero('A');
    auto records = [&] { return sim.system.debugLines; };
    frame->SETPITCH(10, 6);
    EXPECT_TRUE(records().empty());  // TRACE off: no record is built
    frame->m_nTrace = 1;
    std::string text(600, 'x');
    frame->PRINTBANK(25, 3, text.c_str(), 600);
    frame->SETPITCH(10, 6);
    frame->MSRWRITE("1234", 4);
    char buffer[8];
    frame->GETLASTERROR(buffer, 8);
    ASSERT_EQ(records().size(), 4u);
    const std::string print = "Lodevar " + Cp949("통장PRINT") + ": xpos=25, ypos=p3, len=510, data=xxx";
    EXPECT_EQ(records()[0].substr(0, print.size()), print);
    EXPECT_EQ(records()[1], "Lodevar SETPITCH: Cpi=10, Lpi=6\n");
    EXPECT_EQ(records()[2], "Lodevar MSRWRITE: len=4, data=[1234]\n");
    EXPECT_EQ(records()[3], "Lodevar GETLASTERROR: " + Cp949("통장인쇄기 초기화 완료").substr(0, 7) + "\n");
}

TEST_F(DeviceTest, ALinkLostInAnEndlessEjectEndsItWith242ClosesTheDeviceAndTheNextRequestOpensAgain) {
    // The printer answers the open, then falls silent: the eject is repeated until it answers.
    SetIni("MODEL", "0");
    com1.Answer(FrameA('P'), kStatusRequestA);
    Plug("COM1", com1);
    Create();
    ASSERT_EQ(frame->OpenPrinter(0), 1);
    frame->m_bAutoReopen = 0;
    sim.pump.Post(
        0x0400, 0, [&] { sim.serial.Unplug("COM1"); }, 3000);
    const std::uint32_t start = sim.clock.Ticks();
    EXPECT_EQ(frame->PAPEROUT(), 242);
    EXPECT_LT(sim.clock.Ticks() - start, 3000u + 1000u);
    EXPECT_EQ(frame->m_comm.m_bOpen, 0);
    EXPECT_EQ(frame->m_bAutoReopen, 1);
    EXPECT_EQ(frame->m_strStatus, Cp949("Response가 없다"));

    com1.AnswerAlways(FrameA('P'), kStatusRequestA);
    Plug("COM1", com1);  // plugged in again
    EXPECT_EQ(frame->PAPEROUT(), 1);
    EXPECT_EQ(sim.serial.Count().open, 2);
    EXPECT_EQ(frame->m_comm.m_bOpen, 1);
}

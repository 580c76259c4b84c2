// The device operations: open on demand and the end of the MSR wait in each one's order, the length
// bounds on the wire, the fixed pitch, and the status text after a failure.
#include <gtest/gtest.h>

#include <functional>

#include "cp949.h"
#include "gate_fixture.h"

using DeviceTest = GateTest;

const std::string kPrintEnd = "\033[000";

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
    EXPECT_EQ(com1.Received(), kInitialise + "\033j\033l\033S5\033l\033j");

    frame->m_comm.m_bOpen = 0;
    frame->m_bAutoReopen = 1;
    frame->StartMsrAdvise(client.gate);
    Mark();
    EXPECT_EQ(frame->PRINTBANK(0, 0, "x", 1), 1);  // a closed device: the wait ends without a clear
    EXPECT_EQ(Sent().substr(0, 8), kInitialise + "\033j\033l\033j");
    EXPECT_EQ(frame->m_bMsrWait, 0);
}

TEST_F(DeviceTest, OnFamilyZeroALineGoesOutAs510BytesAndACrAStripeWriteAfterALoneCrAndThePitchAs12) {
    OpenFamilyZero('A');
    const std::string longText(600, 'x');
    const std::pair<std::function<int()>, std::string> cases[] = {
        {[&] { return frame->PRINTBANK(25, 3, longText.c_str(), 600); },
         "\033l\033j\033j\033L007\033j\033H025\033j\033l\033j" + std::string(510, 'x') + "\r" + kPrintEnd},
        {[&] { return frame->MSRWRITE(longText.c_str(), 300); },  // family 0 frames 16 characters of the data
         "\033l\033j\r" + kPrintEnd + "\033l\033S5\033L000\033j\033t" + std::string(16, 'x') +
             "\x1d\033\\\033j"},
        {[&] { return frame->SETPITCH(10, 6); }, "\033="},  // always 12 characters per inch, never ESC '<'
        {[&] {
             com1.AnswerAlways(FrameA('B'), kStatusRequestA);  // a chit in
             return frame->PRINTCHIT(2, 0, longText.c_str(), 600);
         },
         "\033l\033j\033j\033L004\033j\033H002\033j\033j" + std::string(510, 'x') + "\r" + kPrintEnd},
    };
    for (const auto& [run, wire] : cases) {
        Mark();
        EXPECT_EQ(run(), 1);
        EXPECT_EQ(Sent(), wire);
    }
}

TEST_F(DeviceTest, AStripeWriteTakes255BytesOfALongerText) {
    OpenLibrary();
    std::string data(300, 'd');
    EXPECT_EQ(frame->MSRWRITE(data.c_str(), 300), 1);
    EXPECT_EQ(library.calls, std::vector<std::string>{"WriteMsrw(\":" + std::string(255, 'd') + "\")"});
}

TEST_F(DeviceTest, ThePitchIsAlways12And5OnFamilyOne) {
    OpenFamily(1, AnswerB(0x01));
    EXPECT_EQ(frame->SETPITCH(10, 6), 1);
    EXPECT_EQ(Sent(), "\033m\033/0\033j");  // 5 lines per inch; 6 would be code 2
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
    com1.Answer(FrameA(153), kStatusRequestA);  // a code without a name or a text
    EXPECT_EQ(frame->MSRWRITE("1234", 4), 153);
    EXPECT_EQ(frame->m_strStatus, Cp949("통장이 들어와 있음"));
    EXPECT_EQ(sim.system.debugLines.back(), "Lodevar 0x99: NO Define Msg\n");
}

TEST_F(DeviceTest, WithTraceOnEachOperationHandsItsRecordToTheTraceHook) {
    OpenFamilyZero('A');
    frame->SETPITCH(10, 6);
    EXPECT_TRUE(sim.system.debugLines.empty());  // TRACE off: no record is built
    frame->m_nTrace = 1;
    frame->PRINTBANK(25, 3, std::string(600, 'x').c_str(), 600);
    frame->SETPITCH(10, 6);
    frame->MSRWRITE("1234", 4);
    char buffer[8];
    frame->GETLASTERROR(buffer, 8);
    const auto& records = sim.system.debugLines;
    ASSERT_EQ(records.size(), 4u);
    const std::string print = "Lodevar " + Cp949("통장PRINT") + ": xpos=25, ypos=p3, len=510, data=xxx";
    EXPECT_EQ(records[0].substr(0, print.size()), print);
    EXPECT_EQ(records[1], "Lodevar SETPITCH: Cpi=10, Lpi=6\n");
    EXPECT_EQ(records[2], "Lodevar MSRWRITE: len=4, data=[1234]\n");
    EXPECT_EQ(records[3], "Lodevar GETLASTERROR: " + Cp949("통장인쇄기 초기화 완료").substr(0, 7) + "\n");
}
